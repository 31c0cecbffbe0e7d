// Stopping processes by executable name, and the privilege that lets the program stop
// processes of other users.
#pragma once

#include <windows.h>

#include <string>

#include "scan/ScanRules.h"

namespace scan {

// Asks the system to end, with exit code 0, every running process that a stop of `name`
// reaches (see reachedByStop), this program's own process excepted. A process that cannot
// be opened with the right to terminate it, or not terminated, is passed over silently;
// the outcome counts them.
StopOutcome StopProcessesByName(const std::string& name);

// Enables one privilege in `process`'s access token, leaving the others as they are.
// True when the adjustment call succeeded, which it also does when the token lacks the
// privilege and nothing changed.
bool EnablePrivilege(HANDLE process, const char* privilegeName);

}  // namespace scan
