// Windows' own process names, which a monitoring product may borrow from another folder,
// and the bookkeeping that reports each such process once. No system call here.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <tuple>

namespace scan {

// Where Windows keeps a process of this name.
enum class SystemHome {
    None,           // not one of Windows' own names
    SystemFolder,   // the system folder or its 32-bit twin
    SystemOrWindows // explorer.exe: also the Windows folder
};

// The name compared without regard to ASCII letter case.
SystemHome systemHomeOf(const std::string& processName);

// The log line that reports a process with a Windows name running from elsewhere.
std::string misplacedLogLine(const std::string& processName, const std::string& imagePath);

// The processes whose folder has been looked at: each is looked at, and reported, once in
// its life, so that a scan reads no image path it has read before. A process is known by
// its id, its parent's id and its name, as the snapshot gives them (an id alone may be
// reused). Processes no longer running are forgotten after each scan.
class CheckedProcesses {
public:
    using Key = std::tuple<std::uint32_t, std::uint32_t, std::string>;
    // True the first time a process is met; it is then remembered.
    bool firstTime(const Key& process);
    // Keeps only the processes met in the scan that just ended.
    void endScan();

private:
    std::set<Key> reported_;
    std::set<Key> seenThisScan_;
};

}  // namespace scan
