// Private-profile reads and writes.
#include "settings/IniFile.h"

#include <windows.h>

#include <stdexcept>

#include "settings/SettingsRules.h"

namespace settings {

std::string IniFile::readString(const char* section, const char* key, const std::string& defaultValue) const {
    char buffer[2048];
    DWORD n = GetPrivateProfileStringA(section, key, defaultValue.c_str(), buffer, sizeof buffer, path_.c_str());
    return std::string(buffer, n);
}

bool IniFile::readBool(const char* section, const char* key, bool defaultValue) const {
    return parseIniBool(readString(section, key, ""), defaultValue);
}

void IniFile::writeString(const char* section, const char* key, const std::string& value) const {
    if (!WritePrivateProfileStringA(section, key, value.c_str(), path_.c_str()))
        throw std::runtime_error("Unable to write to " + path_);
}

void IniFile::writeBool(const char* section, const char* key, bool value) const {
    writeString(section, key, value ? "1" : "0");
}

}  // namespace settings
