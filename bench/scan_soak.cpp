// Soak of the keylogger scan, under Wine or Windows: the real scan (snapshot, the white and
// black lists of 100 names, the enciphered table, the stops and their log lines) run over and
// over in this one process while a few dozen processes run, some of them stopped by each scan
// and started again before the next. Prints the process's handles, private bytes and GDI and
// USER objects from the first scan to the last, and the time per scan; none may grow.
//   scan_soak [SCANS [IDLE_PROCESSES]]     defaults 1000 and 36
// Started with --idle it is one of the processes scanned: it waits to be stopped.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "dbf/dataset/TTableDataSet.h"
#include "scan/KeyloggerDatabase.h"
#include "scan/KeyloggerScanner.h"
#include "scan/ProcessSnapshot.h"
#include "scan/ScanRules.h"
#include "scan/TmLog.h"
#include "settings/ProcessList.h"
#include "settings/TextCompare.h"
#include "tests/support/ProcessFigures.h"

namespace {

using testing_support::ProcessFigures;

// Stopped by every scan: a table hit, its twin in capitals, a black-listed name.
const std::vector<std::string> kVictims = {"soak-keylog.exe", "SOAK-KEYLOG.EXE", "soak-black.exe"};
// Known to the table but white-listed, and a protected name the table lists: both survive.
const std::vector<std::string> kSurvivors = {"soak-white.exe", "lsass.exe"};

std::string ownPath() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, n);
}

class Child {
public:
    Child(const std::string& exe, const std::string& args) {
        std::string commandLine = "\"" + exe + "\" " + args;
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                            nullptr, &si, &pi))
            throw std::runtime_error("cannot start " + exe);
        CloseHandle(pi.hThread);
        process_ = pi.hProcess;
    }
    ~Child() {
        if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_, 1);
            WaitForSingleObject(process_, 5000);
        }
        CloseHandle(process_);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool waitForEnd(DWORD ms) const { return WaitForSingleObject(process_, ms) == WAIT_OBJECT_0; }
    bool running() const { return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }
    DWORD exitCode() const {
        DWORD code = 0;
        GetExitCodeProcess(process_, &code);
        return code;
    }

private:
    HANDLE process_ = nullptr;
};

// Each copy of this program in a folder of its own, so that names differing in case coexist.
std::string placeCopy(const std::string& root, const std::string& name) {
    static int serial = 0;
    std::string folder = root + "p" + std::to_string(++serial) + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string path = folder + name;
    if (!CopyFileA(ownPath().c_str(), path.c_str(), FALSE)) throw std::runtime_error("cannot copy to " + path);
    return path;
}

void run(const std::string& commandLine, const std::string& folder) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, folder.c_str(), &si,
                        &pi))
        throw std::runtime_error("cannot run " + commandLine);
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    if (code != 0) throw std::runtime_error("failed: " + commandLine);
}

std::string toolPath() {
    std::string p = OMBRIX_DB_TOOL;
    if (!p.empty() && p[0] == '/') p = "Z:" + p;
    return p;
}

void printFigures(const char* when, int scans, const ProcessFigures& f) {
    std::printf("%-14s %6d %9lu %14llu %8lu %8lu\n", when, scans, f.handles, f.privateBytes, f.gdiObjects,
                f.userObjects);
}

void removeTree(const std::string& folder) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((folder + "*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..") continue;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(folder + name + "\\");
            else
                DeleteFileA((folder + name).c_str());
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(folder.c_str());
}

