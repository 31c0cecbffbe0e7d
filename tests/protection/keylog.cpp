// keylog.exe KIND OUTFILE: one harmless test logger, working the way commodity user-mode
// keyloggers do, so that the tests can see what a protection leaves them. It appends what it
// captures to OUTFILE (UTF-8, on disk at once), creates OUTFILE.ready once it is live, and
// stops when its standard input reaches its end or reads "quit".
//   ll       a WH_KEYBOARD_LL hook; key-downs translated with its own Shift and Caps Lock
//   ll-rehookN  the same hook, set again every N milliseconds (the new one first, then the old
//            one removed), so that it comes back to the head of the chain after any set later
//   async    GetAsyncKeyState polled every few milliseconds; keys that went down
//   state    GetKeyboardState polled, attached to the foreground thread's input; each time it
//            turns to another foreground thread, OUTFILE.attached says "THREAD 1|0" (attached
//            or not). Attaching resets that thread's key state (Windows documents it, Wine
//            does it too), so a key typed in that moment loses its Shift: the driver waits.
//   raw      raw keyboard input (RIDEV_INPUTSINK) on a hidden window
//   kbhook   a global WH_KEYBOARD hook in keylog_hook.dll, which writes from every process
//   msghook  a global WH_GETMESSAGE hook in the same library, which keeps WM_CHAR
#include "tests/protection/UsKeys.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>

namespace {

std::string g_out;
std::atomic<bool> g_running{true};

void capture(char c) {
    if (c) appendCapture(g_out.c_str(), std::string(1, c));
}

// Modifiers as a logger that only sees key events keeps them itself.
struct Modifiers {
    bool shift[2] = {};
    bool control = false;
    bool caps = false;
    // Returns the character of a key-down, after the modifiers' own keys are accounted for.
    char key(unsigned vk, bool isDown) {
        switch (vk) {
        case VK_SHIFT:
        case VK_LSHIFT: shift[0] = isDown; return 0;
        case VK_RSHIFT: shift[1] = isDown; return 0;
        case VK_CONTROL:
        case VK_LCONTROL:
        case VK_RCONTROL: control = isDown; return 0;
        case VK_CAPITAL:
            if (isDown) caps = !caps;
            return 0;
        default: break;
        }
        if (!isDown || control) return 0;
        return usCharacter(vk, shift[0] || shift[1], caps);
    }
};

Modifiers g_modifiers;

LRESULT CALLBACK lowLevelHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const auto* k = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        bool isDown = wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN;
        capture(g_modifiers.key(k->vkCode, isDown));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The keys a polling logger watches: all of them, as such loggers do.
void pollAsync() {
    bool was[256] = {};
    bool caps = false;
    while (g_running) {
        bool shift = GetAsyncKeyState(VK_SHIFT) < 0;
        bool control = GetAsyncKeyState(VK_CONTROL) < 0;
        for (unsigned vk = 8; vk < 256; ++vk) {
            bool now = GetAsyncKeyState(static_cast<int>(vk)) < 0;
            if (now && !was[vk]) {
                if (vk == VK_CAPITAL) caps = !caps;
                // Ctrl asked again as the key is seen: the answer at the start of the round
                // may be Wine's cached "up" from before a Ctrl+C began, and the C of a
                // shortcut is no typed character.
                if (!control && GetAsyncKeyState(VK_CONTROL) >= 0) capture(usCharacter(vk, shift, caps));
            }
            was[vk] = now;
        }
        Sleep(2);
    }
}

void pollState() {
    MSG m;
    PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE);  // a queue, so that input can be attached
    DWORD self = GetCurrentThreadId();
    DWORD attached = 0;
    std::string said;  // what OUTFILE.attached holds
    BYTE was[256] = {};
    while (g_running) {
        DWORD target = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
        if (target != attached) {
            if (attached) AttachThreadInput(self, attached, FALSE);
            attached = target && target != self && AttachThreadInput(self, target, TRUE) ? target : 0;
            std::string line = std::to_string(target) + (attached ? " 1" : " 0");
            if (line != said) {  // a refused attach is tried again each round, not written again
                if (std::FILE* f = std::fopen((g_out + ".attached").c_str(), "wb")) {
                    std::fputs(line.c_str(), f);
                    std::fclose(f);
                    said = line;
                }
            }
        }
        BYTE now[256];
        if (GetKeyboardState(now)) {
            bool shift = now[VK_SHIFT] & 0x80, control = now[VK_CONTROL] & 0x80, caps = now[VK_CAPITAL] & 1;
            for (unsigned vk = 8; vk < 256; ++vk)
                if ((now[vk] & 0x80) && !(was[vk] & 0x80) && !control) capture(usCharacter(vk, shift, caps));
            std::memcpy(was, now, sizeof was);
        }
        Sleep(2);
    }
    if (attached) AttachThreadInput(self, attached, FALSE);
}

