// A process for the scan to find: copied under the names a test needs (keylog.exe,
// Explorer.exe ...), it does nothing but wait to be stopped. It ends by itself after ten
// minutes, so that a test run that dies leaves nothing behind for long.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    Sleep(10 * 60 * 1000);
    return 0;
}
