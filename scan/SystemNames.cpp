// Windows' own process names and their one report each.
#include "scan/SystemNames.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace scan {

namespace {

// The processes of a Windows session that a monitoring product is known to imitate, or
// could, by name; each lives in the system folder (explorer.exe in the Windows folder).
constexpr std::array<std::string_view, 12> kSystemNames = {
    "smss.exe", "csrss.exe",   "wininit.exe",   "winlogon.exe", "services.exe", "lsass.exe",
    "svchost.exe", "spoolsv.exe", "taskhostw.exe", "dwm.exe",      "conhost.exe",  "explorer.exe",
};

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

SystemHome systemHomeOf(const std::string& processName) {
    std::string name(processName.size(), '\0');
    std::transform(processName.begin(), processName.end(), name.begin(), lower);
    if (std::find(kSystemNames.begin(), kSystemNames.end(), name) == kSystemNames.end()) return SystemHome::None;
    return name == "explorer.exe" ? SystemHome::SystemOrWindows : SystemHome::SystemFolder;
}

std::string misplacedLogLine(const std::string& processName, const std::string& imagePath) {
    return "Windows process name from another folder: " + processName + " runs from " + imagePath;
}

bool CheckedProcesses::firstTime(const Key& process) {
    seenThisScan_.insert(process);
    return reported_.insert(process).second;
}

void CheckedProcesses::endScan() {
    std::erase_if(reported_, [&](const Key& k) { return !seenThisScan_.count(k); });
    seenThisScan_.clear();
}

}  // namespace scan
