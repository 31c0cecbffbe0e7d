// The hidden top-level window behind each process-wide service of the tray icons and the
// light timers. It has a window procedure of its own instead of the program's shared
// trampoline: any process on the desktop may send these windows messages, and a forged
// WM_NCDESTROY must not part a window from the service that still uses it.
#pragma once

#include <windows.h>

#include <exception>

#include "win32/Application.h"

namespace ui {

class HiddenWindow {
public:
    // Registers `className` with `procedure` (once per process) and creates the window;
    // raises win::Win32Error when the system refuses. A `messageOnly` window is cheaper to
    // make, but is never foreground and receives no broadcasts: for a service that needs
    // neither.
    HiddenWindow(const char* className, WNDPROC procedure, bool messageOnly = false);
    ~HiddenWindow();
    HiddenWindow(const HiddenWindow&) = delete;
    HiddenWindow& operator=(const HiddenWindow&) = delete;

    HWND hwnd() const noexcept { return hwnd_; }

private:
    HWND hwnd_ = nullptr;
};

// Runs a window procedure's handling: an error that leaves a handler is shown in the
// application's error box instead of unwinding through the system, as the trampoline does.
template <typename F>
LRESULT guardedHandling(F&& handling) noexcept {
    try {
        return handling();
    } catch (const std::exception& e) {
        win::Application::showException(e);
        return 0;
    }
}

}  // namespace ui
