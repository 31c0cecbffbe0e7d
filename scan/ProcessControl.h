// Stopping processes by executable name, and the privilege that lets the program stop
// processes of other users.
#pragma once

#include <windows.h>

#include <string>

#include "scan/ProcessSnapshot.h"
#include "scan/ScanRules.h"

namespace scan {

// Asks the system to end, with exit code 0, every running process that a stop of `name`
// reaches (see reachedByStop), this program's own process excepted. A process that cannot
// be opened with the right to terminate it, or not terminated, is passed over silently;
// the outcome counts them. The running processes are seen through a snapshot taken with
// `createSnapshot` (the system's function when null); when the system refuses it, nothing
// is tried and the outcome holds the system's text for the refusal.
StopOutcome StopProcessesByName(const std::string& name, CreateSnapshotFn createSnapshot = nullptr);

// Enables one privilege in `process`'s access token, leaving the others as they are.
// True when the adjustment call succeeded, which it also does when the token lacks the
// privilege and nothing changed.
bool EnablePrivilege(HANDLE process, const char* privilegeName);

}  // namespace scan
