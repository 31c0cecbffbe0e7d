// The keyboard-encryption binding driven from outside: the recording stand-in beside the
// program writes every call it gets to "hookcalls.txt", with the window it finds in the
// shared block, so the calling pattern is checked from the library's side.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/Form1.h"
#include "tests/support/ProcessFigures.h"
#include "tests/win/ProgramUnderTest.h"
#include "tests/win/TrayTips.h"

using testing_support::ProcessFigures;
using testing_support::ProgramUnderTest;
using testing_support::trayTips;

namespace {

constexpr UINT kToggleCommand = app::OpenKeyloggerEncryption1;
constexpr const char* kLibrary = "zarurarevidev.dll";
constexpr const char* kCalls = "hookcalls.txt";

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out.push_back(line);
    }
    return out;
}

// The calls recorded so far, without the library's load and unload lines.
std::vector<std::string> hookCalls(const ProgramUnderTest& program) {
    std::vector<std::string> calls;
    for (const std::string& line : lines(program.readFile(kCalls)))
        if (line != "load" && line != "unload") calls.push_back(line);
    return calls;
}

bool waitForCalls(const ProgramUnderTest& program, size_t count) {
    return ProgramUnderTest::waitUntil([&] { return hookCalls(program).size() >= count; }, 15000);
}

constexpr const char* kTipRunning = "Ombrix - Keyboard Encryption Protection Running ...";
constexpr const char* kTipClosing = "Ombrix - Keyboard Encryption Protection Closing ...";
constexpr const char* kTipNotRunning = "Ombrix - Keyboard Encryption Protection not running ...";
constexpr const char* kTipUnavailable = "Ombrix - Keyboard Encryption not available (zarurarevidev.dll not loaded)";
constexpr const char* kTipSetupFailed = "Ombrix - Keyboard Encryption not available (zarurarevidev.dll could not be set up)";

// Waits until the program's tray icon shows `tip`; the tips shown when it did not.
std::string waitForTip(const std::string& tip) {
    std::string seen;
    if (ProgramUnderTest::waitUntil([&] {
            seen.clear();
            for (const std::string& t : trayTips()) {
                if (t == tip) return true;
                seen += "[" + t + "]";
            }
            return false;
        }))
        return tip;
    return seen.empty() ? "<no tray tip>" : seen;
}

std::string handleText(HWND w) { return std::to_string(reinterpret_cast<uintptr_t>(w)); }

void useLibrary(const ProgramUnderTest& program, const char* variant) {
    ASSERT_TRUE(CopyFileA(variant, program.path(kLibrary).c_str(), FALSE));
}

// Ctrl+E pressed and released for real, as the desktop sees it.
void pressCtrlE() {
    INPUT in[4]{};
    for (INPUT& i : in) i.type = INPUT_KEYBOARD;
    in[0].ki.wVk = VK_CONTROL;
    in[1].ki.wVk = 'E';
    in[2].ki.wVk = 'E';
    in[2].ki.dwFlags = KEYEVENTF_KEYUP;
    in[3].ki.wVk = VK_CONTROL;
    in[3].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(4, in, sizeof(INPUT));
}

// Starts the program beside the recording stand-in with encryption on or off in its
// settings; returns its window once the first showing is over (with encryption on, once the
// hook has started), or null.
HWND startRecorded(ProgramUnderTest& program, bool enabledEnc) {
    program.writeSwitches({.enabledEnc = enabledEnc});
    program.start();
    HWND w = program.waitForMainWindow();
    if (!w) return nullptr;
    bool ready = enabledEnc ? waitForCalls(program, 1)
                            : ProgramUnderTest::waitUntil([&] { return IsWindowVisible(w) != FALSE; });
    return ready ? w : nullptr;
}

void exitProgram(ProgramUnderTest& program, HWND w) { EXPECT_EQ(program.exitByMenu(w), 0u); }

std::set<DWORD> threadIds(DWORD pid) {
    std::set<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == pid) ids.insert(entry.th32ThreadID);
    CloseHandle(snapshot);
    return ids;
}

constexpr const char* kLogHookLost = "Keyboard encryption stopped: the protection library lost its hook";
constexpr const char* kLogHookBack = "Keyboard encryption running again: the protection library set its hook up again";

bool logHolds(const ProgramUnderTest& program, const char* line) {
    return ProgramUnderTest::waitUntil(
        [&] { return program.readFile("keyloggerstop.log").find(line) != std::string::npos; });
}

}  // namespace

