// The snapshot functions, bound once by name.
#include "scan/ProcessSnapshot.h"

#include <cstring>

namespace scan {
namespace {

static_assert(sizeof(PROCESSENTRY32) == 296 || sizeof(void*) != 4, "the 8-bit process entry of 32-bit Windows");

using WalkFn = BOOL(WINAPI*)(HANDLE snapshot, PROCESSENTRY32* entry);

struct SnapshotFunctions {
    CreateSnapshotFn create = nullptr;
    WalkFn first = nullptr;
    WalkFn next = nullptr;

    bool complete() const noexcept { return create && first && next; }
};

// kernel32.dll is in every process for its whole life, so its handle needs no release.
const SnapshotFunctions& snapshotFunctions() {
    static const SnapshotFunctions functions = [] {
        SnapshotFunctions f;
        if (HMODULE kernel = GetModuleHandleA("kernel32.dll")) {
            f.create = reinterpret_cast<CreateSnapshotFn>(
                reinterpret_cast<void*>(GetProcAddress(kernel, "CreateToolhelp32Snapshot")));
            f.first = reinterpret_cast<WalkFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "Process32First")));
            f.next = reinterpret_cast<WalkFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "Process32Next")));
        }
        return f;
    }();
    return functions;
}

}  // namespace

ProcessSnapshot::ProcessSnapshot(DWORD flags, CreateSnapshotFn create) {
    const SnapshotFunctions& f = snapshotFunctions();
    if (!create) {
        if (!f.complete()) return;
        create = f.create;
    }
    handle_.reset(create(flags, 0));
    if (!handle_) {
        failed_ = true;
        error_ = GetLastError();
    }
}

bool ProcessSnapshot::first(PROCESSENTRY32& entry) const noexcept {
    if (!handle_ || !snapshotFunctions().complete()) return false;
    entry.dwSize = sizeof entry;
    return snapshotFunctions().first(handle_.get(), &entry) != FALSE;
}

bool ProcessSnapshot::next(PROCESSENTRY32& entry) const noexcept {
    entry.dwSize = sizeof entry;
    return snapshotFunctions().next(handle_.get(), &entry) != FALSE;
}

std::string_view exeFileOf(const PROCESSENTRY32& entry) noexcept {
    return {entry.szExeFile, strnlen(entry.szExeFile, sizeof entry.szExeFile)};
}

}  // namespace scan
