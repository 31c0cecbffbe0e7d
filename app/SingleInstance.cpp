// Telling a running copy from a window that only borrows the class name.
#include "app/SingleInstance.h"

#include <psapi.h>

#include <string>
#include <vector>

#include "app/Form1.h"

namespace app {

namespace {

// A text of the version resource of `file`, in the resource's first language; empty when
// there is none.
std::wstring versionText(const wchar_t* file, const wchar_t* name) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file, &ignored);
    if (size == 0) return {};
    std::vector<char> block(size);
    if (!GetFileVersionInfoW(file, 0, size, block.data())) return {};
    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation* translations = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                        &length) ||
        length < sizeof(Translation))
        return {};
    wchar_t key[64];
    wsprintfW(key, L"\\StringFileInfo\\%04x%04x\\%s", translations->language, translations->codePage, name);
    wchar_t* value = nullptr;
    if (!VerQueryValueW(block.data(), key, reinterpret_cast<void**>(&value), &length) || !value) return {};
    return std::wstring(value);
}

struct Identity {
    std::wstring product, internal;
    bool operator==(const Identity&) const = default;
};

Identity identityOf(const wchar_t* file) {
    return {versionText(file, L"ProductName"), versionText(file, L"InternalName")};
}

const Identity& ownIdentity() {
    static const Identity own = [] {
        wchar_t path[MAX_PATH * 4] = L"";
        GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
        return identityOf(path);
    }();
    return own;
}

bool isCopy(DWORD pid) {
    if (pid == GetCurrentProcessId()) return false;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!process) return true;
    wchar_t path[MAX_PATH * 4] = L"";
    const DWORD length = GetModuleFileNameExW(process, nullptr, path, static_cast<DWORD>(std::size(path)));
    CloseHandle(process);
    if (length == 0) return true;
    return identityOf(path) == ownIdentity();
}

}  // namespace

HWND findRunningCopy() {
    for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, kMainWindowClass, nullptr)) != nullptr;) {
        DWORD pid = 0;
        if (GetWindowThreadProcessId(w, &pid) && isCopy(pid)) return w;
    }
    return nullptr;
}

}  // namespace app
