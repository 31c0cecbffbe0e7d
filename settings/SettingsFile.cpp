// Loading and saving the switches.
#include "settings/SettingsFile.h"

namespace settings {
namespace {
constexpr const char* kSection = "main";
}

Switches loadSwitches(const IniFile& file) {
    Switches s;
    s.enabledEnc = file.readBool(kSection, "enabledenc", true);
    s.stopKeylog = file.readBool(kSection, "stopkeylog", true);
    s.enabledBlack = file.readBool(kSection, "enabledblack", true);
    s.enabledWhite = file.readBool(kSection, "enabledwhite", true);
    return s;
}

void saveSwitches(const IniFile& file, const Switches& s) {
    file.writeBool(kSection, "enabledenc", s.enabledEnc);
    file.writeBool(kSection, "stopkeylog", s.stopKeylog);
    file.writeBool(kSection, "enabledwhite", s.enabledWhite);
    file.writeBool(kSection, "enabledblack", s.enabledBlack);
}

}  // namespace settings
