// The walk over the running processes and the stop of one name.
#include "scan/KeyloggerScanner.h"

#include "scan/ProcessControl.h"
#include "scan/ProcessSnapshot.h"
#include "win32/Win32Error.h"

namespace scan {

KeyloggerScanner::KeyloggerScanner(TmLog& log, CreateSnapshotFn stopSnapshot)
    : log_(log), self_(GetCurrentProcessId()), stopSnapshot_(stopSnapshot) {}

KeyloggerScanner::Report KeyloggerScanner::scan(const ScanRules& rules) {
    Report report;
    ProcessSnapshot snapshot(TH32CS_SNAPALL);
    if (snapshot.failed()) {
        report.snapshotFailed = true;
        report.error = snapshot.error();
        return report;
    }
    snapshot.forEachProcess([&](const PROCESSENTRY32& entry) {
        ++report.processes;
        // The table or the black list may name the program's own executable; it would stop
        // the protection itself, and every scan would log a stop that cannot happen.
        if (entry.th32ProcessID == self_) return;
        if (ExamineProcess(std::string(exeFileOf(entry)), rules)) ++report.stops;
    });
    return report;
}

bool KeyloggerScanner::ExamineProcess(const std::string& processName, const ScanRules& rules) {
    if (!rules.mustStop(processName)) return false;
    stop(processName);
    return true;
}

void KeyloggerScanner::stop(const std::string& name) {
    // Without the privilege the stop still reaches the user's own processes.
    EnablePrivilege(GetCurrentProcess(), "SeDebugPrivilege");
    StopOutcome outcome = StopProcessesByName(name, stopSnapshot_);
    try {
        for (const std::string& line : stopLogLines(name, outcome)) log_.Log(line, mtrcOperation);
    } catch (const std::exception& e) {
        log_.Log(e.what(), mtrcException);
    }
}

std::string snapshotFailureText(DWORD error) { return "Oops..." + win::errorText(error); }

}  // namespace scan
