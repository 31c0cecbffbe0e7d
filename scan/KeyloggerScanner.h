// The keylogger scan: walks the running processes, decides about each by its executable
// name and stops every one that must be stopped, writing each stop to the operation log.
#pragma once

#include <windows.h>

#include <string>

#include "scan/ProcessSnapshot.h"
#include "scan/ScanRules.h"
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
    };

    // A stop sees the running processes through a snapshot taken with `stopSnapshot`, the
    // system's function when null.
    explicit KeyloggerScanner(TmLog& log, CreateSnapshotFn stopSnapshot = nullptr);

    // One walk over a snapshot of the whole system (TH32CS_SNAPALL), examining every process
    // entry but the program's own. A snapshot the system refuses ends the walk at once with
    // the error in the report. An error escaping an examination abandons the rest of the
    // walk and passes through; the snapshot is closed either way.
    Report scan(const ScanRules& rules);

    // Decides about one process name and stops it if it must; true when it did. A stop
    // enables the debug privilege, stops every process of that name and logs the stop; a
    // failure to write the log is logged as an exception line, and a failure of that
    // passes through.
    bool ExamineProcess(const std::string& processName, const ScanRules& rules);

private:
    void stop(const std::string& name);

    TmLog& log_;
    DWORD self_;
    CreateSnapshotFn stopSnapshot_;
};

// The text the program shows when it cannot take a snapshot: "Oops..." and the system's text.
std::string snapshotFailureText(DWORD error);

}  // namespace scan
