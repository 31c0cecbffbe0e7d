// The Windows half of the system folders: GetModuleFileNameA and GetWindowsDirectoryA.
#include <windows.h>

#include <string>

#include "dbf/core/SystemFolders.h"

namespace dbf {

namespace {

std::string withSeparator(std::string s) {
    if (!s.empty() && s.back() != '\\' && s.back() != '/') s += '\\';
    return s;
}

}  // namespace

std::string executableFolder() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);   // a long path was cut; ask again with more room
        if (path.size() > 32768) return {};
    }
    size_t cut = path.find_last_of("\\/:");
    return cut == std::string::npos ? std::string{} : path.substr(0, cut + 1);
}

std::string windowsFolder() {
    char buf[MAX_PATH + 1];
    UINT n = ::GetWindowsDirectoryA(buf, sizeof buf);
    if (n == 0 || n >= sizeof buf) return {};
    return withSeparator(std::string(buf, n));
}

char pathSeparator() noexcept { return '\\'; }

}  // namespace dbf
