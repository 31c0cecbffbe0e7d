// Figures of the running process that a leak would raise: open handles, private bytes, GDI
// and USER objects. Windows only. Wine answers GetProcessHandleCount with 0 and leaves the
// private bytes of GetProcessMemoryInfo empty, so the handles are counted in the system's
// handle table and the private bytes summed over the committed private memory regions.
// Its GetGuiResources counts nothing either: there the GDI objects are counted in the
// process's own GDI handle table (which its PEB points to, readable from outside), and the
// USER objects are the process's windows, top-level and child.
#pragma once

#include <windows.h>

#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <cstdint>
#include <vector>

#include "win32/ProcessMemory.h"

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
        if (!f.gdiObjects && underWine()) f.gdiObjects = wineGdiObjects(process);
        if (!f.userObjects && underWine()) f.userObjects = windowsOf(pid);
        return f;
    }

    static bool underWine() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

    // The live entries of Wine's GDI handle table of `process` (PROCESS_QUERY_INFORMATION
    // and PROCESS_VM_READ), stock objects included; 0 when it cannot be read.
    static unsigned long wineGdiObjects(HANDLE process) {
        using QueryFn = LONG(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
        auto query = reinterpret_cast<QueryFn>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
        PROCESS_BASIC_INFORMATION basic{};
        ULONG returned = 0;
        if (!query || query(process, 0 /* ProcessBasicInformation */, &basic, sizeof basic, &returned) != 0)
            return 0;
        // PEB.GdiSharedHandleTable (a process of the same width as this one).
        const size_t offset = sizeof(void*) == 4 ? 0x94 : 0xF8;
        const void* table = nullptr;
        SIZE_T read = 0;
        if (!ReadProcessMemory(process, reinterpret_cast<const char*>(basic.PebBaseAddress) + offset, &table,
                               sizeof table, &read) ||
            !table)
            return 0;
        std::vector<WineGdiEntry> entries(0x10000);
        if (!ReadProcessMemory(process, table, entries.data(),
                               entries.size() * sizeof(WineGdiEntry), &read))
            return 0;
        unsigned long live = 0;
        for (const WineGdiEntry& e : entries)
            if (e.type != 0) ++live;
        return live;
    }

    // The windows of process `pid`, top-level and child.
    static unsigned long windowsOf(DWORD pid) {
        WindowTally tally{pid, 0};
        EnumWindows(&countTopLevel, reinterpret_cast<LPARAM>(&tally));
        return tally.windows;
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
        return win::committedPrivateBytes(process);
    }

private:
    struct WindowTally {
        DWORD pid;
        unsigned long windows;
    };
    static BOOL CALLBACK countChild(HWND, LPARAM windows) {
        ++*reinterpret_cast<unsigned long*>(windows);
        return TRUE;
    }
    static BOOL CALLBACK countTopLevel(HWND w, LPARAM p) {
        auto& tally = *reinterpret_cast<WindowTally*>(p);
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner != tally.pid) return TRUE;
        ++tally.windows;
        EnumChildWindows(w, &countChild, reinterpret_cast<LPARAM>(&tally.windows));
        return TRUE;
    }

    // An entry of Wine's GDI handle table: 24 bytes, the object's type nonzero while it lives.
#pragma pack(push, 1)
    struct WineGdiEntry {
        std::uint64_t object;
        std::uint32_t owner;
        std::uint16_t unique;
        std::uint8_t type;
        std::uint8_t flags;
        std::uint64_t userPointer;
    };
#pragma pack(pop)
    static_assert(sizeof(WineGdiEntry) == 24);

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
