// Start-up time and private bytes of the program beside the minimal tray program built with
// the same toolchain, in one run under Wine:
//
//   startup_bench PROGRAM_FOLDER MINIMAL_TRAY_EXE [RUNS] [LIBRARY] [PHASES_EXE]
//
// Each run copies the program folder (and LIBRARY as its keyboard-encryption library, so
// that no error box waits for an answer) into a fresh temporary folder and starts
// "ombrix.exe h" from there, as the logon shortcut does; the minimal program starts from the
// same folder. A start is over when the process waits for input in its message loop with its
// window created (and, for the program, shown: it hides at its first timer); its private
// bytes are read then. (Wine may call a process idle while it is still creating its windows,
// so the wait also sends the window a message, answered once its thread takes messages.)
// Each copy is then ended as a logoff ends it. Prints the median of each figure and the
// ratio of the program's to the minimal one's.
//
// The breakdown by phase comes from PHASES_EXE (by default "ombrix_phases.exe" beside this
// bench), the program built with its phases marked, started in a folder of its own as
// "ombrix.exe h" in each run: the median time of each phase, from the start of the process
// to the shown window, and what is left to the idle window, with the committed private
// memory the phase added. Figures only: nothing here passes or fails on them.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/FolderTree.h"
#include "tests/support/ProcessFigures.h"

