// Private-profile reads and writes.
#include "settings/IniFile.h"

#include <windows.h>

#include <stdexcept>

#include "settings/SettingsRules.h"
#include "win32/WidePath.h"

namespace settings {

std::string IniFile::readString(const char* section, const char* key, const std::string& defaultValue) const {
    wchar_t buffer[2048];
    DWORD n = GetPrivateProfileStringW(win::widen(section).c_str(), win::widen(key).c_str(),
                                       win::widen(defaultValue).c_str(), buffer, 2048, path_.c_str());
    return win::narrow(std::wstring_view(buffer, n));
}

bool IniFile::readBool(const char* section, const char* key, bool defaultValue) const {
    return parseIniBool(readString(section, key, ""), defaultValue);
}

void IniFile::writeString(const char* section, const char* key, const std::string& value) const {
    if (!WritePrivateProfileStringW(win::widen(section).c_str(), win::widen(key).c_str(), win::widen(value).c_str(),
                                    path_.c_str()))
        throw std::runtime_error("Unable to write to " + win::narrow(path_));
}

void IniFile::writeBool(const char* section, const char* key, bool value) const {
    writeString(section, key, value ? "1" : "0");
}

}  // namespace settings
