// Start-up, the single-instance rule and the window's lifecycle, driven from outside.
#include <gtest/gtest.h>

#include "tests/win/ProgramUnderTest.h"

using testing_support::ProgramUnderTest;

namespace {

constexpr UINT kActivateInstance = WM_USER + 0x1000;
constexpr UINT_PTR kTimertrayiconId = 1;

bool visible(HWND w) { return IsWindowVisible(w) != FALSE; }

}  // namespace

TEST(StartupTest, MainWindowHasItsClassSizePositionAndCaption) {
    ProgramUnderTest program;
    program.start();
    HWND w = program.waitForMainWindow();
    ASSERT_TRUE(w);
    ASSERT_TRUE(ProgramUnderTest::waitUntil([&] { return visible(w); }));
    RECT client{}, frame{};
    GetClientRect(w, &client);
    GetWindowRect(w, &frame);
    EXPECT_EQ(client.right, 268);
    EXPECT_EQ(client.bottom, 558);
    EXPECT_EQ(frame.left, 295);
    EXPECT_EQ(frame.top, 77);
    EXPECT_EQ(frame.right - frame.left, 268) << "the window has no border";
    EXPECT_EQ(testing_support::windowText(w), "Ombrix");
}

TEST(StartupTest, SecondCopyBringsTheFirstBackFromTheTrayAndEndsWithCodeZero) {
    ProgramUnderTest program;
    program.start();
    HWND w = program.waitForMainWindow();
    ASSERT_TRUE(w);
    PostMessageA(w, WM_CLOSE, 0, 0);
    ASSERT_TRUE(ProgramUnderTest::waitUntil([&] { return !visible(w); }));

    auto& second = program.start();
    EXPECT_EQ(second.waitForExit(15000), 0u);
    EXPECT_TRUE(ProgramUnderTest::waitUntil([&] { return visible(w); }));
    EXPECT_EQ(ProgramUnderTest::mainWindows().size(), 1u);
    EXPECT_TRUE(program.process(0).running());
}

TEST(StartupTest, FiveCopiesStartedTogetherLeaveExactlyOneRunning) {
    ProgramUnderTest program;
    for (int i = 0; i < 5; ++i) program.start();
    // Four copies end on their own, each with code 0; one stays.
    ASSERT_TRUE(ProgramUnderTest::waitUntil(
        [&] {
            int done = 0;
            for (int i = 0; i < 5; ++i) done += !program.process(i).running();
            return done == 4;
        },
        20000));
    for (int i = 0; i < 5; ++i)
        if (!program.process(i).running()) EXPECT_EQ(program.process(i).waitForExit(0), 0u);
    // The four that ended can make no window: once the survivor's is there, all are counted.
    ASSERT_TRUE(program.waitForMainWindow());
    EXPECT_EQ(ProgramUnderTest::mainWindows().size(), 1u);
}

// Another program's window of the class "Ombrix", or its mutex "Ombrix", is no running copy:
// the program starts all the same (after waiting for a copy's window, for the mutex).
TEST(StartupTest, AProgramSquattingTheClassOrTheMutexDoesNotKeepItFromStarting) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "Ombrix";
    ASSERT_TRUE(RegisterClassA(&wc));
    HWND squatter = CreateWindowExA(0, "Ombrix", "Ombrix", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                    wc.hInstance, nullptr);
    ASSERT_TRUE(squatter);
    {
        ProgramUnderTest program;
        program.start();
        HWND w = program.waitForMainWindow();
        ASSERT_TRUE(w) << "a window of the class kept the program from starting";
        EXPECT_TRUE(program.process().running());
        EXPECT_EQ(program.exitByMenu(w), 0u);
    }
    DestroyWindow(squatter);
    UnregisterClassA("Ombrix", wc.hInstance);

    HANDLE mutex = CreateMutexA(nullptr, TRUE, "Ombrix");
    ASSERT_TRUE(mutex);
    {
        ProgramUnderTest program;
        program.start();
        HWND w = program.waitForMainWindow(30000);
        ASSERT_TRUE(w) << "the mutex kept the program from starting";
        EXPECT_EQ(program.exitByMenu(w), 0u);
    }
    CloseHandle(mutex);
}

TEST(StartupTest, CloseRequestHidesTheWindowAndTheProgramGoesOn) {
    ProgramUnderTest program;
    program.start();
    HWND w = program.waitForMainWindow();
    ASSERT_TRUE(w);
    ASSERT_TRUE(ProgramUnderTest::waitUntil([&] { return visible(w); }));
    PostMessageA(w, WM_CLOSE, 0, 0);
    EXPECT_TRUE(ProgramUnderTest::waitUntil([&] { return !visible(w); }));
    // The close handler is over and the window still answers: it was hidden, not destroyed.
    EXPECT_TRUE(ProgramUnderTest::settled(w));
    EXPECT_TRUE(IsWindow(w));
    EXPECT_TRUE(program.process().running());
}

TEST(StartupTest, QueryEndSessionAgreesAndALaterCloseEndsTheProgramWithCodeZero) {
    ProgramUnderTest program;
    program.start();
    HWND w = program.waitForMainWindow();
    ASSERT_TRUE(w);
    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutA(w, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer));
    EXPECT_EQ(answer, 1u);
    EXPECT_TRUE(ProgramUnderTest::settled(w) && program.process().running()) << "answering does not end the program";
    PostMessageA(w, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.process().waitForExit(10000), 0u);
}

