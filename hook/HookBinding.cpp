// Binding set-up and release for the keyboard-encryption library.
#include "hook/HookBinding.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "win32/WidePath.h"

namespace hook {

HookBinding::~HookBinding() { release(nullptr); }

void HookBinding::bind(HWND mainWindow, const std::wstring& folder) {
    // Only the program's own folder: a bare name would let the system's search go on into
    // the current directory and PATH, where a planted file would run inside a program that
    // sees every keystroke. The altered search path lets the library find its own
    // dependencies beside it.
    const std::wstring path = folder + win::widen(kLibraryName);
    hookLibrary_.reset(LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!hookLibrary_) throw std::runtime_error("Error loading DLL");

    // The exports are kept only once the whole set-up has succeeded: a library without its
    // shared block must never be started.
    auto startHook = reinterpret_cast<StartHookProc>(
        reinterpret_cast<void*>(GetProcAddress(hookLibrary_.get(), "StartHook")));
    auto endHook = reinterpret_cast<EndHookProc>(reinterpret_cast<void*>(GetProcAddress(hookLibrary_.get(), "EndHook")));
    if (!startHook || !endHook) throw std::runtime_error("Cannot find the DLL functions");

    mappingHandle_.reset(
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4, kSharedBlockName));
    if (!mappingHandle_) throw std::runtime_error("Unable to create file mapping");
    sharedView_ = MapViewOfFile(mappingHandle_.get(), FILE_MAP_WRITE, 0, 0, 0);
    if (!sharedView_) {
        // Nothing is written through a view the program does not have, and without the block
        // the library would not know the window: no atom and no hot key either.
        mappingHandle_.reset();
        throw std::runtime_error("Unable to map view of file mapping");
    }
    // Offset 0, 4 bytes, little-endian: the main window's handle.
    const auto handle = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(mainWindow));
    unsigned char bytes[4] = {static_cast<unsigned char>(handle), static_cast<unsigned char>(handle >> 8),
                              static_cast<unsigned char>(handle >> 16), static_cast<unsigned char>(handle >> 24)};
    std::memcpy(sharedView_, bytes, sizeof bytes);

    hotKeyId_ = GlobalAddAtomA(kHotKeyAtomText);
    // Ctrl+E held by another program: not reported; the menu item still toggles.
    RegisterHotKey(mainWindow, static_cast<int>(hotKeyId_), kHotKeyModifiers, kHotKeyVirtualKey);
    StartHook_ = startHook;
    EndHook_ = endHook;
}

DWORD HookBinding::start(const std::string& folder) const {
    return StartHook_ ? static_cast<DWORD>(StartHook_(folder.c_str(), 1, 1, 1, 1, 1, 1, 1)) : 0;
}

void HookBinding::end() const {
    if (EndHook_) EndHook_();
}

void HookBinding::release(HWND mainWindow) noexcept {
    StartHook_ = nullptr;
    EndHook_ = nullptr;
    hookLibrary_.reset();
    if (mappingHandle_) {
        if (sharedView_) UnmapViewOfFile(sharedView_);
        sharedView_ = nullptr;
        mappingHandle_.reset();
    }
    if (hotKeyId_ != 0) {
        if (mainWindow) UnregisterHotKey(mainWindow, static_cast<int>(hotKeyId_));
        GlobalDeleteAtom(static_cast<ATOM>(hotKeyId_ & 0xFFFF));
        hotKeyId_ = 0;
    }
}

}  // namespace hook
