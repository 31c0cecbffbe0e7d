// The Windows half of the system folders: GetModuleFileNameW and GetWindowsDirectoryA. The
// executable's folder may have a name that the ANSI code page cannot hold; the engine's
// ANSI names then give it in short form.
#include <windows.h>

#include <string>

#include "dbf/core/AnsiPath_win.h"
#include "dbf/core/SystemFolders.h"

namespace dbf {

namespace {

std::string withSeparator(std::string s) {
    if (!s.empty() && s.back() != '\\' && s.back() != '/') s += '\\';
    return s;
}

}  // namespace

std::string executableFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);   // a long path was cut; ask again with more room
        if (path.size() > 32768) return {};
    }
    size_t cut = path.find_last_of(L"\\/:");
    return cut == std::wstring::npos ? std::string{} : ansiPathOf(path.substr(0, cut + 1));
}

std::string windowsFolder() {
    char buf[MAX_PATH + 1];
    UINT n = ::GetWindowsDirectoryA(buf, sizeof buf);
    if (n == 0 || n >= sizeof buf) return {};
    return withSeparator(std::string(buf, n));
}

char pathSeparator() noexcept { return '\\'; }

}  // namespace dbf
