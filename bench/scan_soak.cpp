// Soak of the keylogger scan, under Wine or Windows: the real scan (snapshot, the white and
// black lists of 100 names, the enciphered table, the stops and their log lines) run over and
// over in this one process while a few dozen processes run, some of them stopped by each scan
// and started again before the next. Prints the process's handles, private bytes and GDI and
// USER objects from the first scan to the last, and the time per scan; none may grow.
//   scan_soak [SCANS [IDLE_PROCESSES]]     defaults 1000 and 36
// Exit code: 0 when every scan did what it must and nothing grew after the warm-up; 1 when a
// scan went wrong (or the soak could not run); 2 when handles, private bytes, GDI or USER
// objects grew after the warm-up beyond the small allowance printed with the figures. CTest
// runs it as a test on that code.
// Started with --idle it is one of the processes scanned: it waits to be stopped.
#include <windows.h>

#include <algorithm>
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
#include "tests/support/FolderTree.h"
#include "tests/support/ProcessFigures.h"

namespace {

using testing_support::ProcessFigures;
using testing_support::removeTree;

// Stopped by every scan: a table hit, its twin in capitals, a black-listed name.
const std::vector<std::string> kVictims = {"soak-keylog.exe", "SOAK-KEYLOG.EXE", "soak-black.exe"};
// Known to the table but white-listed, and a protected name the table lists: both survive.
const std::vector<std::string> kSurvivors = {"soak-white.exe", "lsass.exe"};
constexpr int kOtherSignatures = 5000;

// What may still change after the warm-up without counting as growth: a handle or two that
// the system opens for itself now and then, and a few steps of the heap. A leak of anything
// per scan or per process walked passes these within a few hundred scans.
constexpr long kHandleAllowance = 2;
constexpr long long kPrivateBytesAllowance = 256 * 1024;

enum ExitCode { kAllWell = 0, kWrongOutcome = 1, kGrowth = 2 };

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
        // A copy that a scan has just stopped may still be ending when it is started again,
        // and Wine then now and again refuses the start for a moment: a few tries, then the
        // system's reason.
        DWORD error = 0;
        for (int tries = 0; tries < 20; ++tries) {
            if (CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                               nullptr, &si, &pi)) {
                error = 0;
                break;
            }
            error = GetLastError();
            Sleep(50);
        }
        if (error) throw std::runtime_error("cannot start " + exe + " (error " + std::to_string(error) + ")");
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

double secondsBetween(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t;
}

// --- Set-up ------------------------------------------------------------------------------

// The table in `root`: the names the soak runs, among thousands of other signatures.
void buildTable(const std::string& root) {
    {
        std::ofstream source(root + "signatures.txt", std::ios::binary);
        source << "soak-keylog.exe\r\nsoak-white.exe\r\nlsass.exe\r\n";
        for (int i = 0; i < kOtherSignatures; ++i) source << "signature-" << i << ".exe\r\n";
    }
    std::string command = '"' + toolPath();
    command += "\" build signatures.txt .";
    run(command, root);
}

// Two lists of 100 names; of the soak's processes the white one holds a survivor, the black
// one a victim.
void fillLists(settings::ProcessList& white, settings::ProcessList& black) {
    std::vector<std::string> whiteLines{"SOAK-WHITE.EXE"}, blackLines{"soak-black.exe"};
    for (int i = 1; i < 100; ++i) {
        whiteLines.push_back("trusted-" + std::to_string(i) + ".exe");
        blackLines.push_back("banned-" + std::to_string(i) + ".exe");
    }
    white.assign(whiteLines);
    black.assign(blackLines);
}

// The processes that run through the whole soak, and where the copies that every stopping
// scan starts lie.
struct Population {
    std::deque<Child> kept;
    std::vector<std::string> victimPaths;
};

Population startPopulation(const std::string& root, int idleCount) {
    Population p;
    for (int i = 0; i < idleCount; ++i) p.kept.emplace_back(placeCopy(root, "idle-" + std::to_string(i) + ".exe"), "--idle");
    for (const std::string& name : kSurvivors) p.kept.emplace_back(placeCopy(root, name), "--idle");
    for (const std::string& name : kVictims) p.victimPaths.push_back(placeCopy(root, name));
    return p;
}

// --- The scans ----------------------------------------------------------------------------

struct Tally {
    double quietSeconds = 0, stoppingSeconds = 0, slowest = 0;
    int quietScans = 0, stoppingScans = 0, stops = 0, failures = 0;
    int processesAtFirst = 0, processesAtLast = 0;
    int warmUpScans = 0;
    ProcessFigures first{}, warm{}, last{};
};