TEST(HookBindingTest, CtrlEInTheTrayStopsAndStartsTheHookWithTheFolderAndSevenOnes) {
    ProgramUnderTest program;
    HWND w = startRecorded(program, true);
    ASSERT_TRUE(w);
    const std::string iniBefore = program.readFile("ombrix.ini");  // the program only reads it
    const std::string start = "StartHook|" + program.folder() + "|1|1|1|1|1|1|1|window=" + handleText(w);
    EXPECT_EQ(hookCalls(program)[0], start) << "the shared block holds the window before the first start";

    PostMessageA(w, WM_CLOSE, 0, 0);
    ASSERT_TRUE(ProgramUnderTest::waitUntil([&] { return !IsWindowVisible(w); }));
    pressCtrlE();
    ASSERT_TRUE(waitForCalls(program, 2));
    pressCtrlE();
    ASSERT_TRUE(waitForCalls(program, 3));
    EXPECT_EQ(hookCalls(program),
              (std::vector<std::string>{start, "EndHook|window=" + handleText(w), start}));
    EXPECT_EQ(program.readFile("ombrix.ini"), iniBefore) << "the toggle lives in memory only";
}

// The library as it ships: no box at start, its hook thread runs while encryption is on, and
// Ctrl+E sent by a program passes the hook and still reaches the hot key both ways.
TEST(HookBindingTest, TheShippedLibraryStartsWithoutABoxAndCtrlEStopsAndStartsItsHook) {
    ProgramUnderTest program;
    useLibrary(program, OMBRIX_PROGRAM_DIR "\\zarurarevidev.dll");
    program.writeSwitches({.enabledEnc = true});
    const DWORD pid = program.start().pid();
    HWND w = program.waitForMainWindow();
    ASSERT_TRUE(w);
    ASSERT_TRUE(ProgramUnderTest::waitUntilShown(w));
    EXPECT_EQ(program.messageBox(), nullptr) << "a box at start";
    EXPECT_EQ(waitForTip(kTipRunning), kTipRunning);
    const std::set<DWORD> running = threadIds(pid);
    pressCtrlE();
    std::set<DWORD> closed;
    ASSERT_TRUE(ProgramUnderTest::waitUntil([&] { return (closed = threadIds(pid)).size() == running.size() - 2; }))
        << "the hook thread did not end: " << threadIds(pid).size() << " threads of " << running.size();
    EXPECT_EQ(waitForTip(kTipClosing), kTipClosing);
    pressCtrlE();
    std::set<DWORD> again;
    ASSERT_TRUE(ProgramUnderTest::waitUntil([&] { return (again = threadIds(pid)).size() == running.size(); }))
        << "the hook thread did not start again";
    EXPECT_EQ(waitForTip(kTipRunning), kTipRunning);
    // The library's two threads: the hook thread, which runs at the highest priority, and
    // its watcher.
    DWORD hookThread = 0;
    for (DWORD id : again) {
        HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, id);
        if (!closed.count(id) && GetThreadPriority(thread) == THREAD_PRIORITY_HIGHEST) hookThread = id;
        CloseHandle(thread);
    }
    ASSERT_NE(hookThread, 0u);

    // Reports another program makes up (the old start numbers, either state) are not the
    // library's, and neither are the hook thread's own old codes sent from outside.
    const UINT state = RegisterWindowMessageA("ZarurarevidevHookState");
    for (LPARAM forged = 0; forged <= 20; ++forged)
        for (WPARAM running : {0, 1}) PostMessageA(w, state, running, forged);
    for (UINT code : {UINT{WM_TIMER}, UINT{WM_APP + 1}, UINT{WM_QUIT}}) PostThreadMessageA(hookThread, code, 0, 0);
    ASSERT_TRUE(ProgramUnderTest::settled(w));
    EXPECT_EQ(waitForTip(kTipRunning), kTipRunning);

    // A hook thread lost (here killed) is said at once, in the tray and the log, and set
    // up again, which is said too.
    HANDLE thread = OpenThread(THREAD_TERMINATE, FALSE, hookThread);
    ASSERT_TRUE(thread && TerminateThread(thread, 0));
    CloseHandle(thread);
    EXPECT_TRUE(logHolds(program, kLogHookLost)) << program.readFile("keyloggerstop.log");
    EXPECT_TRUE(logHolds(program, kLogHookBack)) << program.readFile("keyloggerstop.log");
    EXPECT_EQ(waitForTip(kTipRunning), kTipRunning);
    EXPECT_FALSE(threadIds(pid).count(hookThread));
    EXPECT_EQ(threadIds(pid).size(), running.size()) << "one hook thread and its watcher again";
    exitProgram(program, w);
    EXPECT_FALSE(program.exists(kCalls));
}