LRESULT CALLBACK rawWindow(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INPUT) {
        RAWINPUT input;
        UINT size = sizeof input;
        if (GetRawInputData(reinterpret_cast<HRAWINPUT>(lParam), RID_INPUT, &input, &size, sizeof(RAWINPUTHEADER)) !=
                static_cast<UINT>(-1) &&
            input.header.dwType == RIM_TYPEKEYBOARD) {
            const RAWKEYBOARD& k = input.data.keyboard;
            capture(g_modifiers.key(k.VKey, !(k.Flags & RI_KEY_BREAK)));
        }
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

bool startRaw() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = rawWindow;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"OmbrixTestRawLogger";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                wc.hInstance, nullptr);
    RAWINPUTDEVICE device{1, 6, RIDEV_INPUTSINK, hwnd};
    return hwnd && RegisterRawInputDevices(&device, 1, sizeof device);
}

// The global hooks: the library learns the capture file through a named block.
HANDLE g_fileBlock = nullptr;

HHOOK startLibraryHook(int idHook, const char* procName, const char* block) {
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string library(exe);
    library.erase(library.find_last_of('\\') + 1);
    library += "keylog_hook.dll";
    HMODULE module = LoadLibraryA(library.c_str());
    auto proc = module ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(module, procName))) : nullptr;
    if (!proc) return nullptr;
    char full[MAX_PATH] = {};
    GetFullPathNameA(g_out.c_str(), MAX_PATH, full, nullptr);
    g_fileBlock = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kFileBlockSize, block);
    if (!g_fileBlock) return nullptr;
    if (auto* view = static_cast<char*>(MapViewOfFile(g_fileBlock, FILE_MAP_WRITE, 0, 0, kFileBlockSize))) {
        std::strncpy(view, full, kFileBlockSize - 1);
        UnmapViewOfFile(view);
    }
    return SetWindowsHookExA(idHook, proc, module, 0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: keylog ll|ll-rehookN|async|state|raw|kbhook|msghook OUTFILE\n");
        return 2;
    }
    std::string kind = argv[1];
    g_out = argv[2];
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    DWORD mainThread = GetCurrentThreadId();

    HHOOK hook = nullptr;
    std::thread poller;
    bool live = false;
    UINT rehookMs = 0;
    if (kind.rfind("ll-rehook", 0) == 0) rehookMs = static_cast<UINT>(std::atoi(kind.c_str() + 9));
    if (kind == "ll" || rehookMs) {
        live = (hook = SetWindowsHookExW(WH_KEYBOARD_LL, lowLevelHook, GetModuleHandleW(nullptr), 0)) != nullptr;
        if (rehookMs) live = live && SetTimer(nullptr, 0, rehookMs, nullptr) != 0;
    } else if (kind == "async") {
        poller = std::thread(pollAsync);
        live = true;
    } else if (kind == "state") {
        poller = std::thread(pollState);
        live = true;
    } else if (kind == "raw") {
        live = startRaw();
    } else if (kind == "kbhook") {
        live = (hook = startLibraryHook(WH_KEYBOARD, "KeyboardHook", kKeyboardHookFileBlock)) != nullptr;
    } else if (kind == "msghook") {
        live = (hook = startLibraryHook(WH_GETMESSAGE, "MessageHook", kMessageHookFileBlock)) != nullptr;
    } else {
        std::fprintf(stderr, "keylog: unknown kind %s\n", kind.c_str());
        return 2;
    }
    if (!live) {
        std::fprintf(stderr, "keylog %s: could not start (error %lu)\n", kind.c_str(), GetLastError());
        g_running = false;
        if (poller.joinable()) poller.join();
        return 1;
    }
    if (std::FILE* ready = std::fopen((g_out + ".ready").c_str(), "wb")) std::fclose(ready);

    std::thread input([mainThread] {
        std::string line;
        while (std::getline(std::cin, line) && line.rfind("quit", 0) != 0) {
        }
        PostThreadMessageW(mainThread, WM_QUIT, 0, 0);
    });
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (rehookMs && msg.hwnd == nullptr && msg.message == WM_TIMER) {
            if (HHOOK fresh = SetWindowsHookExW(WH_KEYBOARD_LL, lowLevelHook, GetModuleHandleW(nullptr), 0)) {
                UnhookWindowsHookEx(hook);
                hook = fresh;
            }
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    g_running = false;
    if (poller.joinable()) poller.join();
    if (hook) UnhookWindowsHookEx(hook);
    if (g_fileBlock) CloseHandle(g_fileBlock);
    input.join();
    return 0;
}
