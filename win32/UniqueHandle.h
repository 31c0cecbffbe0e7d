// Move-only owners for the handles the program creates. Copies are deleted, so nothing is
// ever closed twice. What the system owns (shared icons, a window that WM_DESTROY already
// ends) is never wrapped.
#pragma once

#include <windows.h>

#include <utility>

namespace win {

template <typename Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;
    UniqueHandle() = default;
    explicit UniqueHandle(Handle h) noexcept : h_(h) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& o) noexcept : h_(o.release()) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept { reset(o.release()); return *this; }
    Handle get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return Traits::valid(h_); }
    Handle release() noexcept { return std::exchange(h_, Traits::invalid()); }
    void reset(Handle h = Traits::invalid()) noexcept {
        if (Traits::valid(h_)) Traits::close(h_);
        h_ = h;
    }

private:
    Handle h_ = Traits::invalid();
};

// Kernel objects that fail with NULL (processes, threads, mutexes, mappings).
struct KernelTraits {
    using Handle = HANDLE;
    static Handle invalid() noexcept { return nullptr; }
    static bool valid(Handle h) noexcept { return h && h != INVALID_HANDLE_VALUE; }
    static void close(Handle h) noexcept { ::CloseHandle(h); }
};

// CreateFile and CreateToolhelp32Snapshot fail with INVALID_HANDLE_VALUE, not NULL.
struct FileTraits {
    using Handle = HANDLE;
    static Handle invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool valid(Handle h) noexcept { return h && h != INVALID_HANDLE_VALUE; }
    static void close(Handle h) noexcept { ::CloseHandle(h); }
};

struct IconTraits {
    using Handle = HICON;
    static Handle invalid() noexcept { return nullptr; }
    static bool valid(Handle h) noexcept { return h != nullptr; }
    static void close(Handle h) noexcept { ::DestroyIcon(h); }
};

struct GdiTraits {
    using Handle = HGDIOBJ;
    static Handle invalid() noexcept { return nullptr; }
    static bool valid(Handle h) noexcept { return h != nullptr; }
    static void close(Handle h) noexcept { ::DeleteObject(h); }
};

struct MenuTraits {
    using Handle = HMENU;
    static Handle invalid() noexcept { return nullptr; }
    static bool valid(Handle h) noexcept { return h != nullptr; }
    static void close(Handle h) noexcept { ::DestroyMenu(h); }
};

struct LibraryTraits {
    using Handle = HMODULE;
    static Handle invalid() noexcept { return nullptr; }
    static bool valid(Handle h) noexcept { return h != nullptr; }
    static void close(Handle h) noexcept { ::FreeLibrary(h); }
};

using UniqueKernelHandle = UniqueHandle<KernelTraits>;
using UniqueFileHandle = UniqueHandle<FileTraits>;
using UniqueIcon = UniqueHandle<IconTraits>;
using UniqueGdiObject = UniqueHandle<GdiTraits>;
using UniqueMenu = UniqueHandle<MenuTraits>;
using UniqueLibrary = UniqueHandle<LibraryTraits>;

}  // namespace win
