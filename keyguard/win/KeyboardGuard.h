// The library's hook thread: a low-level keyboard hook kept at the head of the chain, which
// hands protected characters to the focus window (KeyGate decides which), started and ended
// by the library's exports on the caller's thread.
#pragma once

#include <windows.h>

namespace keyguard {

class KeyboardGuard {
public:
    // Starts the hook thread and waits until its hook is in place or could not be. True when
    // the hook runs. `notify` (may be null) is told of the hook's state, now and whenever it
    // changes, with the registered message "ZarurarevidevHookState": wParam 1 when the hook
    // runs, 0 when it does not; lParam `session`.
    bool start(HWND notify, DWORD session);
    // Ends the hook thread, which removes the hook, and waits for it to be gone.
    void stop();

private:
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
};

// The registered message's name, shared with the program that loads the library.
constexpr const wchar_t* kHookStateMessage = L"ZarurarevidevHookState";

}  // namespace keyguard
