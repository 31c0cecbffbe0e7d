// The library's hook thread: a low-level keyboard hook kept at the head of the chain, which
// hands protected characters to the focus window (KeyGate decides which), started and ended
// by the library's exports on the caller's thread, and watched so that a hook thread lost
// for any reason is reported and set up again.
#pragma once

#include <windows.h>

namespace keyguard {

class KeyboardGuard {
public:
    KeyboardGuard() = default;
    KeyboardGuard(const KeyboardGuard&) = delete;
    KeyboardGuard& operator=(const KeyboardGuard&) = delete;

    // Starts the hook thread and waits until its hook is in place or could not be. Returns
    // this start's token, a random non-zero number, when the hook runs; 0 when it does not.
    // `notify` (may be null) is told of the hook's state, now and whenever it changes, with
    // the registered message "ZarurarevidevHookState": wParam 1 when the hook runs, 0 when it
    // does not; lParam the token, which no other program can know, so that the window can
    // tell the library's word from a forged one.
    // `folder` (may be null), the program's folder with its trailing backslash, holds the
    // pass-through list "pl.txt": keys for the windows of the programs it names take the
    // ordinary path. The list is read again whenever the folder changes.
    DWORD start(HWND notify, const char* folder);
    // Ends the hook thread, which delivers what it holds and removes the hook, and waits for
    // it to be gone. The only way the thread ends but by being killed.
    void stop();

private:
    bool launch();
    static DWORD WINAPI watcherMain(void* guard);

    // The hook thread, and the watcher that sets it up again when it ends unasked; from
    // start() to stop() only the watcher changes `thread_`.
    HANDLE thread_ = nullptr;
    HANDLE watcher_ = nullptr;
    HANDLE stopEvent_ = nullptr;
    HWND notify_ = nullptr;
    DWORD token_ = 0;
    char folder_[MAX_PATH] = {};
};

// The registered message's name, shared with the program that loads the library.
constexpr const wchar_t* kHookStateMessage = L"ZarurarevidevHookState";

}  // namespace keyguard
