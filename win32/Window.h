// Base of every window the program creates: one trampoline window procedure finds the C++
// object at WM_NCCREATE and routes each message to its `handle`. Exceptions never unwind
// through user32: the trampoline hands them to the application's standard error box.
#pragma once

#include <windows.h>

namespace win {

// Destroys `hwnd` (and with it the windows it owns) as the program's own act. Any process
// may send or post WM_DESTROY and WM_NCDESTROY; the trampolines take them for real only
// while such a destruction runs, and leave every other one unhandled.
void destroyWindow(HWND hwnd) noexcept;
bool destroyingWindows() noexcept;

class Window {
public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND hwnd() const noexcept { return hwnd_; }

    // Registers a window class served by the trampoline; registering twice is harmless.
    static void registerClass(const char* className, UINT style = 0, HCURSOR cursor = nullptr,
                              HBRUSH background = nullptr, HICON icon = nullptr);

protected:
    // Creates the native window; raises Win32Error on failure.
    void create(const char* className, const char* title, DWORD exStyle, DWORD style, int x, int y,
                int width, int height, HWND parent = nullptr, HMENU menu = nullptr);
    // Destroys the native window now (WM_DESTROY and WM_NCDESTROY run before it returns).
    void destroy() noexcept;

    // One message; the default passes it to DefWindowProcA.
    virtual LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT defaultHandling(UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcA(hwnd_, msg, wp, lp); }

private:
    static LRESULT CALLBACK trampoline(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    HWND hwnd_ = nullptr;
};

}  // namespace win