// A shutdown that another program cancels leaves the program as it was: the next close
// request hides the window again.
TEST(StartupTest, ACancelledShutdownLeavesCloseHidingTheWindow) {
    ProgramUnderTest program;
    program.start();
    HWND w = program.waitForMainWindow();
    ASSERT_TRUE(ProgramUnderTest::waitUntilShown(w));
    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutA(w, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer));
    ASSERT_TRUE(SendMessageTimeoutA(w, WM_ENDSESSION, FALSE, 0, SMTO_ABORTIFHUNG, 5000, &answer));
    PostMessageA(w, WM_CLOSE, 0, 0);
    ASSERT_TRUE(ProgramUnderTest::waitUntil([&] { return !visible(w); }));
    // Hidden, not ending: a second copy's knock brings it back.
    PostMessageA(w, kActivateInstance, 0, 0);
    EXPECT_TRUE(ProgramUnderTest::waitUntil([&] { return visible(w); })) << "the cancelled shutdown ended the program";
}

// Any program may send the main window a WM_NCDESTROY; it must not part the window from the
// program, whose close steps (and Exit) must go on working.
TEST(StartupTest, AForgedNcDestroyLeavesTheWindowWorking) {
    ProgramUnderTest program;
    program.start();
    HWND w = program.waitForMainWindow();
    ASSERT_TRUE(ProgramUnderTest::waitUntilShown(w));
    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutA(w, WM_NCDESTROY, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer));
    PostMessageA(w, WM_NCDESTROY, 0, 0);
    PostMessageA(w, WM_CLOSE, 0, 0);
    ASSERT_TRUE(ProgramUnderTest::waitUntil([&] { return !visible(w); }));
    PostMessageA(w, kActivateInstance, 0, 0);
    EXPECT_TRUE(ProgramUnderTest::waitUntil([&] { return visible(w); })) << "the window was destroyed by a close request";
    EXPECT_EQ(program.exitByMenu(w, 15000), 0u);
}

TEST(StartupTest, ActivateInstanceShowsAHiddenWindow) {
    ProgramUnderTest program;
    program.start();
    HWND w = program.waitForMainWindow();
    ASSERT_TRUE(w);
    PostMessageA(w, WM_CLOSE, 0, 0);
    ASSERT_TRUE(ProgramUnderTest::waitUntil([&] { return !visible(w); }));
    PostMessageA(w, kActivateInstance, 0, 0);
    EXPECT_TRUE(ProgramUnderTest::waitUntil([&] { return visible(w); }));
}

TEST(StartupTest, ActivateInstanceOnlyRestoresAMinimisedWindow) {
    ProgramUnderTest program;
    program.start();
    HWND w = program.waitForMainWindow();
    ASSERT_TRUE(w);
    ASSERT_TRUE(ProgramUnderTest::waitUntil([&] { return visible(w); }));
    // Minimising sends the program to the tray; bring it back minimised from there.
    PostMessageA(w, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(ProgramUnderTest::waitUntil([&] { return !visible(w); }));
    ShowWindowAsync(w, SW_SHOWMINNOACTIVE);
    ASSERT_TRUE(ProgramUnderTest::waitUntil([&] { return IsIconic(w) && visible(w); }));
    PostMessageA(w, kActivateInstance, 0, 0);
    EXPECT_TRUE(ProgramUnderTest::waitUntil([&] { return !IsIconic(w) && visible(w); }));
}

TEST(StartupTest, ArgumentLowerCaseHSendsTheWindowToTheTrayAfterFiveSeconds) {
    ProgramUnderTest program;
    // The timer starts with the window, after this moment: the hiding cannot come sooner than
    // five seconds from here, however slow the start.
    const DWORD startedAt = GetTickCount();
    program.start("h");
    HWND w = program.waitForMainWindow();
    ASSERT_TRUE(w);
    ASSERT_TRUE(ProgramUnderTest::waitUntil([&] { return visible(w); }));
    ASSERT_TRUE(ProgramUnderTest::waitUntil([&] { return !visible(w); }, 20000));
    // Timer ticks are coarse: a little under five seconds still counts as five.
    EXPECT_GE(GetTickCount() - startedAt, 4900u) << "on screen until five seconds have passed";
    EXPECT_TRUE(program.process().running());
}

TEST(StartupTest, OtherArgumentsLeaveTheWindowOnScreen) {
    for (const char* arg : {"H", "-h"}) {
        ProgramUnderTest program;
        program.start(arg);
        HWND w = program.waitForMainWindow();
        ASSERT_TRUE(ProgramUnderTest::waitUntilShown(w));
        // The start-up timer's own message, sent so that the call returns when its handler
        // is over: the moment an "h" would have sent the window to the tray.
        DWORD_PTR result = 0;
        ASSERT_TRUE(SendMessageTimeoutA(w, WM_TIMER, kTimertrayiconId, 0, SMTO_NORMAL, 10000, &result));
        EXPECT_TRUE(visible(w)) << arg;
        PostMessageA(w, WM_QUERYENDSESSION, 0, 0);
        PostMessageA(w, WM_CLOSE, 0, 0);
        EXPECT_EQ(program.process().waitForExit(10000), 0u);
    }
}

TEST(StartupTest, ExitCommandEndsTheProgramWithCodeZero) {
    ProgramUnderTest program;
    program.start();
    HWND w = program.waitForMainWindow();
    ASSERT_TRUE(w);
    EXPECT_EQ(program.exitByMenu(w, 15000), 0u);
    EXPECT_TRUE(ProgramUnderTest::mainWindows().empty());
}
