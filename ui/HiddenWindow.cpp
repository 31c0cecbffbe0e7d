// Hidden service windows.
#include "ui/HiddenWindow.h"

#include <string>

#include "win32/Win32Error.h"

namespace ui {

HiddenWindow::HiddenWindow(const char* className, WNDPROC procedure, bool messageOnly) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    if (!GetClassInfoA(instance, className, &wc)) {
        wc = WNDCLASSA{};
        wc.lpfnWndProc = procedure;
        wc.hInstance = instance;
        wc.lpszClassName = className;
        if (!RegisterClassA(&wc)) win::raiseLastError(std::string("Cannot register window class ") + className);
    }
    hwnd_ = CreateWindowExA(0, className, "", messageOnly ? 0 : WS_POPUP, 0, 0, 0, 0,
                            messageOnly ? HWND_MESSAGE : nullptr, nullptr, instance, nullptr);
    if (!hwnd_) win::raiseLastError(std::string("Cannot create window ") + className);
}

HiddenWindow::~HiddenWindow() {
    if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

}  // namespace ui