int soak(int scans, int idleCount) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string root = std::string(temp) + "ombrix-soak-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(root.c_str(), nullptr);

    // The table: the names the soak runs, among 5,000 other signatures.
    {
        std::ofstream source(root + "signatures.txt", std::ios::binary);
        source << "soak-keylog.exe\r\nsoak-white.exe\r\nlsass.exe\r\n";
        for (int i = 0; i < 5000; ++i) source << "signature-" << i << ".exe\r\n";
    }
    run("\"" + toolPath() + "\" build signatures.txt .", root);
    SetCurrentDirectoryA(root.c_str());
    dbf::TTableDataSet table;
    scan::KeyloggerDatabase database(table);
    database.open();

    settings::ProcessList white(&settings::compareTextIgnoringCase);
    settings::ProcessList black(&settings::compareTextIgnoringCase);
    std::vector<std::string> whiteLines{"SOAK-WHITE.EXE"}, blackLines{"soak-black.exe"};
    for (int i = 1; i < 100; ++i) {
        whiteLines.push_back("trusted-" + std::to_string(i) + ".exe");
        blackLines.push_back("banned-" + std::to_string(i) + ".exe");
    }
    white.assign(whiteLines);
    black.assign(blackLines);
    scan::ScanRules rules(white, true, black, true, [&](const std::string& name) { return database.isKeylogger(name); });

    scan::TmLog log = scan::TmLog::withoutRecord();
    log.setTraceLevelRegKeyValue("");
    log.setLogFileName(root + "keyloggerstop.log");
    scan::KeyloggerScanner scanner(log);

    std::deque<Child> idle;
    for (int i = 0; i < idleCount; ++i)
        idle.emplace_back(placeCopy(root, "idle-" + std::to_string(i) + ".exe"), "--idle");
    for (const std::string& name : kSurvivors) idle.emplace_back(placeCopy(root, name), "--idle");
    std::vector<std::string> victimPaths;
    for (const std::string& name : kVictims) victimPaths.push_back(placeCopy(root, name));

    std::printf("Soak of the keylogger scan: %d scans, %d processes kept running, %zu stopped by every\n"
                "other scan and started again; table of 5,003 signatures, two lists of 100 names.\n\n",
                scans, idleCount + static_cast<int>(kSurvivors.size()), kVictims.size());
    std::printf("%-14s %6s %9s %14s %8s %8s\n", "", "scans", "handles", "private bytes", "GDI", "USER");

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    double quietSeconds = 0, stoppingSeconds = 0, slowest = 0;
    int quietScans = 0, stoppingScans = 0, stops = 0, failures = 0, processesAtFirst = 0, processesAtLast = 0;
    ProcessFigures first{}, last{};
    for (int n = 1; n <= scans; ++n) {
        // Odd scans find the victims running and stop them; even scans find nothing to do.
        std::deque<Child> victims;
        bool stopping = n % 2 == 1;
        if (stopping)
            for (const std::string& path : victimPaths) victims.emplace_back(path, "--idle");
        LARGE_INTEGER t0, t1;
        QueryPerformanceCounter(&t0);
        scan::KeyloggerScanner::Report report = scanner.scan(rules);
        QueryPerformanceCounter(&t1);
        double seconds = static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(frequency.QuadPart);
        slowest = std::max(slowest, seconds);
        (stopping ? stoppingSeconds : quietSeconds) += seconds;
        (stopping ? stoppingScans : quietScans) += 1;
        stops += report.stops;
        if (n == 1) processesAtFirst = report.processes;
        processesAtLast = report.processes;
        for (const Child& v : victims)
            if (!v.waitForEnd(5000) || v.exitCode() != 0) ++failures;
        victims.clear();
        if (report.snapshotFailed || (stopping ? report.stops < 2 : report.stops != 0)) ++failures;
        if (n == 1) printFigures("after first", n, first = ProcessFigures::now());
        else if (n % (scans / 10 > 0 ? scans / 10 : 1) == 0 && n != scans) printFigures("", n, ProcessFigures::now());
    }
    printFigures("after last", scans, last = ProcessFigures::now());
    int survivors = 0;
    for (const Child& c : idle) survivors += c.running();

    std::printf("\ngrowth from the first scan to the last: handles %+ld, private bytes %+lld, GDI %+ld, USER %+ld\n",
                static_cast<long>(last.handles) - static_cast<long>(first.handles),
                static_cast<long long>(last.privateBytes) - static_cast<long long>(first.privateBytes),
                static_cast<long>(last.gdiObjects) - static_cast<long>(first.gdiObjects),
                static_cast<long>(last.userObjects) - static_cast<long>(first.userObjects));
    std::printf("time per scan: %.2f ms with nothing to stop (%d scans), %.2f ms stopping %zu processes (%d scans); "
                "slowest %.2f ms\n",
                quietScans ? 1000 * quietSeconds / quietScans : 0.0, quietScans,
                stoppingScans ? 1000 * stoppingSeconds / stoppingScans : 0.0, kVictims.size(), stoppingScans,
                1000 * slowest);
    std::printf("processes in the system: %d at the first scan, %d at the last\n", processesAtFirst, processesAtLast);
    if (std::getenv("OMBRIX_SOAK_LIST")) {
        scan::ProcessSnapshot snapshot(TH32CS_SNAPPROCESS);
        snapshot.forEachProcess([&](const PROCESSENTRY32& e) {
            std::printf("  %5lu %5lu %s\n", e.th32ProcessID, e.th32ParentProcessID, e.szExeFile);
        });
    }
    std::printf("names stopped: %d; processes left running that must run: %d of %zu; wrong outcomes: %d\n", stops,
                survivors, idle.size(), failures);

    // Where the time of a scan goes: the snapshot of everything that the walk takes, beside
    // the process-only snapshot that a stop takes.
    for (DWORD flags : {static_cast<DWORD>(TH32CS_SNAPALL), static_cast<DWORD>(TH32CS_SNAPPROCESS)}) {
        LARGE_INTEGER t0, t1;
        int entries = 0;
        QueryPerformanceCounter(&t0);
        for (int i = 0; i < 20; ++i) {
            scan::ProcessSnapshot snapshot(flags);
            snapshot.forEachProcess([&](const PROCESSENTRY32&) { ++entries; });
        }
        QueryPerformanceCounter(&t1);
        std::printf("snapshot alone (%s): %.2f ms for %d processes\n",
                    flags == TH32CS_SNAPALL ? "TH32CS_SNAPALL" : "TH32CS_SNAPPROCESS",
                    1000.0 * static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(frequency.QuadPart) / 20,
                    entries / 20);
    }

    {
        std::vector<std::string> names;
        scan::ProcessSnapshot snapshot(TH32CS_SNAPPROCESS);
        snapshot.forEachProcess([&](const PROCESSENTRY32& e) { names.emplace_back(scan::exeFileOf(e)); });
        LARGE_INTEGER t0, t1, t2;
        QueryPerformanceCounter(&t0);
        for (int i = 0; i < 20; ++i)
            for (const std::string& n : names) rules.mustStop(n);
        QueryPerformanceCounter(&t1);
        for (int i = 0; i < 20; ++i)
            for (const std::string& n : names) database.isKeylogger(n);
        QueryPerformanceCounter(&t2);
        auto ms = [&](LARGE_INTEGER a, LARGE_INTEGER b) {
            return 1000.0 * static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(frequency.QuadPart) / 20;
        };
        std::printf("decisions alone: %.2f ms for %zu names, of which the table's %.2f ms and the two lists' the rest\n",
                    ms(t0, t1), names.size(), ms(t1, t2));
    }

    const bool allSurvived = survivors == static_cast<int>(idle.size());
    idle.clear();
    database.close();
    SetCurrentDirectoryA(temp);
    removeTree(root);
    return failures == 0 && allSurvived ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--idle") {
        Sleep(30 * 60 * 1000);
        return 0;
    }
    int scans = argc > 1 ? std::atoi(argv[1]) : 1000;
    int idleCount = argc > 2 ? std::atoi(argv[2]) : 36;
    try {
        return soak(scans > 0 ? scans : 1000, idleCount >= 0 ? idleCount : 36);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "scan_soak: %s\n", e.what());
        return 1;
    }
}
