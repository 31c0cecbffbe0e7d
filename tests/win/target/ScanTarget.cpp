// A process for the scan to find: copied under the names a test needs (keylog.exe,
// Explorer.exe ...), it does nothing but wait to be stopped. Started with the argument
// "window", it shows a small window and brings it to the front, for the tests that need
// another program in front. It ends by itself after ten minutes, so that a test run that
// dies leaves nothing behind for long.
#include <windows.h>

#include <cstring>

namespace {

constexpr UINT kLifetimeMs = 10 * 60 * 1000;

LRESULT CALLBACK windowProcedure(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_DESTROY || msg == WM_TIMER) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, msg, wp, lp);
}

int runWindow(HINSTANCE instance) {
    WNDCLASSA c{};
    c.lpfnWndProc = &windowProcedure;
    c.hInstance = instance;
    c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    c.lpszClassName = "OmbrixTestTarget";
    RegisterClassA(&c);
    HWND window = CreateWindowA(c.lpszClassName, "Test target", WS_OVERLAPPEDWINDOW, 600, 100, 240, 120, nullptr,
                                nullptr, instance, nullptr);
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
    SetTimer(window, 1, kLifetimeMs, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR args, int) {
    if (std::strcmp(args, "window") == 0) return runWindow(instance);
    Sleep(kLifetimeMs);
    return 0;
}
