// The hook thread. Everything the hook procedure touches belongs to this thread alone, and
// is made before the hook is set: the procedure allocates nothing, opens nothing but a
// process it has not met, waits for nothing and writes no key anywhere.
//
// Nothing another program posts can steer the thread: it has no window, takes no thread
// message of its own, and drops whatever is posted to it. It ends on an event only EndHook
// holds; its refresh and its order marks run on its own clock and its own list.
#include "keyguard/win/KeyboardGuard.h"

#include <array>
#include <cstring>

#include <psapi.h>
#include <cstdint>
#include <initializer_list>

#include "keyguard/core/KeyGate.h"
#include "keyguard/core/PassThrough.h"
#include "keyguard/win/PassListFile.h"

namespace keyguard {

namespace {

// A hook set later than ours is called before it. Setting ours again puts it back at the
// head of the chain, and brings it back if the system dropped it for a slow answer: at this
// pace while nobody types,
constexpr DWORD kIdleRefreshMs = 200;
// and at this pace for a while after each key, so that a logger that sets its hook again
// and again is seldom ahead of ours when a key comes.
constexpr DWORD kTypingRefreshMs = 4;
constexpr DWORD kTypingSpellMs = 2000;
// How often held keys are looked at while any wait.
constexpr DWORD kHoldPollMs = 4;
// How many posted messages one turn of the loop drops before it sees to its own work, so
// that a flood of them delays neither the refresh nor a held key.
constexpr int kDropPerTurn = 64;
// The hook thread's stack reservation: its deepest call is a layout's translation, and the
// process's default would reserve megabytes of address space for it. (Wine commits a thread's
// stack whole, and at least a megabyte of it, whatever is asked.)
constexpr SIZE_T kThreadStack = 64 * 1024;
// How long ending waits for the thread at most. (Starting waits for the thread's first
// steps, which wait for nothing.)
constexpr DWORD kThreadWaitMs = 10000;

#ifndef PROCESS_QUERY_LIMITED_INFORMATION
constexpr DWORD PROCESS_QUERY_LIMITED_INFORMATION = 0x1000;
#endif
// TOKEN_INFORMATION_CLASS's TokenIntegrityLevel, from Windows Vista on.
constexpr auto kTokenIntegrityLevel = static_cast<TOKEN_INFORMATION_CLASS>(25);

// --- State of the hook thread ---------------------------------------------------------
HMODULE self = nullptr;  // this library, held by the thread while it runs
HHOOK hook = nullptr;
KeyGate gate;
HWND notifyWindow = nullptr;
DWORD token = 0;
ULONG_PTR replayMark = 0;  // what the keys this thread sends again carry, to know them back
bool capsLockOn = false;
bool capsLockHeld = false;
// The modifier keys down, as the events that passed the hook say: the system's own answer
// (GetAsyncKeyState) may lag behind the events by tens of milliseconds (Wine keeps it in a
// cache), and a Ctrl seen down after its release makes a typed "a" a Ctrl+A.
std::array<bool, 256> modifierDown{};

bool down(std::initializer_list<int> keys) {
    for (int vk : keys)
        if (modifierDown[vk]) return true;
    return false;
}
std::uint64_t lastKeyAt = 0;
// Order marks the gate asked for during a hook call, made once the call has returned.
std::array<HWND, 8> marks{};
std::size_t markCount = 0;

// The second sign that a target has read its input: a marker key sent behind the keys that
// passed, which no keyboard has and no program means anything by. Keys are read in the
// order they were queued, so once the target has read the marker, it has read every key
// queued before it. A keyboard hook of this library on the target's thread sees the marker
// as the thread reads it, counts it and swallows it, so that the window never sees it. This
// sign comes as soon as the input is read, whereas a paint waits until nothing else is
// queued, and some windows never paint or never stop.
constexpr WORD kMarkerKey = 0xE8;  // unassigned
// Markers read, counted by thread in every process the target hook runs in (a section of
// this library shared by all its copies): the hook thread gives a thread its slot before it
// sends it a marker. Another program can move a count by sending the marker key itself; the
// most that does is let a held character go before a key its window is still behind on.
struct MarkerCount {
    volatile LONG thread;
    volatile LONG read;
};
constexpr int kMarkerSlots = 16;
MarkerCount markerCounts[kMarkerSlots] __attribute__((section(".shared"), shared)) = {};

volatile LONG* markerSlot(DWORD thread) {
    for (MarkerCount& slot : markerCounts)
        if (static_cast<DWORD>(slot.thread) == thread) return &slot.read;
    return nullptr;
}
// The markers sent to the thread keys wait for. They are read in the order sent, so the
// count read tells which: the one sent after the last key that passed covers that key. While
// keys wait, a marker goes every kMarkerPaceMs, so that a window that is far behind but
// reading shows it is, and its keys wait for it rather than time out.
struct MarkerProbe {
    DWORD thread = 0;
    LONG base = 0;          // its count read when the first marker went to it
    LONG sent = 0;          // markers sent to it since
    LONG cover = 0;         // the marker that covers the last key passed; 0 when none went yet
    bool keyPassed = false; // a key passed since the last marker went
    std::uint64_t lastSent = 0;
    LONG lastRead = 0;
    std::uint64_t lastProgress = 0;  // when the count read last moved
};
MarkerProbe probe;
DWORD probeWanted = 0;  // the thread a marker is wanted for, sent once the hook call returns
constexpr std::uint64_t kMarkerPaceMs = 250;
HHOOK targetHook = nullptr;  // on the thread markers were last sent to
DWORD targetHookThread = 0;
// The last thread no hook could be set on (a process that refuses libraries), and how long
// its keys wait at most.
DWORD unhookableThread = 0;
constexpr std::uint64_t kUnhookableWaitMs = 750;

// A millisecond clock that does not wrap within any run.
std::uint64_t milliseconds() {
    static DWORD last = 0;
    static std::uint64_t high = 0;
    const DWORD now = GetTickCount();
    if (now < last) high += 0x100000000ull;
    last = now;
    return high | now;
}

// A number no other program can guess; never 0.
DWORD randomNumber() {
    DWORD value = 0;
    using GenRandom = BOOLEAN(WINAPI*)(void*, ULONG);
    if (HMODULE advapi = LoadLibraryW(L"advapi32.dll")) {
        if (auto gen = reinterpret_cast<GenRandom>(
                reinterpret_cast<void*>(GetProcAddress(advapi, "SystemFunction036"))))
            gen(&value, sizeof value);
        FreeLibrary(advapi);
    }
    if (value == 0) {
        LARGE_INTEGER counter;
        QueryPerformanceCounter(&counter);
        value = counter.LowPart ^ (GetCurrentProcessId() << 16) ^ GetCurrentThreadId() ^ GetTickCount();
    }
    return value ? value : 1;
}

void postReport(HWND window, bool running, DWORD session) {
    if (!window) return;
    static const UINT message = RegisterWindowMessageW(kHookStateMessage);
    if (message) PostMessageW(window, message, running ? 1 : 0, static_cast<LPARAM>(session));
}

bool reportedRunning = false;

void report(bool running) {
    reportedRunning = running;
    postReport(notifyWindow, running, token);
}

// The integrity level of a process (its token's mandatory label); 0 when the system has no
// such levels, and ~0u when the process cannot be looked into, which only a process of
// higher rights refuses to its own user.
DWORD integrityLevel(HANDLE process) {
    HANDLE tokenHandle = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &tokenHandle)) return ~0u;
    DWORD level = 0;
    union {
        TOKEN_MANDATORY_LABEL label;
        BYTE bytes[64];
    } info{};
    DWORD size = 0;
    if (GetTokenInformation(tokenHandle, kTokenIntegrityLevel, &info, sizeof info, &size)) {
        PSID sid = info.label.Label.Sid;
        if (IsValidSid(sid) && *GetSidSubAuthorityCount(sid) > 0)
            level = *GetSidSubAuthority(sid, *GetSidSubAuthorityCount(sid) - 1);
    }
    CloseHandle(tokenHandle);
    return level;
}

