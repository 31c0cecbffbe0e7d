// Process-name comparisons of the scan.
#include "scan/ProcessName.h"

#include <array>

#include "dbf/core/XbaseText.h"

namespace scan {
namespace {

// The system's own processes, which a signature that happens to carry their name must not
// stop. The first four are spelt as the system starts them; Explorer is started under
// varying case, so it is compared in upper case.
constexpr std::array<std::string_view, 4> kProtectedExactly{"smss.exe", "svchost.exe", "lsass.exe", "services.exe"};
constexpr std::string_view kProtectedAnyCase = "EXPLORER.EXE";

}  // namespace

bool isProtectedName(std::string_view processName) noexcept {
    for (std::string_view name : kProtectedExactly)
        if (processName == name) return true;
    return dbf::equalNoCase(processName, kProtectedAnyCase);
}

std::string_view executableFileName(std::string_view exeField) noexcept {
    size_t cut = exeField.find_last_of("\\:");
    return cut == std::string_view::npos ? exeField : exeField.substr(cut + 1);
}

bool reachedByStop(std::string_view exeField, std::string_view name) noexcept {
    return dbf::equalNoCase(executableFileName(exeField), name) || dbf::equalNoCase(exeField, name);
}

}  // namespace scan
