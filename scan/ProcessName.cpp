// Process-name comparisons of the scan.
#include "scan/ProcessName.h"

#include <array>

namespace scan {
namespace {

constexpr char upper(char c) noexcept { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The system's own processes, which a signature that happens to carry their name must not
// stop. The first four are spelt as the system starts them; Explorer is started under
// varying case, so it is compared in upper case.
constexpr std::array<std::string_view, 4> kProtectedExactly{"smss.exe", "svchost.exe", "lsass.exe", "services.exe"};
constexpr std::string_view kProtectedAnyCase = "EXPLORER.EXE";

}  // namespace

std::string asciiUpper(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = upper(c);
    return result;
}

bool equalsAsciiIgnoringCase(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i])) return false;
    return true;
}

bool isProtectedName(std::string_view processName) noexcept {
    for (std::string_view name : kProtectedExactly)
        if (processName == name) return true;
    return equalsAsciiIgnoringCase(processName, kProtectedAnyCase);
}

std::string_view executableFileName(std::string_view exeField) noexcept {
    size_t cut = exeField.find_last_of("\\:");
    return cut == std::string_view::npos ? exeField : exeField.substr(cut + 1);
}

bool reachedByStop(std::string_view exeField, std::string_view name) noexcept {
    return equalsAsciiIgnoringCase(executableFileName(exeField), name) || equalsAsciiIgnoringCase(exeField, name);
}

}  // namespace scan
