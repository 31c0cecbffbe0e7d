// keyhost.exe FOLDER\ [LISTFOLDER\]: switches the keyboard-protection library on and off for the tests,
// as the program does, without the rest of the program. It creates its window and the block
// "zarurarEvidev" with that window's handle, and loads FOLDER\zarurarevidev.dll at the first
// "start". It reads commands from its standard input, one a line, and answers each with one
// line on its standard output:
//   start        StartHook(LISTFOLDER\, 1, 1, 1, 1, 1, 1, 1) -> "start TOKEN" | "start error TEXT"
//                (LISTFOLDER, where the library looks for its pass-through list, is FOLDER
//                when not given)
//                TOKEN is what StartHook returned, unsigned: 0 when the hook does not run
//   end          EndHook()                                -> "end RESULT"
//   state?       the state last reported with the current token, after every message
//                queued to the window before it            -> "state? running" | "state? stopped"
//   threads      this process and its own two threads     -> "threads PID MAIN COMMANDS"
//   clock        the performance counter now              -> "clock COUNTER FREQUENCY"
//   fg           the foreground window, its thread and its focus -> "fg HANDLE THREAD FOCUSCLASS|CLASS|CAPTION"
//   text CLASS   the text of the Edit in that top-level window, UTF-8 in hex -> "text HEX" | "text none"
//   focus        the foreground's focus window: its class, and its text or, in a tree, the
//                selected item's, UTF-8 in hex     -> "focus CLASS HEX" | "focus none"
//   shown CLASS  whether a top-level window of that class is shown -> "shown 0|1"
//   hung CLASS   IsHungAppWindow of that window           -> "hung 0|1"
//   close CLASS  WM_CLOSE posted to it; kill CLASS ends its process -> "close 0|1", "kill 0|1"
//   quit         EndHook when started, then leaves        -> "quit"
// Each ZarurarevidevHookState message that reaches the window is written as
// "state WPARAM LPARAM accepted|ignored": a report counts only when its LPARAM is the token
// of the current start (any program can post that message; only the library knows the token).
// The state is "running" from a counted report with WPARAM 1 until one with WPARAM 0 or "end".
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

namespace {

using StartHookFn = int(WINAPI*)(const char*, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD);
using EndHookFn = int(WINAPI*)();

std::string g_folder;
std::string g_listFolder;
std::mutex g_outLock;
UINT g_stateMessage = 0;
HMODULE g_library = nullptr;
bool g_started = false;
DWORD g_token = 0;         // what the current start returned; 0 when none runs
bool g_running = false;    // the state last reported with that token
DWORD g_mainThread = 0;    // the window's thread
enum : UINT { kStart = WM_APP + 1, kEnd, kQuit, kState };

void answer(const std::string& line) {
    std::lock_guard<std::mutex> lock(g_outLock);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::string className(HWND hwnd) {
    char name[256] = {};
    if (hwnd) GetClassNameA(hwnd, name, sizeof name);
    return name;
}

void start() {
    if (!g_library) g_library = LoadLibraryA((g_folder + "zarurarevidev.dll").c_str());
    auto fn = g_library ? reinterpret_cast<StartHookFn>(reinterpret_cast<void*>(GetProcAddress(g_library, "StartHook"))) : nullptr;
    if (!fn) {
        answer("start error cannot load " + g_folder + "zarurarevidev.dll (" + std::to_string(GetLastError()) + ")");
        return;
    }
    // The library reports on this thread's queue, so its first report is read after this.
    g_token = static_cast<DWORD>(fn(g_listFolder.c_str(), 1, 1, 1, 1, 1, 1, 1));
    g_running = false;
    g_started = true;
    answer("start " + std::to_string(g_token));
}

int end() {
    auto fn = g_library ? reinterpret_cast<EndHookFn>(reinterpret_cast<void*>(GetProcAddress(g_library, "EndHook"))) : nullptr;
    if (!fn) return -1;
    g_started = false;
    g_token = 0;
    g_running = false;
    return fn();
}

LRESULT CALLBACK hostWindow(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == g_stateMessage && msg) {
        const bool accepted = g_token != 0 && static_cast<ULONG_PTR>(lParam) == g_token;
        if (accepted) g_running = wParam == 1;
        answer("state " + std::to_string(static_cast<ULONG_PTR>(wParam)) + " " +
               std::to_string(static_cast<ULONG_PTR>(lParam)) + (accepted ? " accepted" : " ignored"));
        return 0;
    }
    switch (msg) {
    case kStart: start(); return 0;
    case kEnd: answer("end " + std::to_string(end())); return 0;
    case kState: answer(std::string("state? ") + (g_running ? "running" : "stopped")); return 0;
    case kQuit:
        if (g_started) end();
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

std::string foreground() {
    HWND fg = GetForegroundWindow();
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    HWND focus = nullptr;
    DWORD thread = fg ? GetWindowThreadProcessId(fg, nullptr) : 0;
    if (thread && GetGUIThreadInfo(thread, &info)) focus = info.hwndFocus;
    char caption[256] = {};
    if (fg) GetWindowTextA(fg, caption, sizeof caption);
    char handleAndThread[48];
    std::snprintf(handleAndThread, sizeof handleAndThread, "%08lx %lu",
                  static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(fg)), static_cast<unsigned long>(thread));
    return std::string("fg ") + handleAndThread + " " + className(focus) + "|" + className(fg) + "|" + caption;
}

std::string hexUtf8(const std::wstring& w) {
    std::string utf8(w.size() * 3 + 1, '\0');
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), utf8.data(),
                                static_cast<int>(utf8.size()), nullptr, nullptr);
    std::string hex;
    for (int i = 0; i < n; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>(utf8[i]));
        hex += pair;
    }
    return hex;
}

