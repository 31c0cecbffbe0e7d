// A tool-help snapshot of the running system and the walk over its process entries. The
// snapshot functions are looked up in kernel32.dll at their first use, so that the program
// also starts on a system that lacks them.
#pragma once

#include <windows.h>

#include <tlhelp32.h>

#include <string_view>

#include "win32/UniqueHandle.h"

namespace scan {

// CreateToolhelp32Snapshot's signature: a stand-in for it lets a test make a snapshot fail.
using CreateSnapshotFn = HANDLE(WINAPI*)(DWORD flags, DWORD processId);

class ProcessSnapshot {
public:
    // Takes a snapshot of the kinds in `flags` (TH32CS_...) for the whole system, through
    // `create` when given and the system's function otherwise. Where the system has no
    // snapshot functions the snapshot holds no process and has not failed.
    explicit ProcessSnapshot(DWORD flags, CreateSnapshotFn create = nullptr);

    // Whether the system refused the snapshot, and its error code then.
    bool failed() const noexcept { return failed_; }
    DWORD error() const noexcept { return error_; }

    // Calls visit(const PROCESSENTRY32&) for each process entry, first to last. The entries
    // are the 8-bit ones; the walk ends early when `visit` raises.
    template <typename Visit>
    void forEachProcess(Visit&& visit) const {
        PROCESSENTRY32 entry;
        for (bool more = first(entry); more; more = next(entry)) visit(static_cast<const PROCESSENTRY32&>(entry));
    }

private:
    bool first(PROCESSENTRY32& entry) const noexcept;
    bool next(PROCESSENTRY32& entry) const noexcept;

    win::UniqueFileHandle handle_;
    bool failed_ = false;
    DWORD error_ = 0;
};

// An entry's executable name as the system reports it, never longer than its field.
std::string_view exeFileOf(const PROCESSENTRY32& entry) noexcept;

}  // namespace scan