// A library that says its hook could not be set: the tray never says "Running", through a
// stop and a new start, and the hook is still started and ended as the switch says.
TEST(HookBindingTest, AHookTheLibraryReportsDownIsShownAsNotRunning) {
    ProgramUnderTest program;
    program.writeFile("hookdown.txt", "");
    HWND w = startRecorded(program, true);
    ASSERT_TRUE(w);
    EXPECT_EQ(waitForTip(kTipNotRunning), kTipNotRunning);
    EXPECT_TRUE(logHolds(program, kLogHookLost)) << program.readFile("keyloggerstop.log");
    PostMessageA(w, WM_HOTKEY, GlobalFindAtomA("Hotkey"), MAKELPARAM(MOD_CONTROL, 'E'));
    ASSERT_TRUE(waitForCalls(program, 2));
    EXPECT_EQ(waitForTip(kTipClosing), kTipClosing);
    PostMessageA(w, WM_HOTKEY, GlobalFindAtomA("Hotkey"), MAKELPARAM(MOD_CONTROL, 'E'));
    ASSERT_TRUE(waitForCalls(program, 3));
    EXPECT_EQ(waitForTip(kTipNotRunning), kTipNotRunning);
    exitProgram(program, w);
}

TEST(HookBindingTest, ShowingTheWindowFromTheTrayDoesNotStartTheHookAgain) {
    ProgramUnderTest program;
    HWND w = startRecorded(program, true);
    ASSERT_TRUE(w);
    PostMessageA(w, WM_CLOSE, 0, 0);
    ASSERT_TRUE(ProgramUnderTest::waitUntil([&] { return !IsWindowVisible(w); }));
    // A second copy brings the window back; then the toggle is the next thing recorded.
    program.start();
    ASSERT_TRUE(ProgramUnderTest::waitUntil([&] { return IsWindowVisible(w) != FALSE; }));
    ASSERT_TRUE(program.chooseFromTrayMenu(kToggleCommand));
    ASSERT_TRUE(waitForCalls(program, 2));
    EXPECT_EQ(hookCalls(program)[1].rfind("EndHook|", 0), 0u) << hookCalls(program)[1];
}

// From encryption off, a toggle would show at once as a start: the hot key posted with
// another identifier (and the right keys) calls nothing, and the menu toggle after it is the
// one start, ended at exit.
TEST(HookBindingTest, AHotKeyWithAnotherIdentifierChangesNothing) {
    ProgramUnderTest program;
    HWND w = startRecorded(program, false);
    ASSERT_TRUE(w);
    PostMessageA(w, WM_HOTKEY, 0x1234, MAKELPARAM(MOD_CONTROL, 'E'));
    ASSERT_TRUE(ProgramUnderTest::settled(w));
    EXPECT_EQ(hookCalls(program), std::vector<std::string>{}) << "the other identifier toggled";
    ASSERT_TRUE(program.chooseFromTrayMenu(kToggleCommand));
    ASSERT_TRUE(waitForCalls(program, 1));
    exitProgram(program, w);
    const std::string window = "window=" + handleText(w);
    EXPECT_EQ(hookCalls(program), (std::vector<std::string>{"StartHook|" + program.folder() + "|1|1|1|1|1|1|1|" + window,
                                                            "EndHook|" + window}));
}

TEST(HookBindingTest, ExitWithEncryptionOnEndsTheHookOnceBeforeTheLibraryIsFreed) {
    ProgramUnderTest program;
    HWND w = startRecorded(program, true);
    ASSERT_TRUE(w);
    exitProgram(program, w);
    const std::vector<std::string> all = lines(program.readFile(kCalls));
    ASSERT_EQ(all.size(), 4u) << program.readFile(kCalls);
    EXPECT_EQ(all[0], "load");
    EXPECT_EQ(all[1].rfind("StartHook|", 0), 0u);
    EXPECT_EQ(all[2].rfind("EndHook|", 0), 0u);
    EXPECT_EQ(all[3], "unload");
}

TEST(HookBindingTest, ExitWithEncryptionOffCallsNeitherExport) {
    ProgramUnderTest program;
    HWND w = startRecorded(program, false);
    ASSERT_TRUE(w);
    exitProgram(program, w);
    EXPECT_EQ(lines(program.readFile(kCalls)), (std::vector<std::string>{"load", "unload"}));
}

