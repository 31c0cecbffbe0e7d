// The keylogger scan: walks the running processes, decides about each by its executable
// name and stops every one that must be stopped, writing each stop to the operation log.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "scan/ProcessSnapshot.h"
#include "scan/ScanRules.h"
#include "scan/SystemNames.h"
#include "scan/TmLog.h"

namespace scan {

class KeyloggerScanner {
public:
    // What one walk met.
    struct Report {
        bool snapshotFailed = false;
        DWORD error = 0;      // the system's code when the snapshot failed
        int processes = 0;    // process entries walked
        int stops = 0;        // names the rules stopped (each with its log lines), ended or not
        std::vector<std::string> stopped;     // the names whose stop ended them, in order
        std::vector<std::string> notStopped;  // the names whose stop failed
        // Processes with one of Windows' own names running from another folder, met for the
        // first time: "name (path)" each. They are reported, never stopped.
        std::vector<std::string> misplaced;
        bool anything() const noexcept { return !stopped.empty() || !notStopped.empty() || !misplaced.empty(); }
    };

    // A stop sees the running processes through a snapshot taken with `stopSnapshot`, the
    // system's function when null.
    explicit KeyloggerScanner(TmLog& log, CreateSnapshotFn stopSnapshot = nullptr);
    ~KeyloggerScanner();

    // One walk over a snapshot of the whole system (TH32CS_SNAPALL), examining every process
    // entry but the program's own. A snapshot the system refuses ends the walk at once with
    // the error in the report. An error escaping an examination abandons the rest of the
    // walk and passes through; the snapshot is closed either way.
    // A process that the rules leave running, not white-listed, whose name is one of
    // Windows' own and whose image lies outside the folders Windows keeps it in, is logged
    // once in its life.
    Report scan(const ScanRules& rules);

    // Decides about one process name and stops it if it must; true when it did. A stop
    // enables the debug privilege, stops every process of that name and logs the stop; a
    // failure to write the log is logged as an exception line, and a failure of that
    // passes through.
    bool ExamineProcess(const std::string& processName, const ScanRules& rules);

private:
    // Nothing when the rules leave the process running; else whether its stop ended what
    // it reached.
    std::optional<bool> examine(const std::string& processName, const ScanRules& rules);
    // Whether the stop ended what it reached.
    bool stop(const std::string& name);
    void checkHome(const PROCESSENTRY32& entry, const std::string& name, const ScanRules& rules, Report& report);
    void log(const std::string& line, TmTraceLevel level);

    TmLog& log_;
    DWORD self_;
    CreateSnapshotFn stopSnapshot_;
    std::unique_ptr<class SystemFolders> systemFolders_;
    CheckedProcesses checked_;
};

// The text the program shows when it cannot take a snapshot: "Oops..." and the system's text.
std::string snapshotFailureText(DWORD error);

}  // namespace scan