void printFigures(const char* when, int scans, const ProcessFigures& f) {
    std::printf("%-14s %6d %9lu %14llu %8lu %8lu\n", when, scans, f.handles, f.privateBytes, f.gdiObjects,
                f.userObjects);
}

// Scan `n` of the soak. Odd scans find the victims running and must stop every one of them;
// even scans find nothing to do.
void scanOnce(int n, scan::KeyloggerScanner& scanner, const scan::ScanRules& rules,
              const std::vector<std::string>& victimPaths, Tally& tally) {
    const bool stopping = n % 2 == 1;
    std::deque<Child> victims;
    if (stopping)
        for (const std::string& path : victimPaths) victims.emplace_back(path, "--idle");
    LARGE_INTEGER t0 = now();
    scan::KeyloggerScanner::Report report = scanner.scan(rules);
    double seconds = secondsBetween(t0, now());

    tally.slowest = std::max(tally.slowest, seconds);
    (stopping ? tally.stoppingSeconds : tally.quietSeconds) += seconds;
    (stopping ? tally.stoppingScans : tally.quietScans) += 1;
    tally.stops += report.stops;
    if (n == 1) tally.processesAtFirst = report.processes;
    tally.processesAtLast = report.processes;
    for (const Child& v : victims)
        if (!v.waitForEnd(5000) || v.exitCode() != 0) ++tally.failures;
    if (report.snapshotFailed || (stopping ? report.stops < 2 : report.stops != 0)) ++tally.failures;
}

// The figures are taken between scans, when the victims' handles are closed again.
Tally runScans(int scans, scan::KeyloggerScanner& scanner, const scan::ScanRules& rules,
               const std::vector<std::string>& victimPaths) {
    Tally tally;
    // Bindings, caches and the heap settle in the first tenth of the scans.
    tally.warmUpScans = std::clamp(scans / 10, 1, std::max(1, scans / 2));
    const int step = scans / 10 > 0 ? scans / 10 : 1;
    for (int n = 1; n <= scans; ++n) {
        scanOnce(n, scanner, rules, victimPaths, tally);
        if (n == 1) printFigures("after first", n, tally.first = ProcessFigures::now());
        if (n == tally.warmUpScans) printFigures("after warm-up", n, tally.warm = ProcessFigures::now());
        else if (n % step == 0 && n != scans && n != 1) printFigures("", n, ProcessFigures::now());
    }
    printFigures("after last", scans, tally.last = ProcessFigures::now());
    return tally;
}

// --- Figures ------------------------------------------------------------------------------

struct Growth {
    long handles;
    long long privateBytes;
    long gdiObjects;
    long userObjects;

    static Growth between(const ProcessFigures& from, const ProcessFigures& to) {
        return {static_cast<long>(to.handles) - static_cast<long>(from.handles),
                static_cast<long long>(to.privateBytes) - static_cast<long long>(from.privateBytes),
                static_cast<long>(to.gdiObjects) - static_cast<long>(from.gdiObjects),
                static_cast<long>(to.userObjects) - static_cast<long>(from.userObjects)};
    }

    bool withinAllowance() const {
        return handles <= kHandleAllowance && privateBytes <= kPrivateBytesAllowance && gdiObjects <= 0 &&
               userObjects <= 0;
    }

    void print(const char* span) const {
        std::printf("growth %s: handles %+ld, private bytes %+lld, GDI %+ld, USER %+ld\n", span, handles, privateBytes,
                    gdiObjects, userObjects);
    }
};

void printTimes(const Tally& t) {
    std::printf("time per scan: %.2f ms with nothing to stop (%d scans), %.2f ms stopping %zu processes (%d scans); "
                "slowest %.2f ms\n",
                t.quietScans ? 1000 * t.quietSeconds / t.quietScans : 0.0, t.quietScans,
                t.stoppingScans ? 1000 * t.stoppingSeconds / t.stoppingScans : 0.0, kVictims.size(), t.stoppingScans,
                1000 * t.slowest);
    std::printf("processes in the system: %d at the first scan, %d at the last\n", t.processesAtFirst,
                t.processesAtLast);
}

void listProcesses() {
    scan::ProcessSnapshot snapshot(TH32CS_SNAPPROCESS);
    snapshot.forEachProcess([&](const PROCESSENTRY32& e) {
        std::printf("  %5lu %5lu %s\n", e.th32ProcessID, e.th32ParentProcessID, e.szExeFile);
    });
}

