// The window-procedure trampoline.
#include "win32/Window.h"

#include <exception>

#include "win32/Application.h"
#include "win32/Win32Error.h"

namespace win {

namespace {
// Destructions under way on the program's one window thread.
int gDestroying = 0;
}  // namespace

void destroyWindow(HWND hwnd) noexcept {
    ++gDestroying;
    DestroyWindow(hwnd);
    --gDestroying;
}

bool destroyingWindows() noexcept { return gDestroying > 0; }

Window::~Window() { destroy(); }

void Window::registerClass(const char* className, UINT style, HCURSOR cursor, HBRUSH background, HICON icon) {
    WNDCLASSA wc{};
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (GetClassInfoA(instance, className, &wc)) return;
    wc = WNDCLASSA{};
    wc.style = style;
    wc.lpfnWndProc = &Window::trampoline;
    wc.hInstance = instance;
    wc.hCursor = cursor ? cursor : LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.hIcon = icon;
    wc.lpszClassName = className;
    if (!RegisterClassA(&wc)) raiseLastError(std::string("Cannot register window class ") + className);
}

void Window::create(const char* className, const char* title, DWORD exStyle, DWORD style, int x, int y,
                    int width, int height, HWND parent, HMENU menu) {
    HWND h = CreateWindowExA(exStyle, className, title, style, x, y, width, height, parent, menu,
                             GetModuleHandleA(nullptr), this);
    if (!h) raiseLastError(std::string("Cannot create window ") + className);
}

void Window::destroy() noexcept {
    if (hwnd_) destroyWindow(hwnd_);
}

LRESULT Window::handle(UINT msg, WPARAM wp, LPARAM lp) { return defaultHandling(msg, wp, lp); }

LRESULT CALLBACK Window::trampoline(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcA(hwnd, msg, wp, lp);
    // A forged one would end the window's life in the program while the window lives on.
    if ((msg == WM_DESTROY || msg == WM_NCDESTROY) && !destroyingWindows()) return 0;
    LRESULT result = 0;
    try {
        result = self->handle(msg, wp, lp);
    } catch (const std::exception& e) {
        Application::showException(e);
    }
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
    }
    return result;
}

}  // namespace win
