// The program's side of the keyboard-encryption library "zarurarevidev.dll": loading it from
// the program's folder, its two entry points, the shared block that tells it the main
// window, and the system-wide hot key Ctrl+E.
#pragma once

#include <windows.h>

#include <string>

#include "win32/UniqueHandle.h"

namespace hook {

constexpr const char* kLibraryName = "zarurarevidev.dll";
constexpr const char* kSharedBlockName = "zarurarEvidev";
constexpr const char* kHotKeyAtomText = "Hotkey";
constexpr UINT kHotKeyModifiers = MOD_CONTROL;
constexpr UINT kHotKeyVirtualKey = 0x45;  // E
// Posted by the library to the window in the shared block after each start, and whenever
// its hook's state changes: wParam 1 when the hook runs, 0 when it does not; lParam the
// start's token, the non-zero number StartHook returned, which no other program knows.
constexpr const char* kHookStateMessageName = "ZarurarevidevHookState";

// The library's exports, stdcall, results not looked at.
using StartHookProc = int(WINAPI*)(const char* folder, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD);
using EndHookProc = int(WINAPI*)();

// The binding's state from set-up to release. Start and end follow the library's calling
// pattern only through their caller (the main window keeps `hooked`); without a bound
// library they call nothing.
class HookBinding {
public:
    HookBinding() = default;
    HookBinding(const HookBinding&) = delete;
    HookBinding& operator=(const HookBinding&) = delete;
    ~HookBinding();

    // Set-up, in this order: the library from `folder` (the executable's folder with its
    // trailing backslash; wide, as the ANSI code page may lack its name) and nowhere else,
    // its two exports, the shared block holding `mainWindow`, the atom "Hotkey" and Ctrl+E
    // bound to `mainWindow`. Raises "Error loading DLL", "Cannot find the DLL functions",
    // "Unable to create file mapping" or, when the block exists but no view of it can be
    // had, "Unable to map view of file mapping"; each stops the set-up where it stands.
    void bind(HWND mainWindow, const std::wstring& folder);

    // Whether the whole set-up succeeded (the library, both exports, the shared block), so
    // that starting runs a hook.
    bool bound() const noexcept { return StartHook_ && EndHook_; }
    // Whether the library itself was loaded, whatever came of the rest of the set-up.
    bool loaded() const noexcept { return static_cast<bool>(hookLibrary_); }
    // The hot key identifier (the atom); 0 when none was added.
    UINT hotKeyId() const noexcept { return hotKeyId_; }

    // StartHook(folder, 1, 1, 1, 1, 1, 1, 1) and EndHook(); nothing when not bound. The
    // library takes an ANSI folder: one the code page holds (win::ansiPathOf). Start
    // returns StartHook's answer, the start's token: 0 when the hook does not run or the
    // library is not bound.
    DWORD start(const std::string& folder) const;
    void end() const;

    // The destruction steps, in order: free the library, unmap and close the shared block,
    // unbind the hot key from `mainWindow`, delete the atom. Each step runs once.
    void release(HWND mainWindow) noexcept;

private:
    win::UniqueLibrary hookLibrary_;
    StartHookProc StartHook_ = nullptr;
    EndHookProc EndHook_ = nullptr;
    win::UniqueKernelHandle mappingHandle_;
    void* sharedView_ = nullptr;
    UINT hotKeyId_ = 0;
};

}  // namespace hook