DWORD ownLevel = 0;

// The pass-through list, "pl.txt" in the folder StartHook names, read again whenever
// something in that folder changes.
PassList passList;
unsigned passListGeneration = 0;
PassListFile passListFile;

bool sameProgram(std::string_view listed, std::string_view name) {
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, listed.data(), static_cast<int>(listed.size()),
                          name.data(), static_cast<int>(name.size())) == CSTR_EQUAL;
}

void readPassList() {
    ++passListGeneration;
    passListFile.readInto(passList);
}

void takePassListChange() {
    ++passListGeneration;
    passListFile.takeChange(passList);
}

// Whether the keys for a window of this process take the ordinary path whatever the key:
// - it runs with higher rights than this one: a character posted to its windows may be
//   dropped by the system while the post reports success;
// - the user listed its program in the pass-through list.
// Decided before anything is swallowed, and kept for the foreground window it was asked for
// (a process id alone may be a new process's by now) until the list changes.
bool ordinaryProcess(HWND foreground, DWORD pid) {
    static HWND cachedWindow = nullptr;
    static DWORD cachedPid = 0;
    static unsigned cachedGeneration = 0;
    static bool cachedOrdinary = false;
    if (foreground == cachedWindow && pid == cachedPid && cachedGeneration == passListGeneration)
        return cachedOrdinary;
    bool ordinary = false;
    if (pid != GetCurrentProcessId()) {
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
        if (!process) process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
        ordinary = !process || integrityLevel(process) > ownLevel;
        char path[MAX_PATH * 2];
        DWORD size = 0;
        if (!ordinary && passList.size() != 0) size = GetProcessImageFileNameA(process, path, sizeof path);
        if (size != 0) {
            // A path in the system's device form; the file name is all that counts.
            std::string_view name(path, size);
            const std::size_t slash = name.find_last_of("\\/");
            if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
            ordinary = passList.contains(name, sameProgram);
        }
        if (process) CloseHandle(process);
    }
    cachedWindow = foreground;
    cachedPid = pid;
    cachedGeneration = passListGeneration;
    cachedOrdinary = ordinary;
    return ordinary;
}

