// Process termination and token privileges.
#include "scan/ProcessControl.h"

#include "scan/ProcessName.h"
#include "win32/Win32Error.h"

namespace scan {

StopOutcome StopProcessesByName(const std::string& name, CreateSnapshotFn createSnapshot) {
    const DWORD self = GetCurrentProcessId();
    StopOutcome outcome;
    ProcessSnapshot snapshot(TH32CS_SNAPPROCESS, createSnapshot);
    if (snapshot.failed()) {
        outcome.snapshotFailure = win::errorText(snapshot.error());
        return outcome;
    }
    snapshot.forEachProcess([&](const PROCESSENTRY32& entry) {
        if (entry.th32ProcessID == self || !reachedByStop(exeFileOf(entry), name)) return;
        ++outcome.matched;
        win::UniqueKernelHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID));
        if (process && TerminateProcess(process.get(), 0)) ++outcome.terminated;
    });
    return outcome;
}

bool EnablePrivilege(HANDLE process, const char* privilegeName) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_ADJUST_PRIVILEGES, &token)) return false;
    win::UniqueKernelHandle owned(token);
    TOKEN_PRIVILEGES privileges{};
    static_assert(sizeof privileges == 16, "one privilege entry");
    privileges.PrivilegeCount = 1;
    if (!LookupPrivilegeValueA(nullptr, privilegeName, &privileges.Privileges[0].Luid)) return false;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    return AdjustTokenPrivileges(owned.get(), FALSE, &privileges, sizeof privileges, nullptr, nullptr) != FALSE;
}

}  // namespace scan