TEST(HookBindingTest, RestartWithEncryptionOnInTheFileStartsTheHookAgain) {
    ProgramUnderTest program;
    HWND w = startRecorded(program, true);
    ASSERT_TRUE(w);
    ASSERT_TRUE(program.chooseFromTrayMenu(kToggleCommand));
    ASSERT_TRUE(waitForCalls(program, 2));
    exitProgram(program, w);
    program.start();
    ASSERT_TRUE(program.waitForMainWindow());
    ASSERT_TRUE(waitForCalls(program, 3));
    EXPECT_EQ(hookCalls(program)[2].rfind("StartHook|", 0), 0u);
}

// A thousand presses of the hot key over a long run: each is one call to the library, and
// the program's handles, GDI and USER objects stay where they were after the first hundred.
TEST(HookBindingTest, AThousandHotKeyTogglesAreOneCallEachAndLeaveNothingBehind) {
    ProgramUnderTest program;
    HWND w = startRecorded(program, true);
    ASSERT_TRUE(w);
    const ATOM hotKey = GlobalFindAtomA("Hotkey");
    ASSERT_NE(hotKey, 0);
    const DWORD pid = program.process().pid();
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    ASSERT_TRUE(process);
    ProcessFigures warm;
    size_t toggles = 0;
    for (int batch = 0; batch < 10; ++batch) {
        for (int i = 0; i < 100; ++i, ++toggles) PostMessageA(w, WM_HOTKEY, hotKey, MAKELPARAM(MOD_CONTROL, 'E'));
        ASSERT_TRUE(waitForCalls(program, 1 + toggles)) << "after " << toggles << " toggles";
        if (batch == 0) warm = ProcessFigures::of(process, pid);
    }
    const ProcessFigures last = ProcessFigures::of(process, pid);
    CloseHandle(process);
    std::printf("after 100 and 1000 toggles: handles %lu, %lu; private bytes %llu, %llu; GDI %lu, %lu; USER %lu, %lu\n",
                warm.handles, last.handles, warm.privateBytes, last.privateBytes, warm.gdiObjects, last.gdiObjects,
                warm.userObjects, last.userObjects);
    const std::vector<std::string> calls = hookCalls(program);
    ASSERT_EQ(calls.size(), 1 + toggles);
    for (size_t i = 0; i < calls.size(); ++i)
        ASSERT_EQ(calls[i].rfind(i % 2 == 0 ? "StartHook|" : "EndHook|", 0), 0u) << "call " << i << ": " << calls[i];
    EXPECT_GT(last.handles, 0u) << "no handle count";
    EXPECT_GT(last.gdiObjects, 0u) << "no GDI count";
    EXPECT_GT(last.userObjects, 0u) << "no USER count";
    EXPECT_LE(last.handles, warm.handles + 2) << "handles";
    EXPECT_LE(last.privateBytes, warm.privateBytes + 256 * 1024) << "private bytes";
    EXPECT_LE(last.gdiObjects, warm.gdiObjects) << "GDI objects";
    EXPECT_LE(last.userObjects, warm.userObjects) << "USER objects";
    exitProgram(program, w);
}

// A missing library or export: one box at creation, then the window; the toggle and the hot
// key go on working and call nothing.
namespace {

// `library` is the stand-in to put beside the program, or "" for none at all; `tip` what the
// tray says of encryption, switched on, after the box.
void expectOneBoxThenNothingCalled(const char* library, const std::string& box, const std::string& tip) {
    ProgramUnderTest program;
    if (*library)
        useLibrary(program, library);
    else
        DeleteFileA(program.path(kLibrary).c_str());
    program.writeSwitches({.enabledEnc = true});
    program.start();
    EXPECT_EQ(program.waitForMessageBox(), box);
    program.dismissMessageBox();
    HWND w = program.waitForMainWindow();
    ASSERT_TRUE(w);
    ASSERT_TRUE(ProgramUnderTest::waitUntil([&] { return IsWindowVisible(w) != FALSE; }));
    EXPECT_EQ(waitForTip(tip), tip);
    // A box would show while its command runs: it is looked for once each toggle has been
    // handled, the program still running. Ctrl+E comes first, so the menu toggle after it
    // returns only once both have.
    pressCtrlE();
    ASSERT_TRUE(program.chooseFromTrayMenu(kToggleCommand));
    EXPECT_EQ(program.messageBox(), nullptr) << "a box after the toggles";
    PostMessageA(w, WM_HOTKEY, GlobalFindAtomA("Hotkey"), MAKELPARAM(MOD_CONTROL, 'E'));
    ASSERT_TRUE(ProgramUnderTest::settled(w));
    EXPECT_EQ(program.messageBox(), nullptr) << "a box after the hot key";
    exitProgram(program, w);
    EXPECT_TRUE(hookCalls(program).empty());
}

}  // namespace