// Where the time of a scan goes: the snapshot of everything that the walk takes, beside the
// process-only snapshot that a stop takes.
void printSnapshotCost() {
    for (DWORD flags : {static_cast<DWORD>(TH32CS_SNAPALL), static_cast<DWORD>(TH32CS_SNAPPROCESS)}) {
        int entries = 0;
        LARGE_INTEGER t0 = now();
        for (int i = 0; i < 20; ++i) {
            scan::ProcessSnapshot snapshot(flags);
            snapshot.forEachProcess([&](const PROCESSENTRY32&) { ++entries; });
        }
        std::printf("snapshot alone (%s): %.2f ms for %d processes\n",
                    flags == TH32CS_SNAPALL ? "TH32CS_SNAPALL" : "TH32CS_SNAPPROCESS",
                    1000.0 * secondsBetween(t0, now()) / 20, entries / 20);
    }
}

// And the decisions without the system: the rules over every running name, and the table's
// share of them.
void printDecisionCost(const scan::ScanRules& rules, scan::KeyloggerDatabase& database) {
    std::vector<std::string> names;
    scan::ProcessSnapshot snapshot(TH32CS_SNAPPROCESS);
    snapshot.forEachProcess([&](const PROCESSENTRY32& e) { names.emplace_back(scan::exeFileOf(e)); });
    LARGE_INTEGER t0 = now();
    for (int i = 0; i < 20; ++i)
        for (const std::string& n : names) rules.mustStop(n);
    LARGE_INTEGER t1 = now();
    for (int i = 0; i < 20; ++i)
        for (const std::string& n : names) database.isKeylogger(n);
    LARGE_INTEGER t2 = now();
    std::printf("decisions alone: %.2f ms for %zu names, of which the table's %.2f ms and the two lists' the rest\n",
                1000.0 * secondsBetween(t0, t1) / 20, names.size(), 1000.0 * secondsBetween(t1, t2) / 20);
}

// Prints what the scans did and how the process's figures moved, and gives the verdict.
ExitCode judge(const Tally& tally, int survivors, int kept) {
    std::printf("\n");
    Growth::between(tally.first, tally.last).print("from the first scan to the last");
    Growth afterWarmUp = Growth::between(tally.warm, tally.last);
    afterWarmUp.print("after the warm-up");
    std::printf("allowed after the warm-up: handles %+ld, private bytes %+lld, GDI and USER none\n", kHandleAllowance,
                kPrivateBytesAllowance);
    printTimes(tally);
    std::printf("names stopped: %d; processes left running that must run: %d of %d; wrong outcomes: %d\n",
                tally.stops, survivors, kept, tally.failures);
    if (tally.failures != 0 || survivors != kept) return kWrongOutcome;
    return afterWarmUp.withinAllowance() ? kAllWell : kGrowth;
}

// --- The soak -----------------------------------------------------------------------------

int soak(int scans, int idleCount) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string root = std::string(temp) + "ombrix-soak-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(root.c_str(), nullptr);
    buildTable(root);
    SetCurrentDirectoryA(root.c_str());
    dbf::TTableDataSet table;
    scan::KeyloggerDatabase database(table);
    database.open();

    settings::ProcessList white(&settings::compareTextIgnoringCase);
    settings::ProcessList black(&settings::compareTextIgnoringCase);
    fillLists(white, black);
    scan::ScanRules rules(white, true, black, true, [&](const std::string& name) { return database.isKeylogger(name); });
    scan::TmLog log = scan::TmLog::withoutRecord();
    log.setTraceLevelRegKeyValue("");
    log.setLogFileName(root + "keyloggerstop.log");
    scan::KeyloggerScanner scanner(log);
    Population population = startPopulation(root, idleCount);
    const int kept = static_cast<int>(population.kept.size());

    std::printf("Soak of the keylogger scan: %d scans, %d processes kept running, %zu stopped by every\n"
                "other scan and started again; table of %d signatures, two lists of 100 names.\n\n",
                scans, kept, kVictims.size(), kOtherSignatures + 3);
    std::printf("%-14s %6s %9s %14s %8s %8s\n", "", "scans", "handles", "private bytes", "GDI", "USER");
    Tally tally = runScans(scans, scanner, rules, population.victimPaths);
    int survivors = 0;
    for (const Child& c : population.kept) survivors += c.running();
    ExitCode verdict = judge(tally, survivors, kept);
    if (std::getenv("OMBRIX_SOAK_LIST")) listProcesses();
    printSnapshotCost();
    printDecisionCost(rules, database);

    population.kept.clear();
    database.close();
    SetCurrentDirectoryA(temp);
    removeTree(root);
    if (verdict == kWrongOutcome) std::printf("FAILED: a scan stopped what it must not, or not what it must\n");
    if (verdict == kGrowth) std::printf("FAILED: the process grew after the warm-up\n");
    return verdict;
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
        return kWrongOutcome;
    }
}
