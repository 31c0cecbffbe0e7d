// The ANSI name of a full path through the short form of its folder.
#include <windows.h>

#include "dbf/core/AnsiPath_win.h"

namespace dbf {

namespace {

// `exact`: no near characters and no default character; false when one was needed.
bool toAnsi(const std::wstring& wide, std::string& ansi, bool exact) {
    ansi.clear();
    if (wide.empty()) return true;
    const int size = static_cast<int>(wide.size());
    const DWORD flags = exact ? WC_NO_BEST_FIT_CHARS : 0;
    const int n = ::WideCharToMultiByte(CP_ACP, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return false;
    ansi.resize(static_cast<size_t>(n));
    BOOL usedDefault = FALSE;
    ::WideCharToMultiByte(CP_ACP, flags, wide.data(), size, ansi.data(), n, nullptr, exact ? &usedDefault : nullptr);
    return !usedDefault;
}

}  // namespace

std::wstring widePathOf(const std::string& ansi) {
    const int size = static_cast<int>(ansi.size());
    std::wstring wide(static_cast<size_t>(::MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, nullptr, 0)), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

std::string ansiPathOf(const std::wstring& path) {
    std::string ansi;
    if (toAnsi(path, ansi, true)) return ansi;
    const size_t cut = path.find_last_of(L"\\/");
    if (cut != std::wstring::npos) {
        const std::wstring folder = path.substr(0, cut + 1);
        const DWORD n = ::GetShortPathNameW(folder.c_str(), nullptr, 0);
        if (n != 0) {
            std::wstring shortForm(n, L'\0');
            const DWORD got = ::GetShortPathNameW(folder.c_str(), shortForm.data(), n);
            if (got != 0 && got < n) {
                shortForm.resize(got);
                if (toAnsi(shortForm + path.substr(cut + 1), ansi, true)) return ansi;
            }
        }
    }
    toAnsi(path, ansi, false);
    return ansi;
}

}  // namespace dbf
