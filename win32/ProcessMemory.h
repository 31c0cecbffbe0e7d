// A process's private bytes, counted the one way that works everywhere: summed over its
// committed private memory regions. (Wine leaves the private bytes of GetProcessMemoryInfo
// empty.)
#pragma once

#include <windows.h>

namespace win {

// `process` needs PROCESS_QUERY_INFORMATION; 0 when its memory cannot be queried.
unsigned long long committedPrivateBytes(HANDLE process = GetCurrentProcess()) noexcept;

}  // namespace win
