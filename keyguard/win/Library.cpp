// "zarurarevidev.dll", the keyboard-protection library: its two exports.
//
// StartHook(folder, 1, 1, 1, 1, 1, 1, 1) starts the protection and EndHook() ends it; the
// caller alternates them, starting first, any number of times, and unloads the library at
// the end. Before the first start, the caller's main window is in the shared block
// "zarurarEvidev" (4 bytes, the window handle, little-endian); the library tells that
// window whether the hook runs, each report carrying the token StartHook returned
// (KeyboardGuard.h). The folder is where the user's pass-through list "pl.txt" lies; the
// seven values carry nothing the library needs.
#include <windows.h>

#include "keyguard/win/KeyboardGuard.h"

namespace {

keyguard::KeyboardGuard guard;

// The window in the shared block, or null when there is no block.
HWND sharedBlockWindow() {
    HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, L"zarurarEvidev");
    if (!mapping) return nullptr;
    HWND window = nullptr;
    if (const auto* view = static_cast<const unsigned char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 4))) {
        const ULONG_PTR handle = view[0] | view[1] << 8 | view[2] << 16 | static_cast<ULONG_PTR>(view[3]) << 24;
        window = reinterpret_cast<HWND>(handle);
        UnmapViewOfFile(view);
    }
    CloseHandle(mapping);
    return IsWindow(window) ? window : nullptr;
}

}  // namespace

extern "C" {

// This start's token, a random non-zero number, when the hook runs; 0 when it does not.
__declspec(dllexport) int WINAPI StartHook(const char* folder, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD) {
    return static_cast<int>(guard.start(sharedBlockWindow(), folder));
}

__declspec(dllexport) int WINAPI EndHook() {
    guard.stop();
    return 1;
}

}  // extern "C"

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(self);
    return TRUE;
}
