// Conversions through the ANSI code page, and the short form of a path it cannot hold.
#include "win32/WidePath.h"

#include <windows.h>

namespace win {

std::wstring widen(std::string_view ansi) {
    if (ansi.empty()) return {};
    const int size = static_cast<int>(ansi.size());
    const int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, wide.data(), n);
    return wide;
}

namespace {

// `exact`: no near characters and no default character; `lossy` says whether one was needed.
std::string toAnsi(std::wstring_view wide, bool exact, bool& lossy) {
    lossy = false;
    if (wide.empty()) return {};
    const int size = static_cast<int>(wide.size());
    const DWORD flags = exact ? WC_NO_BEST_FIT_CHARS : 0;
    const int n = WideCharToMultiByte(CP_ACP, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<size_t>(n), '\0');
    BOOL usedDefault = FALSE;
    WideCharToMultiByte(CP_ACP, flags, wide.data(), size, ansi.data(), n, nullptr, exact ? &usedDefault : nullptr);
    // A code page without a default-character report (UTF-8 as the ANSI code page) still
    // shows a loss when the text does not come back as it went.
    lossy = usedDefault || (exact && widen(ansi) != wide);
    return ansi;
}

}  // namespace

std::string narrow(std::wstring_view wide) {
    bool lossy = false;
    return toAnsi(wide, false, lossy);
}

std::optional<std::string> narrowExactly(std::wstring_view wide) {
    bool lossy = false;
    std::string ansi = toAnsi(wide, true, lossy);
    if (lossy) return std::nullopt;
    return ansi;
}

std::string ansiPathOf(const std::wstring& path) {
    if (std::optional<std::string> exact = narrowExactly(path)) return *exact;
    const DWORD n = GetShortPathNameW(path.c_str(), nullptr, 0);
    if (n != 0) {
        std::wstring shortPath(n, L'\0');
        const DWORD got = GetShortPathNameW(path.c_str(), shortPath.data(), n);
        if (got != 0 && got < n) {
            shortPath.resize(got);
            if (std::optional<std::string> exact = narrowExactly(shortPath)) return *exact;
        }
    }
    return narrow(path);
}

}  // namespace win