namespace {

struct Start {
    double milliseconds = 0;
    unsigned long long privateBytes = 0;
    LONGLONG startCounter = 0;  // just before the process was created
};

double ticksToMs(LONGLONG ticks) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

HWND findWindow(DWORD pid, const char* cls) {
    for (HWND w = FindWindowExA(nullptr, nullptr, cls, nullptr); w; w = FindWindowExA(nullptr, w, cls, nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == pid) return w;
    }
    return nullptr;
}

// Starts `commandLine` in `folder` and measures it until it idles with a window of `cls` (a
// shown one when `shown`); then asks it to end as a logoff does: WM_QUERYENDSESSION, then
// WM_CLOSE.
bool measure(const std::string& commandLine, const std::string& folder, const char* cls, bool shown, Start& out) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string line = commandLine;
    LARGE_INTEGER frequency, from, to;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&from);
    out.startCounter = from.QuadPart;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi)) {
        std::fprintf(stderr, "cannot start %s (%lu)\n", commandLine.c_str(), GetLastError());
        return false;
    }
    HWND w = nullptr;
    const DWORD deadline = GetTickCount() + 30000;
    auto ready = [&] {
        w = findWindow(pi.dwProcessId, cls);
        return w && (!shown || IsWindowVisible(w));
    };
    while (!ready() && GetTickCount() < deadline && WaitForSingleObject(pi.hProcess, 1) == WAIT_TIMEOUT) {
    }
    if (w) {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(w, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &ignored);
        WaitForInputIdle(pi.hProcess, 30000);
    }
    QueryPerformanceCounter(&to);
    bool ok = w != nullptr;
    if (ok) {
        out.milliseconds = ticksToMs(to.QuadPart - from.QuadPart);
        out.privateBytes = testing_support::ProcessFigures::of(pi.hProcess, pi.dwProcessId).privateBytes;
        DWORD_PTR answer = 0;
        SendMessageTimeoutA(w, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
        PostMessageA(w, WM_CLOSE, 0, 0);
    } else {
        std::fprintf(stderr, "%s showed no window of class %s\n", commandLine.c_str(), cls);
    }
    if (WaitForSingleObject(pi.hProcess, 15000) != WAIT_OBJECT_0) {
        std::fprintf(stderr, "%s did not end when asked; ending it\n", commandLine.c_str());
        TerminateProcess(pi.hProcess, 1);
        WaitForSingleObject(pi.hProcess, 5000);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return ok;
}

// A fresh folder holding a copy of the files of `from` (the program folder is flat); removed
// with everything in it when the object goes.
class FolderCopy {
public:
    explicit FolderCopy(const std::string& from) {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        for (unsigned n = GetTickCount();; ++n) {
            path_ = std::string(temp) + "ombrix-startup-" + std::to_string(n);
            if (CreateDirectoryA(path_.c_str(), nullptr)) break;
            if (GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot create " + path_);
        }
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA((from + "\\*").c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot read " + from);
        do {
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            if (!CopyFileA((from + "\\" + fd.cFileName).c_str(), (path_ + "\\" + fd.cFileName).c_str(), FALSE))
                throw std::runtime_error(std::string("cannot copy ") + fd.cFileName);
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    ~FolderCopy() { testing_support::removeTree(path_ + "\\"); }
    FolderCopy(const FolderCopy&) = delete;
    FolderCopy& operator=(const FolderCopy&) = delete;
    const std::string& path() const noexcept { return path_; }

private:
    std::string path_;
};

struct Figures {
    std::vector<double> ms;
    std::vector<double> kib;
    void add(const Start& s) {
        ms.push_back(s.milliseconds);
        kib.push_back(static_cast<double>(s.privateBytes) / 1024.0);
    }
};

struct Phase {
    std::string name;
    double ms = 0;
    double kib = 0;
};

// The phases of one marked start, in order: each one's time and private memory since the end
// of the one before (the first one's since the process was created), then what was left to
// the idle window. Empty when the marks cannot be read.
std::vector<Phase> readPhases(const std::string& folder, const Start& s) {
    std::ifstream in(folder + "\\ombrix-phases.txt");
    LONGLONG frequency = 0;
    if (!(in >> frequency) || frequency <= 0) return {};
    std::vector<Phase> phases;
    LONGLONG before = s.startCounter;
    double total = 0, bytesBefore = 0;
    LONGLONG counter = 0;
    double bytes = 0;
    std::string name;
    while (in >> counter >> bytes && std::getline(in >> std::ws, name)) {
        const double ms = 1000.0 * static_cast<double>(counter - before) / static_cast<double>(frequency);
        phases.push_back({name, ms, (bytes - bytesBefore) / 1024.0});
        total += ms;
        before = counter;
        bytesBefore = bytes;
    }
    phases.push_back({"to the idle window", s.milliseconds - total,
                      (static_cast<double>(s.privateBytes) - bytesBefore) / 1024.0});
    return phases;
}

// Medians by phase over the runs, in the order of the first run.
class PhaseFigures {
public:
    void add(const std::vector<Phase>& phases) {
        for (const Phase& p : phases) {
            if (!ms_.count(p.name)) order_.push_back(p.name);
            ms_[p.name].push_back(p.ms);
            kib_[p.name].push_back(p.kib);
        }
    }
    void print(const std::vector<double>& totals, const std::vector<double>& kib) const {
        if (order_.empty()) return;
        std::printf("\nphases of the marked program, medians   ms   private KiB\n");
        for (const auto& name : order_)
            std::printf("  %-32s %9.1f   %11.0f\n", name.c_str(), median(ms_.at(name)), median(kib_.at(name)));
        std::printf("  %-32s %9.1f   %11.0f\n", "whole start-up", median(totals), median(kib));
    }

private:
    std::vector<std::string> order_;
    std::map<std::string, std::vector<double>> ms_, kib_;
};

}  // namespace

int main(int argc, char** argv) try {
    if (argc < 3) {
        std::fprintf(stderr, "usage: startup_bench PROGRAM_FOLDER MINIMAL_TRAY_EXE [RUNS] [LIBRARY] [PHASES_EXE]\n");
        return 2;
    }
    const std::string programFolder = argv[1];
    const std::string minimal = argv[2];
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 10;
    const std::string library = argc > 4 ? argv[4] : "";
    std::string phasesExe = argc > 5 ? argv[5] : "";
    if (phasesExe.empty()) {
        char self[MAX_PATH] = "";
        GetModuleFileNameA(nullptr, self, MAX_PATH);
        phasesExe = self;
        phasesExe = phasesExe.substr(0, phasesExe.find_last_of('\\') + 1) + "ombrix_phases.exe";
    }
    const bool withPhases = GetFileAttributesA(phasesExe.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (!withPhases) std::fprintf(stderr, "no %s: no breakdown by phase\n", phasesExe.c_str());

    Figures program, tray, marked;
    PhaseFigures phases;
    for (int run = 0; run < runs; ++run) {
        FolderCopy folder(programFolder);
        if (!library.empty()) CopyFileA(library.c_str(), (folder.path() + "\\zarurarevidev.dll").c_str(), FALSE);
        const std::string minimalCopy = folder.path() + "\\minimal_tray.exe";
        CopyFileA(minimal.c_str(), minimalCopy.c_str(), FALSE);
        Start s;
        if (!measure("\"" + folder.path() + "\\ombrix.exe\" h", folder.path(), "Ombrix", true, s)) return 1;
        program.add(s);
        if (!measure("\"" + minimalCopy + "\"", folder.path(), "MinimalTray", false, s)) return 1;
        tray.add(s);
        if (withPhases) {
            FolderCopy markedFolder(programFolder);
            if (!library.empty())
                CopyFileA(library.c_str(), (markedFolder.path() + "\\zarurarevidev.dll").c_str(), FALSE);
            if (!CopyFileA(phasesExe.c_str(), (markedFolder.path() + "\\ombrix.exe").c_str(), FALSE))
                throw std::runtime_error("cannot copy " + phasesExe);
            const std::string command = "\"" + markedFolder.path() + "\\ombrix.exe\" h";
            if (!measure(command, markedFolder.path(), "Ombrix", true, s)) return 1;
            marked.add(s);
            phases.add(readPhases(markedFolder.path(), s));
        }
    }
    const double programMs = median(program.ms), trayMs = median(tray.ms);
    const double programKib = median(program.kib), trayKib = median(tray.kib);
    std::printf("%d runs, medians      start-up ms   private KiB\n", runs);
    std::printf("ombrix.exe h          %11.1f   %11.0f\n", programMs, programKib);
    std::printf("minimal tray program  %11.1f   %11.0f\n", trayMs, trayKib);
    std::printf("ratio                 %11.2f   %11.2f\n", trayMs > 0 ? programMs / trayMs : 0,
                trayKib > 0 ? programKib / trayKib : 0);
    phases.print(marked.ms, marked.kib);
    return 0;
} catch (const std::exception& e) {
    std::fprintf(stderr, "startup_bench: %s\n", e.what());
    return 1;
}
