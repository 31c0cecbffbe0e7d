// keyattack.exe COMMAND ...: the attacks on the keyboard-protection library that an ordinary
// program of the same user can make, one a run, for the tests. Each is bounded in time and
// count and ends by itself; the continuous ones also end when standard input reaches its end
// or reads "quit". Each writes "done POSTED FAILED SECONDS" at its end (POSTED: messages or
// key presses that went out, FAILED: those refused); the continuous ones first write "running".
//   quit PID SKIP               WM_QUIT to each thread of process PID whose id is not in SKIP
//                               (thread ids, comma-separated): the library's threads in the host
//   marks PID SKIP CLASS COUNT  COUNT times WM_APP+1 with lParam the edit of the top-level window
//                               of class CLASS, to each of those threads: forged order marks
//   timers PID SKIP COUNT       COUNT forged WM_TIMER to each of those threads, without a window
//   states COUNT                "ZarurarevidevHookState" to the window in the block "zarurarEvidev":
//                               wParam 0 with lParam 1..20 and COUNT random values, then wParam 1 alike
//   inject PERIOD_MS SECONDS    F24 pressed and released through SendInput every PERIOD_MS
//   flood CLASS SECONDS         WM_NULL posted to the top-level window of class CLASS, as fast
//                               as PostMessage goes (at most kFloodMost messages)
#include <windows.h>
#include <tlhelp32.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr unsigned long kFloodMost = 5000000;
std::atomic<bool> g_stop{false};
LARGE_INTEGER g_frequency, g_began;

double seconds() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart - g_began.QuadPart) / static_cast<double>(g_frequency.QuadPart);
}

int done(unsigned long posted, unsigned long failed) {
    std::printf("done %lu %lu %.2f\n", posted, failed, seconds());
    std::fflush(stdout);
    return 0;
}

// Starts watching standard input for "quit"; says the attack runs.
void running() {
    std::thread([] {
        std::string line;
        while (std::getline(std::cin, line) && line.rfind("quit", 0) != 0) {
        }
        g_stop = true;
    }).detach();
    std::printf("running\n");
    std::fflush(stdout);
}

std::vector<DWORD> threadsOf(DWORD pid, const std::string& skipList) {
    std::set<DWORD> skip;
    for (const char* p = skipList.c_str(); *p;) {
        char* end = nullptr;
        skip.insert(static_cast<DWORD>(std::strtoul(p, &end, 10)));
        p = *end ? end + 1 : end;
    }
    std::vector<DWORD> out;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return out;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == pid && !skip.count(entry.th32ThreadID)) out.push_back(entry.th32ThreadID);
    CloseHandle(snapshot);
    return out;
}

int postToThreads(char** argv, UINT message, WPARAM wParam, LPARAM lParam, unsigned long count) {
    unsigned long posted = 0, failed = 0;
    for (DWORD thread : threadsOf(static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)), argv[3]))
        for (unsigned long i = 0; i < count; ++i) {
            // A forged timer message names a timer; the real one's number is unknown, so
            // the numbers go round a 16-bit range.
            const WPARAM w = message == WM_TIMER ? (i & 0xFFFF) + 1 : wParam;
            if (PostThreadMessageW(thread, message, w, lParam)) ++posted;
            else ++failed;
        }
    return done(posted, failed);
}

