// Figures of the running process that a leak would raise: open handles, private bytes, GDI
// and USER objects. Windows only. Wine answers GetProcessHandleCount with 0 and leaves the
// private bytes of GetProcessMemoryInfo empty, so the handles are counted in the system's
// handle table and the private bytes summed over the committed private memory regions.
// Its GetGuiResources counts nothing; those two figures stay 0 there.
#pragma once

#include <windows.h>

#include <psapi.h>
#include <tlhelp32.h>

#include <cstdint>
#include <vector>

namespace testing_support {

struct ProcessFigures {
    unsigned long handles = 0;
    unsigned long long privateBytes = 0;
    unsigned long gdiObjects = 0;
    unsigned long userObjects = 0;

    static ProcessFigures now() { return of(GetCurrentProcess(), GetCurrentProcessId()); }

    // Another process's figures: `process` needs PROCESS_QUERY_INFORMATION and PROCESS_VM_READ.
    static ProcessFigures of(HANDLE process, DWORD pid) {
        ProcessFigures f;
        f.handles = handleCount(process, pid);
        PROCESS_MEMORY_COUNTERS_EX memory{};
        memory.cb = sizeof memory;
        if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory))
            f.privateBytes = memory.PrivateUsage;
        if (!f.privateBytes) f.privateBytes = committedPrivateBytes(process);
        f.gdiObjects = GetGuiResources(process, GR_GDIOBJECTS);
        f.userObjects = GetGuiResources(process, GR_USEROBJECTS);
        return f;
    }

    // The threads of process `pid` now.
    static unsigned threads(DWORD pid = GetCurrentProcessId()) {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
        if (snapshot == INVALID_HANDLE_VALUE) return 0;
        unsigned count = 0;
        THREADENTRY32 entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
            if (entry.th32OwnerProcessID == pid) ++count;
        CloseHandle(snapshot);
        return count;
    }

    static unsigned long handleCount(HANDLE process = GetCurrentProcess(), DWORD pid = GetCurrentProcessId()) {
        DWORD count = 0;
        if (GetProcessHandleCount(process, &count) && count) return count;
        return handlesInSystemTable(pid);
    }

    static unsigned long long committedPrivateBytes(HANDLE process = GetCurrentProcess()) {
        unsigned long long total = 0;
        MEMORY_BASIC_INFORMATION region;
        for (const char* at = nullptr; VirtualQueryEx(process, at, &region, sizeof region) == sizeof region;) {
            if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
            const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
            if (next <= at) break;
            at = next;
        }
        return total;
    }

private:
    // SystemHandleInformation (16): a count, then one 16-byte entry per open handle of the
    // system, each starting with the owner's process id.
    struct HandleEntry {
        ULONG processId;
        UCHAR objectType;
        UCHAR flags;
        USHORT handle;
        PVOID object;
        ACCESS_MASK access;
    };
    using QueryFn = LONG(WINAPI*)(ULONG infoClass, PVOID buffer, ULONG length, PULONG returned);

    static unsigned long handlesInSystemTable(DWORD pid) {
        auto query = reinterpret_cast<QueryFn>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
        if (!query) return 0;
        std::vector<std::uint8_t> buffer(1 << 16);
        for (int attempt = 0; attempt < 16; ++attempt) {
            ULONG returned = 0;
            LONG status = query(16, buffer.data(), static_cast<ULONG>(buffer.size()), &returned);
            if (status == 0) {
                ULONG entries = *reinterpret_cast<ULONG*>(buffer.data());
                auto* entry = reinterpret_cast<const HandleEntry*>(buffer.data() + sizeof(void*));
                unsigned long mine = 0;
                for (ULONG i = 0; i < entries; ++i)
                    if (entry[i].processId == pid) ++mine;
                return mine;
            }
            buffer.resize(buffer.size() * 2);
        }
        return 0;
    }
};

}  // namespace testing_support