// Whether a window takes a posted character as typed input: a console reads key presses
// alone, and a character handed to it would be lost.
bool takesCharacters(HWND window) {
    char name[64];
    const int n = GetClassNameA(window, name, sizeof name);
    return n <= 0 || !readsKeyPressesOnly(std::string_view(name, static_cast<std::size_t>(n)));
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
        m.shift = down({VK_SHIFT, VK_LSHIFT, VK_RSHIFT});
        m.ctrl = down({VK_CONTROL, VK_LCONTROL, VK_RCONTROL});
        m.alt = down({VK_MENU, VK_LMENU, VK_RMENU});
        m.win = down({VK_LWIN, VK_RWIN});
        m.capsLock = capsLockOn;
        return m;
    }

    bool findTarget(Target& target) override {
        HWND foreground = GetForegroundWindow();
        if (!foreground) return false;
        DWORD pid = 0;
        const DWORD thread = GetWindowThreadProcessId(foreground, &pid);
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        if (!thread || !GetGUIThreadInfo(thread, &info) || !info.hwndFocus) return false;
        target.window = info.hwndFocus;
        target.thread = thread;
        target.unicode = IsWindowUnicode(info.hwndFocus) != FALSE;
        constexpr DWORD loops = GUI_INMENUMODE | GUI_POPUPMENUMODE | GUI_SYSTEMMENUMODE | GUI_INMOVESIZE;
        target.ordinaryOnly = (info.flags & loops) != 0 || inputMethodLayout(GetKeyboardLayout(thread)) ||
                              ordinaryProcess(foreground, pid) || !takesCharacters(info.hwndFocus) ||
                              !takesCharacters(foreground);
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

    bool replay(const KeyEvent& e, bool release) override {
        INPUT inputs[2] = {};
        UINT n = 0;
        for (bool up : {e.up, true}) {
            if (n == 1 && !release) break;
            INPUT& in = inputs[n++];
            in.type = INPUT_KEYBOARD;
            in.ki.wVk = static_cast<WORD>(e.vk);
            in.ki.wScan = static_cast<WORD>(e.scanCode);
            in.ki.dwFlags = (e.extended ? KEYEVENTF_EXTENDEDKEY : 0) | (up ? KEYEVENTF_KEYUP : 0);
            in.ki.dwExtraInfo = replayMark;
        }
        return SendInput(n, inputs, sizeof(INPUT)) == n;
    }

    // A window paints only once its thread has read every message and key queued before
    // the paint was asked for. So a pixel of the target is made invalid, and while any of it
    // stays invalid, a key queued before may still be unread. The mark is made once the key
    // has left the hook, so that the key is queued before it. A marker (above) is the other
    // sign, asked for only when a key waits.
    void markOrder(const Target& target) override {
        probe.keyPassed = true;
        HWND window = static_cast<HWND>(target.window);
        for (std::size_t i = 0; i < markCount; ++i)
            if (marks[i] == window) return;
        if (markCount == marks.size()) --markCount;  // the oldest ones stand for it
        marks[markCount++] = window;
    }

    bool orderReached(const Target& target) override {
        if (markCount == 0 && !GetUpdateRect(static_cast<HWND>(target.window), nullptr, FALSE)) return true;
        if (target.thread == unhookableThread) return false;
        probeWanted = target.thread;
        if (probe.thread != target.thread || probe.keyPassed || probe.cover == 0) return false;
        volatile LONG* slot = markerSlot(target.thread);
        if (!slot) return false;
        const LONG read = *slot - probe.base;
        if (read != probe.lastRead) {
            probe.lastRead = read;
            probe.lastProgress = milliseconds();
        }
        return read >= probe.cover;
    }

    // The target reads, however far behind: its keys wait from its last sign on.
    std::uint64_t lastProgress(const Target& target) override {
        return target.thread == probe.thread ? probe.lastProgress : 0;
    }

    // No marker can be read on a thread no hook could be set on: its paint tells, or a
    // short while.
    std::uint64_t patience(const Target& target) override {
        return target.thread == unhookableThread ? kUnhookableWaitMs : KeyGate::kHoldLimitMs;
    }

    std::uint64_t now() override { return milliseconds(); }
};

