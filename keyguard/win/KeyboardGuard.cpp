// The hook thread. Everything the hook procedure touches belongs to this thread alone, and
// is made before the hook is set: the procedure allocates nothing, opens nothing, waits for
// nothing and writes no key anywhere.
#include "keyguard/win/KeyboardGuard.h"

#include "keyguard/core/KeyGate.h"

namespace keyguard {

namespace {

// A hook set later than ours is called before it. Setting ours again at this pace puts it
// back at the head of the chain, and brings it back if the system dropped it for a slow
// answer.
constexpr UINT kRefreshMs = 200;
// The hook thread's stack reservation: its deepest call is a layout's translation, and the
// process's default would reserve megabytes of address space for it. (Wine commits a thread's
// stack whole, and at least a megabyte of it, whatever is asked.)
constexpr SIZE_T kThreadStack = 64 * 1024;
// How long ending waits for the thread at most. (Starting waits for the thread's first
// steps, which wait for nothing.)
constexpr DWORD kThreadWaitMs = 10000;

// Thread message of the hook thread: mark a target's order (lParam: the window).
constexpr UINT kMarkOrder = WM_APP + 1;

// --- State of the hook thread ---------------------------------------------------------
HMODULE self = nullptr;  // this library, held by the thread while it runs
HHOOK hook = nullptr;
KeyGate gate;
HWND notifyWindow = nullptr;
DWORD sessionNumber = 0;
UINT hookStateMessage = 0;
bool reportedRunning = false;
bool capsLockOn = false;
bool capsLockHeld = false;
int marksPending = 0;  // order marks asked for and not yet made

void report(bool running) {
    reportedRunning = running;
    if (notifyWindow && hookStateMessage)
        PostMessageW(notifyWindow, hookStateMessage, running ? 1 : 0, static_cast<LPARAM>(sessionNumber));
}

// Input methods of the East Asian languages compose characters from several keys; their
// keys keep the ordinary path.
bool inputMethodLayout(HKL layout) {
    const auto value = reinterpret_cast<ULONG_PTR>(layout);
    if ((value & 0xF0000000u) == 0xE0000000u) return true;
    switch (PRIMARYLANGID(LOWORD(value))) {
    case LANG_CHINESE:
    case LANG_JAPANESE:
    case LANG_KOREAN:
        return true;
    default:
        return false;
    }
}

class SystemKeyboard final : public KeyEnvironment {
public:
    Modifiers modifiers() override {
        Modifiers m;
        m.shift = held(VK_SHIFT);
        m.ctrl = held(VK_CONTROL);
        m.alt = held(VK_MENU);
        m.win = held(VK_LWIN) || held(VK_RWIN);
        m.capsLock = capsLockOn;
        return m;
    }

    bool findTarget(Target& target) override {
        HWND foreground = GetForegroundWindow();
        if (!foreground) return false;
        const DWORD thread = GetWindowThreadProcessId(foreground, nullptr);
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        if (!thread || !GetGUIThreadInfo(thread, &info) || !info.hwndFocus) return false;
        target.window = info.hwndFocus;
        target.thread = thread;
        target.unicode = IsWindowUnicode(info.hwndFocus) != FALSE;
        constexpr DWORD loops = GUI_INMENUMODE | GUI_POPUPMENUMODE | GUI_SYSTEMMENUMODE | GUI_INMOVESIZE;
        target.ordinaryOnly = (info.flags & loops) != 0 || inputMethodLayout(GetKeyboardLayout(thread));
        target.answering = !IsHungAppWindow(foreground);
        return true;
    }

    int translate(const KeyEvent& e, const Modifiers& m, const Target& target, char16_t& ch) override {
        HKL layout = GetKeyboardLayout(target.thread);
        // A dead key is known without translating it: translating would consume the
        // layout's dead-key state on systems that ignore the flag below.
        if (MapVirtualKeyExW(e.vk, MAPVK_VK_TO_CHAR, layout) & 0x80000000u) return -1;
        BYTE state[256] = {};
        if (m.shift) state[VK_SHIFT] = 0x80;
        if (m.capsLock) state[VK_CAPITAL] = 0x01;
        WCHAR out[4] = {};
        // Flag 4: leave the keyboard state as it is.
        const int n = ToUnicodeEx(e.vk, e.scanCode, state, out, 4, 4, layout);
        if (n == 1) ch = static_cast<char16_t>(out[0]);
        return n;
    }

    bool post(const Target& target, const KeyEvent& e, char16_t ch, bool repeat) override {
        // As the system forms it: a repeat count of 1, the scan code, the extended flag and
        // whether the key was down before.
        const LPARAM data = 1 | static_cast<LPARAM>(e.scanCode & 0xFF) << 16 | (e.extended ? 1L << 24 : 0) |
                            (repeat ? 1L << 30 : 0);
        HWND window = static_cast<HWND>(target.window);
        if (target.unicode) return PostMessageW(window, WM_CHAR, ch, data) != FALSE;
        const WCHAR wide = ch;
        char narrow[4] = {};
        BOOL lossy = FALSE;
        const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &wide, 1, narrow, sizeof narrow, nullptr,
                                          &lossy);
        // A character the window's code page lacks, or one it needs two bytes for, is typed
        // the ordinary way.
        if (n != 1 || lossy) return false;
        return PostMessageA(window, WM_CHAR, static_cast<BYTE>(narrow[0]), data) != FALSE;
    }