bool windowText(HWND w, std::wstring& text) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(w, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return false;
    text.assign(length + 1, L'\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutW(w, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 5000,
                        &got);
    text.resize(got);
    return true;
}

std::string editText(const std::string& cls) {
    HWND top = FindWindowA(cls.c_str(), nullptr);
    HWND edit = top ? FindWindowExA(top, nullptr, "Edit", nullptr) : nullptr;
    std::wstring w;
    if (!edit || !windowText(edit, w)) return "text none";
    return "text " + hexUtf8(w);
}

// The selected item's text of a tree in another process: the item is read into memory of
// that process.
bool treeSelection(HWND tree, std::wstring& text) {
    auto item = static_cast<LPARAM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    DWORD pid = 0;
    GetWindowThreadProcessId(tree, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!item || !process) return false;
    constexpr int kChars = 256;
    auto* remote = static_cast<BYTE*>(
        VirtualAllocEx(process, nullptr, sizeof(TVITEMW) + kChars * sizeof(WCHAR), MEM_COMMIT, PAGE_READWRITE));
    bool ok = false;
    if (remote) {
        TVITEMW tv{};
        tv.mask = TVIF_TEXT;
        tv.hItem = reinterpret_cast<HTREEITEM>(item);
        tv.pszText = reinterpret_cast<LPWSTR>(remote + sizeof tv);
        tv.cchTextMax = kChars;
        WCHAR buffer[kChars] = {};
        ok = WriteProcessMemory(process, remote, &tv, sizeof tv, nullptr) &&
             SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote)) &&
             ReadProcessMemory(process, remote + sizeof tv, buffer, sizeof buffer - sizeof(WCHAR), nullptr);
        if (ok) text = buffer;
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return ok;
}

std::string focusText() {
    HWND fg = GetForegroundWindow();
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!fg || !GetGUIThreadInfo(GetWindowThreadProcessId(fg, nullptr), &info) || !info.hwndFocus)
        return "focus none";
    const std::string cls = className(info.hwndFocus);
    std::wstring text;
    const bool ok = cls == "SysTreeView32" ? treeSelection(info.hwndFocus, text) : windowText(info.hwndFocus, text);
    return ok ? "focus " + cls + " " + hexUtf8(text) : "focus none";
}