int forgeStates(unsigned long randomCount) {
    HWND window = nullptr;
    if (HANDLE block = OpenFileMappingA(FILE_MAP_READ, FALSE, "zarurarEvidev")) {
        if (const auto* view = static_cast<const unsigned char*>(MapViewOfFile(block, FILE_MAP_READ, 0, 0, 4))) {
            const ULONG_PTR handle = view[0] | view[1] << 8 | view[2] << 16 | static_cast<ULONG_PTR>(view[3]) << 24;
            window = reinterpret_cast<HWND>(handle);
            UnmapViewOfFile(view);
        }
        CloseHandle(block);
    }
    if (!window) {
        std::fprintf(stderr, "keyattack states: no window in the block zarurarEvidev\n");
        return 1;
    }
    const UINT message = RegisterWindowMessageA("ZarurarevidevHookState");
    std::mt19937 random(static_cast<unsigned>(g_began.QuadPart));
    unsigned long posted = 0, failed = 0;
    for (WPARAM state = 0; state <= 1; ++state) {
        std::vector<DWORD> values;
        for (DWORD value = 1; value <= 20; ++value) values.push_back(value);
        for (unsigned long i = 0; i < randomCount; ++i) values.push_back(static_cast<DWORD>(random()));
        for (DWORD value : values) {
            if (PostMessageW(window, message, state, static_cast<LPARAM>(value))) ++posted;
            else ++failed;
        }
    }
    return done(posted, failed);
}

// Sleeps until `at` seconds after the start, or returns at once when that has passed.
void sleepUntil(double at) {
    const double left = at - seconds();
    if (left > 0) Sleep(static_cast<DWORD>(left * 1000));
}

int inject(unsigned long periodMs, double limit) {
    INPUT keys[2] = {};
    for (INPUT& key : keys) {
        key.type = INPUT_KEYBOARD;
        key.ki.wVk = VK_F24;
        key.ki.wScan = static_cast<WORD>(MapVirtualKeyW(VK_F24, 0));
    }
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    running();
    unsigned long posted = 0, failed = 0;
    // Paced on the clock, not by the sleeps alone, so that the rate holds when a sleep is late.
    for (double at = seconds(); !g_stop && seconds() < limit; at += periodMs / 1000.0) {
        if (SendInput(2, keys, sizeof(INPUT)) == 2) ++posted;
        else ++failed;
        sleepUntil(at + periodMs / 1000.0);
    }
    return done(posted, failed);
}

int flood(const char* windowClass, double limit) {
    HWND window = FindWindowA(windowClass, nullptr);
    if (!window) {
        std::fprintf(stderr, "keyattack flood: no window of class %s\n", windowClass);
        return 1;
    }
    running();
    unsigned long posted = 0, failed = 0;
    for (unsigned long n = 0; !g_stop && posted < kFloodMost; ++n) {
        if (n % 1024 == 0 && (seconds() >= limit || !IsWindow(window))) break;
        if (PostMessageW(window, WM_NULL, 0, 0)) ++posted;
        else ++failed;
    }
    return done(posted, failed);
}

}  // namespace

int main(int argc, char** argv) {
    QueryPerformanceFrequency(&g_frequency);
    QueryPerformanceCounter(&g_began);
    const std::string command = argc > 1 ? argv[1] : "";
    auto number = [&](int i) { return std::strtoul(argv[i], nullptr, 10); };
    if (command == "quit" && argc == 4) return postToThreads(argv, WM_QUIT, 0, 0, 1);
    if (command == "marks" && argc == 6) {
        HWND top = FindWindowA(argv[4], nullptr);
        HWND edit = top ? FindWindowExA(top, nullptr, "Edit", nullptr) : nullptr;
        return postToThreads(argv, WM_APP + 1, 0, reinterpret_cast<LPARAM>(edit ? edit : top), number(5));
    }
    if (command == "timers" && argc == 5) return postToThreads(argv, WM_TIMER, 0, 0, number(4));
    if (command == "states" && argc == 3) return forgeStates(number(2));
    if (command == "inject" && argc == 4) return inject(number(2), std::atof(argv[3]));
    if (command == "flood" && argc == 4) return flood(argv[2], std::atof(argv[3]));
    std::fprintf(stderr,
                 "usage: keyattack quit PID SKIP | marks PID SKIP CLASS COUNT | timers PID SKIP COUNT | "
                 "states COUNT | inject PERIOD_MS SECONDS | flood CLASS SECONDS\n");
    return 2;
}
