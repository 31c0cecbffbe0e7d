// Process images and the folders Windows keeps its own processes in.
#include "scan/SystemFolders.h"

#include <psapi.h>

#include "win32/UniqueHandle.h"

namespace scan {

namespace {

using QueryImageNameFn = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);

// PROCESS_QUERY_LIMITED_INFORMATION, where the system has it: enough for the image's name,
// and granted for more processes than the full query right.
constexpr DWORD kQueryLimited = 0x1000;

std::wstring folderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

}  // namespace

std::optional<std::wstring> imagePathOf(DWORD pid) {
    win::UniqueKernelHandle process(OpenProcess(kQueryLimited, FALSE, pid));
    if (!process) process.reset(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    if (!process) return std::nullopt;
    wchar_t path[MAX_PATH * 4] = L"";
    DWORD length = static_cast<DWORD>(std::size(path));
    static const auto query = reinterpret_cast<QueryImageNameFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "QueryFullProcessImageNameW")));
    if (!query || !query(process.get(), 0, path, &length)) {
        length = GetModuleFileNameExW(process.get(), nullptr, path, static_cast<DWORD>(std::size(path)));
        if (length == 0) return std::nullopt;
    }
    return std::wstring(path, length);
}

std::optional<SystemFolders::Identity> SystemFolders::identityOf(const std::wstring& folder) {
    if (folder.empty()) return std::nullopt;
    win::UniqueFileHandle handle(CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!handle || !GetFileInformationByHandle(handle.get(), &info)) return std::nullopt;
    return Identity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

SystemFolders::SystemFolders() {
    wchar_t folder[MAX_PATH * 2] = L"";
    if (GetSystemDirectoryW(folder, MAX_PATH * 2))
        if (auto id = identityOf(folder)) system_.push_back(*id);
    using Wow64FolderFn = UINT(WINAPI*)(LPWSTR, UINT);
    const auto wow64 = reinterpret_cast<Wow64FolderFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetSystemWow64DirectoryW")));
    if (wow64 && wow64(folder, MAX_PATH * 2))
        if (auto id = identityOf(folder)) system_.push_back(*id);
    if (GetWindowsDirectoryW(folder, MAX_PATH * 2)) windows_ = identityOf(folder);
}

bool SystemFolders::holds(const std::wstring& imagePath, SystemHome home) const {
    if (home == SystemHome::None) return true;
    const std::optional<Identity> id = identityOf(folderOf(imagePath));
    if (!id) return true;
    for (const Identity& s : system_)
        if (s == *id) return true;
    return home == SystemHome::SystemOrWindows && windows_ && *windows_ == *id;
}

}  // namespace scan