SystemKeyboard keyboard;

// In the target's thread, as it reads a key.
LRESULT CALLBACK targetKeyboard(int code, WPARAM wp, LPARAM lp) {
    if (code == HC_ACTION && wp == kMarkerKey) {
        if (!(lp & 0x80000000))
            if (volatile LONG* read = markerSlot(GetCurrentThreadId())) InterlockedIncrement(read);
        return 1;
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

// Sends the marker a waiting key asked for, behind every key the hook has let pass.
void sendMarker() {
    const std::uint64_t now = milliseconds();
    const DWORD thread = probeWanted;
    probeWanted = 0;
    if (!thread) return;
    // A marker is due when none covers the last key passed, or while keys wait, at a pace.
    if (thread == probe.thread && !probe.keyPassed && probe.cover != 0 && now - probe.lastSent < kMarkerPaceMs)
        return;
    if (targetHookThread != thread) {
        if (targetHook) UnhookWindowsHookEx(targetHook);
        targetHook = SetWindowsHookExW(WH_KEYBOARD, targetKeyboard, self, thread);
        targetHookThread = targetHook ? thread : 0;
    }
    if (!targetHook) {
        unhookableThread = thread;
        return;
    }
    if (probe.thread != thread) {
        // This copy's slots, taken in turn; one for the thread, which counts from here.
        static int next = 0;
        volatile LONG* slot = markerSlot(thread);
        if (!slot) {
            MarkerCount& taken = markerCounts[next++ % kMarkerSlots];
            InterlockedExchange(&taken.thread, static_cast<LONG>(thread));
            slot = &taken.read;
        }
        probe = {};
        probe.thread = thread;
        probe.base = *slot;
        probe.lastProgress = now;
    }
    INPUT inputs[2] = {};
    for (INPUT& in : inputs) {
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = kMarkerKey;
        in.ki.dwExtraInfo = replayMark;
    }
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    if (SendInput(2, inputs, sizeof(INPUT)) != 2) return;
    ++probe.sent;
    probe.lastSent = now;
    if (probe.keyPassed || probe.cover == 0) {
        probe.cover = probe.sent;
        probe.keyPassed = false;
    }
}

void makeOrderMarks() {
    const RECT pixel{0, 0, 1, 1};
    // No erasing: the window paints that pixel over itself.
    for (std::size_t i = 0; i < markCount; ++i) RedrawWindow(marks[i], &pixel, nullptr, RDW_INVALIDATE | RDW_NOCHILDREN);
    markCount = 0;
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
        e.replayed = e.injected && k->dwExtraInfo == replayMark;
        // The library's own marker is nobody's key.
        if (e.replayed && e.vk == kMarkerKey) return CallNextHookEx(nullptr, code, wp, lp);
        if (e.vk == VK_CAPITAL) {
            if (!e.up && !capsLockHeld) capsLockOn = !capsLockOn;
            capsLockHeld = !e.up;
        }
        // The user's modifiers, not the ones this library sends around a key it sends again:
        // a key typed meanwhile is not a shortcut.
        if (isModifierKey(e.vk) && !e.replayed) modifierDown[e.vk] = !e.up;
        if (!e.injected) lastKeyAt = milliseconds();
        if (gate.handle(e, keyboard)) return 1;
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

HHOOK setHook() { return SetWindowsHookExW(WH_KEYBOARD_LL, lowLevelKeyboard, self, 0); }

// Answers the calls the system has already queued for this thread's hooks, and nothing else.
void answerHookCalls() {
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

void refresh() {
    if (HHOOK fresh = setHook()) {
        // A key the system handed to the old hook before the fresh one was set waits in this
        // thread's queue as a call to the old hook; removed first, that key would pass
        // unseen (a missed Shift makes the next capital small). Every key from here on goes
        // to the fresh hook, so once the queue is answered the old one has nothing left.
        answerHookCalls();
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
    DWORD token;
    HANDLE stop;
    HANDLE ready;
    const char* folder;  // with its trailing backslash; empty when not known
    bool running;
};

DWORD WINAPI hookThreadMain(LPVOID parameter) {
    // The thread holds the library for as long as it runs, so that nothing can unload the
    // code under it; it lets go as it ends.
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&hookThreadMain), &self);

    auto* request = static_cast<StartRequest*>(parameter);
    notifyWindow = request->notify;
    token = request->token;
    HANDLE stop = request->stop;
    passListFile.watch(request->folder);  // unwatched, the list is read again at idle refreshes
    readPassList();
    replayMark = randomNumber();
    ownLevel = integrityLevel(GetCurrentProcess());
    // Keys a thread that was lost held are delivered as they were.
    gate.release(keyboard, true);
    gate.reset();
    markCount = 0;
    probe = {};
    probeWanted = 0;
    unhookableThread = 0;
    targetHook = nullptr;  // a lost thread's hooks went with it
    targetHookThread = 0;
    capsLockOn = (GetKeyState(VK_CAPITAL) & 1) != 0;
    capsLockHeld = false;
    for (int vk : {VK_LSHIFT, VK_RSHIFT, VK_LCONTROL, VK_RCONTROL, VK_LMENU, VK_RMENU, VK_LWIN, VK_RWIN})
        modifierDown[vk] = (GetAsyncKeyState(vk) & 0x8000) != 0;
    for (int vk : {VK_SHIFT, VK_CONTROL, VK_MENU}) modifierDown[vk] = false;
    lastKeyAt = 0;

    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    MSG msg;
    PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // the thread's queue
    hook = setHook();
    request->running = hook != nullptr;
    report(hook != nullptr);
    SetEvent(request->ready);  // `request` is the starter's, and gone after this

    std::uint64_t nextRefresh = milliseconds() + kIdleRefreshMs;
    while (hook) {
        std::uint64_t now = milliseconds();
        DWORD wait = nextRefresh > now ? static_cast<DWORD>(nextRefresh - now) : 0;
        if (gate.holding() && wait > kHoldPollMs) wait = kHoldPollMs;
        HANDLE waits[2] = {stop, passListFile.changes()};
        const DWORD watched = waits[1] != INVALID_HANDLE_VALUE ? 2 : 1;
        const DWORD woken = MsgWaitForMultipleObjectsEx(watched, waits, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woken == WAIT_OBJECT_0) break;
        if (woken == WAIT_OBJECT_0 + 1) takePassListChange();
        // The hook's calls come as sent messages and are answered inside PeekMessage. What is
        // posted here is another program's doing: dropped.
        for (int n = 0; n < kDropPerTurn && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++n) {
        }
        makeOrderMarks();
        gate.release(keyboard);
        sendMarker();
        now = milliseconds();
        const bool typing = lastKeyAt != 0 && now - lastKeyAt < kTypingSpellMs;
        if (now >= nextRefresh) {
            refresh();
            if (passListFile.changes() == INVALID_HANDLE_VALUE && !typing) readPassList();
            nextRefresh = now + (typing ? kTypingRefreshMs : kIdleRefreshMs);
        } else if (typing && nextRefresh > now + kTypingRefreshMs) {
            nextRefresh = now + kTypingRefreshMs;
        }
    }
    if (hook) UnhookWindowsHookEx(hook);
    hook = nullptr;
    if (targetHook) UnhookWindowsHookEx(targetHook);
    targetHook = nullptr;
    targetHookThread = 0;
    passListFile.close();
    // Nothing held is lost: it goes to its window as the hook ends.
    gate.release(keyboard, true);
    makeOrderMarks();
    gate.reset();
    FreeLibraryAndExitThread(self, 0);
}

}  // namespace

DWORD KeyboardGuard::start(HWND notify, const char* folder) {
    if (thread_) return token_;
    notify_ = notify;
    folder_[0] = 0;
    if (folder) {
        const std::size_t n = strnlen(folder, sizeof folder_ - 1);
        memcpy(folder_, folder, n);
        folder_[n] = 0;
    }
    token_ = randomNumber();
    stopEvent_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (stopEvent_ && launch())
        watcher_ = CreateThread(nullptr, kThreadStack, watcherMain, this, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!watcher_) {
        // The thread ends by itself when it could not set the hook.
        stop();
        return 0;
    }
    return token_;
}

bool KeyboardGuard::launch() {
    StartRequest request{notify_, token_, stopEvent_, CreateEventW(nullptr, TRUE, FALSE, nullptr), folder_, false};
    if (!request.ready) return false;
    thread_ = CreateThread(nullptr, kThreadStack, hookThreadMain, &request, STACK_SIZE_PARAM_IS_A_RESERVATION,
                           nullptr);
    if (!thread_) {
        CloseHandle(request.ready);
        return false;
    }
    HANDLE waits[2] = {request.ready, thread_};
    const DWORD woken = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    CloseHandle(request.ready);
    return woken == WAIT_OBJECT_0 && request.running;
}

// The hook thread ends only when stop() asks. Any other end (another program killed it) is a
// loss: said at once, and the thread set up again, which says so in turn; while it cannot
// be, it is tried again every second. The watcher waits for nothing else: no wake-up.
DWORD WINAPI KeyboardGuard::watcherMain(void* parameter) {
    auto* guard = static_cast<KeyboardGuard*>(parameter);
    for (;;) {
        HANDLE waits[2] = {guard->stopEvent_, guard->thread_};
        const DWORD count = guard->thread_ ? 2 : 1;
        const DWORD woken = WaitForMultipleObjects(count, waits, FALSE, guard->thread_ ? INFINITE : 1000);
        if (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED) return 0;
        if (guard->thread_) {
            postReport(guard->notify_, false, guard->token_);
            CloseHandle(guard->thread_);
            guard->thread_ = nullptr;
        }
        if (!guard->launch() && guard->thread_) {
            // Could not set its hook: it ends by itself.
            WaitForSingleObject(guard->thread_, kThreadWaitMs);
            CloseHandle(guard->thread_);
            guard->thread_ = nullptr;
        }
    }
}

void KeyboardGuard::stop() {
    if (stopEvent_) SetEvent(stopEvent_);
    // The watcher first, so that nothing sets the hook thread up again; then the thread.
    for (HANDLE* thread : {&watcher_, &thread_}) {
        if (!*thread) continue;
        WaitForSingleObject(*thread, kThreadWaitMs);
        CloseHandle(*thread);
        *thread = nullptr;
    }
    if (stopEvent_) CloseHandle(stopEvent_);
    stopEvent_ = nullptr;
    token_ = 0;
}

}  // namespace keyguard