// The block's name taken by another kind of object: the set-up stops there, the library is
// never started, and the tray says that encryption is not available.
TEST(HookBindingFailureTest, ASharedBlockNameTakenShowsOneBoxThenNeverStartsTheLibrary) {
    HANDLE squatter = CreateMutexA(nullptr, FALSE, "zarurarEvidev");
    ASSERT_TRUE(squatter);
    expectOneBoxThenNothingCalled(OMBRIX_HOOKLIB_FULL, "Unable to create file mapping.", kTipSetupFailed);
    CloseHandle(squatter);
}

// An end request while a box of creation is up: the box goes, creation finishes, and then
// the program ends with code 0.
TEST(HookBindingFailureTest, AnEndRequestWhileTheCreationBoxIsUpEndsTheProgramCleanly) {
    ProgramUnderTest program;
    DeleteFileA(program.path(kLibrary).c_str());
    program.start();
    ASSERT_EQ(program.waitForMessageBox(), "Error loading DLL.");
    HWND w = program.waitForMainWindow();
    ASSERT_TRUE(w);
    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutA(w, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer));
    PostMessageA(w, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.process().waitForExit(20000), 0u);
}

TEST(HookBindingFailureTest, NoLibraryShowsOneBoxThenRunsAndTogglesWithoutCallingAnything) {
    expectOneBoxThenNothingCalled("", "Error loading DLL.", kTipUnavailable);
}

TEST(HookBindingFailureTest, NoStartHookShowsOneBoxThenRunsAndTogglesWithoutCallingAnything) {
    expectOneBoxThenNothingCalled(OMBRIX_HOOKLIB_NO_START, "Cannot find the DLL functions.", kTipSetupFailed);
}

TEST(HookBindingFailureTest, NoEndHookShowsOneBoxThenRunsAndTogglesWithoutCallingAnything) {
    expectOneBoxThenNothingCalled(OMBRIX_HOOKLIB_NO_END, "Cannot find the DLL functions.", kTipSetupFailed);
}

TEST(HookBindingTest, ALibraryPlantedInTheCurrentFolderOrOnPathIsNeverLoaded) {
    ProgramUnderTest program;
    DeleteFileA(program.path(kLibrary).c_str());
    ProgramUnderTest elsewhere;  // only a folder here: the planted copy and the start folder
    useLibrary(elsewhere, OMBRIX_HOOKLIB_FULL);
    program.writeSwitches({.enabledEnc = true});
    // Started with the planted folder as current directory and first on PATH.
    program.startIn(elsewhere.folder(), elsewhere.folder() + ";C:\\windows\\system32;C:\\windows");
    EXPECT_EQ(program.waitForMessageBox(), "Error loading DLL.");
    EXPECT_FALSE(elsewhere.exists(kCalls)) << "the planted library was loaded";
}

// Another program can post the main window what a menu choice or the hot key once sent: a
// WM_COMMAND with the encryption item's or Exit's identifier, a WM_HOTKEY with the hot key's
// atom but other keys. None of them switches protection off or ends the program; the real
// menu and the hot key as bound still do.
TEST(HookBindingTest, PostedMenuCommandsAndAnAlteredHotKeyChangeNothing) {
    ProgramUnderTest program;
    HWND w = startRecorded(program, true);
    ASSERT_TRUE(w);
    const ATOM hotKey = GlobalFindAtomA("Hotkey");
    PostMessageA(w, WM_COMMAND, kToggleCommand, 0);
    PostMessageA(w, WM_COMMAND, app::Exit1, 0);
    PostMessageA(w, WM_HOTKEY, hotKey, MAKELPARAM(MOD_CONTROL | MOD_SHIFT, 'E'));
    PostMessageA(w, WM_HOTKEY, hotKey, MAKELPARAM(MOD_CONTROL, 'F'));
    ASSERT_TRUE(ProgramUnderTest::settled(w));
    EXPECT_EQ(hookCalls(program).size(), 1u) << "protection was switched off";
    EXPECT_TRUE(program.process().running());
    ASSERT_TRUE(program.chooseFromTrayMenu(kToggleCommand));
    ASSERT_TRUE(waitForCalls(program, 2));
    EXPECT_EQ(hookCalls(program)[1].rfind("EndHook|", 0), 0u);
    PostMessageA(w, WM_HOTKEY, hotKey, MAKELPARAM(MOD_CONTROL, 'E'));
    ASSERT_TRUE(waitForCalls(program, 3));
    EXPECT_EQ(hookCalls(program)[2].rfind("StartHook|", 0), 0u);
    exitProgram(program, w);
}