void readCommands(HWND hwnd) {
    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string arg = line.find(' ') == std::string::npos ? "" : line.substr(line.find(' ') + 1);
        if (line == "start") PostMessageA(hwnd, kStart, 0, 0);
        else if (line == "end") PostMessageA(hwnd, kEnd, 0, 0);
        else if (line == "state?") PostMessageA(hwnd, kState, 0, 0);
        else if (line == "threads")
            answer("threads " + std::to_string(GetCurrentProcessId()) + " " + std::to_string(g_mainThread) + " " +
                   std::to_string(GetCurrentThreadId()));
        else if (line == "quit") break;
        else if (line == "clock") {
            LARGE_INTEGER now, frequency;
            QueryPerformanceCounter(&now);
            QueryPerformanceFrequency(&frequency);
            answer("clock " + std::to_string(now.QuadPart) + " " + std::to_string(frequency.QuadPart));
        } else if (line == "fg") answer(foreground());
        else if (line.rfind("text ", 0) == 0) answer(editText(arg));
        else if (line == "focus") answer(focusText());

        else if (line.rfind("shown ", 0) == 0) {
            HWND w = nullptr;
            while ((w = FindWindowExA(nullptr, w, arg.c_str(), nullptr)) && !IsWindowVisible(w)) {
            }
            answer(std::string("shown ") + (w ? "1" : "0"));
        }
        else if (line.rfind("hung ", 0) == 0) {
            HWND w = FindWindowA(arg.c_str(), nullptr);
            answer(std::string("hung ") + (w && IsHungAppWindow(w) ? "1" : "0"));
        } else if (line.rfind("close ", 0) == 0) {
            HWND w = FindWindowA(arg.c_str(), nullptr);
            answer(std::string("close ") + (w && PostMessageA(w, WM_CLOSE, 0, 0) ? "1" : "0"));
        } else if (line.rfind("answers ", 0) == 0) {
            // Whether the thread of the window of that class (or else caption) answers a
            // message sent now, twice over: whatever kept it busy is over, and what was queued
            // for it before is handled.
            HWND w = FindWindowA(arg.c_str(), nullptr);
            if (!w) w = FindWindowA(nullptr, arg.c_str());
            DWORD_PTR result = 0;
            bool ok = w != nullptr;
            for (int i = 0; ok && i < 2; ++i)
                ok = SendMessageTimeoutA(w, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &result) != 0;
            answer(std::string("answers ") + (ok ? "1" : "0"));
        } else if (line.rfind("kill ", 0) == 0) {
            DWORD pid = 0;
            if (HWND w = FindWindowA(arg.c_str(), nullptr)) GetWindowThreadProcessId(w, &pid);
            HANDLE process = pid ? OpenProcess(PROCESS_TERMINATE, FALSE, pid) : nullptr;
            bool killed = process && TerminateProcess(process, 0);
            if (process) CloseHandle(process);
            answer(std::string("kill ") + (killed ? "1" : "0"));
        } else answer("error unknown command " + line);
    }
    PostMessageA(hwnd, kQuit, 0, 0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: keyhost FOLDER\\ [LISTFOLDER\\]\n");
        return 2;
    }
    g_folder = argv[1];
    if (!g_folder.empty() && g_folder.back() != '\\') g_folder += '\\';
    g_listFolder = argc == 3 ? argv[2] : g_folder;
    if (!g_listFolder.empty() && g_listFolder.back() != '\\') g_listFolder += '\\';
    g_stateMessage = RegisterWindowMessageA("ZarurarevidevHookState");
    g_mainThread = GetCurrentThreadId();
    WNDCLASSA wc{};
    wc.lpfnWndProc = hostWindow;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "OmbrixKeyHost";
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowExA(0, wc.lpszClassName, "Ombrix key host", WS_OVERLAPPED, 0, 0, 100, 100, nullptr,
                                nullptr, wc.hInstance, nullptr);
    HANDLE block = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4, "zarurarEvidev");
    auto* view = block ? static_cast<unsigned char*>(MapViewOfFile(block, FILE_MAP_WRITE, 0, 0, 4)) : nullptr;
    if (!hwnd || !view) {
        std::fprintf(stderr, "keyhost: no window or no shared block (%lu)\n", GetLastError());
        return 1;
    }
    auto handle = static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(hwnd));
    for (int i = 0; i < 4; ++i) view[i] = static_cast<unsigned char>(handle >> (8 * i));
    answer("ready");

    std::thread commands(readCommands, hwnd);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    commands.join();
    if (g_library) FreeLibrary(g_library);
    UnmapViewOfFile(view);
    CloseHandle(block);
    answer("quit");
    return 0;
}