    // A window paints only once its thread has read every message and key queued before
    // the paint was asked for. So a pixel of the target is made invalid, and while any of it
    // stays invalid, a key queued before may still be unread. The mark is made once the key
    // has left the hook, so that the key is queued before it.
    void markOrder(const Target& target) override {
        if (PostThreadMessageW(GetCurrentThreadId(), kMarkOrder, 0, reinterpret_cast<LPARAM>(target.window)))
            ++marksPending;
    }

    bool orderReached(const Target& target) override {
        return marksPending == 0 && !GetUpdateRect(static_cast<HWND>(target.window), nullptr, FALSE);
    }

private:
    static bool held(int vk) { return (GetAsyncKeyState(vk) & 0x8000) != 0; }
};

SystemKeyboard keyboard;

void makeOrderMark(HWND window) {
    const RECT pixel{0, 0, 1, 1};
    // No erasing: the window paints that pixel over itself.
    RedrawWindow(window, &pixel, nullptr, RDW_INVALIDATE | RDW_NOCHILDREN);
    --marksPending;
}

LRESULT CALLBACK lowLevelKeyboard(int code, WPARAM wp, LPARAM lp) {
    if (code == HC_ACTION) {
        const auto* k = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lp);
        KeyEvent e;
        e.vk = k->vkCode;
        e.scanCode = k->scanCode;
        e.up = (k->flags & LLKHF_UP) != 0;
        e.extended = (k->flags & LLKHF_EXTENDED) != 0;
        e.injected = (k->flags & (LLKHF_INJECTED | LLKHF_LOWER_IL_INJECTED)) != 0;
        e.altDown = (k->flags & LLKHF_ALTDOWN) != 0;
        if (e.vk == VK_CAPITAL) {
            if (!e.up && !capsLockHeld) capsLockOn = !capsLockOn;
            capsLockHeld = !e.up;
        }
        if (gate.handle(e, keyboard)) return 1;
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

HHOOK setHook() { return SetWindowsHookExW(WH_KEYBOARD_LL, lowLevelKeyboard, self, 0); }

void refresh() {
    if (HHOOK fresh = setHook()) {
        UnhookWindowsHookEx(hook);
        hook = fresh;
        if (!reportedRunning) report(true);
    } else if (reportedRunning) {
        // The old hook may still be in place, but nobody can tell: say what is known.
        report(false);
    }
}

struct StartRequest {
    HWND notify;
    DWORD session;
    HANDLE ready;
    bool running;
};

DWORD WINAPI hookThreadMain(LPVOID parameter) {
    // The thread holds the library for as long as it runs, so that nothing can unload the
    // code under it; it lets go as it ends.
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&hookThreadMain), &self);

    auto* request = static_cast<StartRequest*>(parameter);
    notifyWindow = request->notify;
    sessionNumber = request->session;
    hookStateMessage = RegisterWindowMessageW(kHookStateMessage);
    gate.reset();
    marksPending = 0;
    capsLockOn = (GetKeyState(VK_CAPITAL) & 1) != 0;
    capsLockHeld = false;

    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    MSG msg;
    PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // the thread's queue, for stop()
    hook = setHook();
    request->running = hook != nullptr;
    report(hook != nullptr);
    const UINT_PTR timer = hook ? SetTimer(nullptr, 0, kRefreshMs, nullptr) : 0;
    SetEvent(request->ready);  // `request` is the starter's, and gone after this

    if (hook) {
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (msg.hwnd == nullptr && msg.message == WM_TIMER) {
                refresh();
            } else if (msg.hwnd == nullptr && msg.message == kMarkOrder) {
                makeOrderMark(reinterpret_cast<HWND>(msg.lParam));
            } else {
                DispatchMessageW(&msg);
            }
        }
        KillTimer(nullptr, timer);
        UnhookWindowsHookEx(hook);
        hook = nullptr;
    }
    gate.reset();
    FreeLibraryAndExitThread(self, 0);
}

}  // namespace

bool KeyboardGuard::start(HWND notify, DWORD session) {
    if (thread_) return true;
    StartRequest request{notify, session, CreateEventW(nullptr, TRUE, FALSE, nullptr), false};
    if (!request.ready) return false;
    thread_ = CreateThread(nullptr, kThreadStack, hookThreadMain, &request, STACK_SIZE_PARAM_IS_A_RESERVATION,
                           &threadId_);
    if (!thread_) {
        CloseHandle(request.ready);
        return false;
    }
    HANDLE waits[2] = {request.ready, thread_};
    const DWORD woken = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    CloseHandle(request.ready);
    if (woken != WAIT_OBJECT_0 || !request.running) {
        // The thread ends by itself when it could not set the hook.
        stop();
        return false;
    }
    return true;
}

void KeyboardGuard::stop() {
    if (!thread_) return;
    PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    WaitForSingleObject(thread_, kThreadWaitMs);
    CloseHandle(thread_);
    thread_ = nullptr;
    threadId_ = 0;
}

}  // namespace keyguard
