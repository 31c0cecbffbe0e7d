// One copy per logon: finding the running copy that a new start hands over to.
#pragma once

#include <windows.h>

namespace app {

// The main window of another running copy of this program, or null. Any program may
// register the window class's name, so a window of the class counts only when its process's
// executable names itself this program (the version resource's product and internal names);
// a process that cannot be looked into is taken to be a copy.
HWND findRunningCopy();

}  // namespace app
