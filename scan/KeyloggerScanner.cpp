// The walk over the running processes and the stop of one name.
#include "scan/KeyloggerScanner.h"

#include "scan/ProcessControl.h"
#include "scan/ProcessSnapshot.h"
#include "scan/SystemFolders.h"
#include "win32/WidePath.h"
#include "win32/Win32Error.h"

namespace scan {

KeyloggerScanner::KeyloggerScanner(TmLog& log, CreateSnapshotFn stopSnapshot)
    : log_(log), self_(GetCurrentProcessId()), stopSnapshot_(stopSnapshot) {}

KeyloggerScanner::~KeyloggerScanner() = default;

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
        const std::string name(exeFileOf(entry));
        if (const std::optional<bool> ended = examine(name, rules)) {
            ++report.stops;
            (*ended ? report.stopped : report.notStopped).push_back(name);
        } else {
            checkHome(entry, name, rules, report);
        }
    });
    checked_.endScan();
    return report;
}

bool KeyloggerScanner::ExamineProcess(const std::string& processName, const ScanRules& rules) {
    return examine(processName, rules).has_value();
}

std::optional<bool> KeyloggerScanner::examine(const std::string& processName, const ScanRules& rules) {
    if (!rules.mustStop(processName)) return std::nullopt;
    return stop(processName);
}

// Only processes with a Windows name have their image read: the rest of the walk costs
// nothing more.
void KeyloggerScanner::checkHome(const PROCESSENTRY32& entry, const std::string& name, const ScanRules& rules,
                                 Report& report) {
    const SystemHome home = systemHomeOf(name);
    if (home == SystemHome::None || rules.whiteListed(name)) return;
    if (!checked_.firstTime({entry.th32ProcessID, entry.th32ParentProcessID, name})) return;
    const std::optional<std::wstring> image = imagePathOf(entry.th32ProcessID);
    if (!image) return;
    if (!systemFolders_) systemFolders_ = std::make_unique<SystemFolders>();
    if (systemFolders_->holds(*image, home)) return;
    const std::string path = win::narrow(*image);
    report.misplaced.push_back(name + " (" + path + ")");
    log(misplacedLogLine(name, path), mtrcOperation);
}

bool KeyloggerScanner::stop(const std::string& name) {
    // Without the privilege the stop still reaches the user's own processes.
    EnablePrivilege(GetCurrentProcess(), "SeDebugPrivilege");
    StopOutcome outcome = StopProcessesByName(name, stopSnapshot_);
    try {
        for (const std::string& line : stopLogLines(name, outcome)) log_.Log(line, mtrcOperation);
    } catch (const std::exception& e) {
        log_.Log(e.what(), mtrcException);
    }
    return outcome.ended();
}

// A line that cannot be written is logged as an exception line; a failure of that passes
// through.
void KeyloggerScanner::log(const std::string& line, TmTraceLevel level) {
    try {
        log_.Log(line, level);
    } catch (const std::exception& e) {
        log_.Log(e.what(), mtrcException);
    }
}

std::string snapshotFailureText(DWORD error) { return "Oops..." + win::errorText(error); }

}  // namespace scan
