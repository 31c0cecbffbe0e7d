// Test helper: keys and REG_DWORD values below HKEY_LOCAL_MACHINE, in the Wine prefix's
// real registry.
#pragma once

#include <windows.h>

#include <string>

namespace testing_support {

// Removes the key and everything below it; a missing key is no error.
inline void deleteMachineKey(const std::string& path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        char name[256];
        DWORD length = sizeof name;
        while (RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
            deleteMachineKey(path + "\\" + name);
            length = sizeof name;
        }
        RegCloseKey(key);
    }
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
}

// Creates a volatile key: below it the system refuses to create a lasting one.
inline bool createVolatileMachineKey(const std::string& path) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// The REG_DWORD `name` below HKEY_LOCAL_MACHINE\`path`, or -1 when there is none.
inline long machineDword(const std::string& path, const std::string& name) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return -1;
    DWORD type = 0, data = 0, size = sizeof data;
    LONG r = RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
    RegCloseKey(key);
    return r == ERROR_SUCCESS && type == REG_DWORD ? static_cast<long>(data) : -1;
}

}  // namespace testing_support
