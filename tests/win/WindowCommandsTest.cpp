// The window commands driven from outside: the about box, help, the log viewer and the web
// site. What the shell is asked to open is recorded by a handler registered for the test.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlwapi.h>

#include <optional>
#include <stdexcept>
#include <string>

#include "app/Form1.h"
#include "tests/win/ProgramUnderTest.h"
#include "tests/win/ShellHandler.h"

using testing_support::ProgramUnderTest;
using testing_support::ShellHandler;

namespace {

using app::About1;
using app::AuthorSite1;
using app::Help1;
using app::LogFile1;

HWND startShown(ProgramUnderTest& program) {
    program.writeSwitches({});
    program.start();
    HWND w = program.waitForMainWindow();
    if (w) ProgramUnderTest::waitUntil([&] { return IsWindowVisible(w) != FALSE; });
    return w;
}

// When the program has ended, so have the commands posted before Exit, and anything they
// were going to show would have shown.
void exitAfterCommands(ProgramUnderTest& program, HWND w) { EXPECT_EQ(program.exitByMenu(w), 0u); }

// The visible about boxes of the program's copies.
struct AboutTally {
    DWORD pid;
    int boxes;
};

BOOL CALLBACK countAbout(HWND w, LPARAM p) {
    auto& tally = *reinterpret_cast<AboutTally*>(p);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    char caption[64] = "";
    GetWindowTextA(w, caption, sizeof caption);
    if (pid == tally.pid && IsWindowVisible(w) && std::string(caption) == "About Ombrix") ++tally.boxes;
    return TRUE;
}

int aboutBoxes(ProgramUnderTest& program) {
    AboutTally tally{program.process().pid(), 0};
    EnumWindows(&countAbout, reinterpret_cast<LPARAM>(&tally));
    return tally.boxes;
}

size_t lineCount(const std::string& text) {
    size_t lines = 0;
    for (size_t at = 0; at < text.size(); ++lines) {
        size_t end = text.find('\n', at);
        at = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

}  // namespace

TEST(WindowCommandsTest, AboutOpensFromMenuAndButtonAndClosesWithOk) {
    ProgramUnderTest program;
    HWND w = startShown(program);
    ASSERT_TRUE(w);
    ASSERT_TRUE(program.chooseFromTrayMenu(About1));
    HWND about = program.waitForWindow("About Ombrix");
    ASSERT_TRUE(about);
    RECT client{};
    GetClientRect(about, &client);
    EXPECT_EQ(client.right, 470);
    EXPECT_EQ(client.bottom, 248);
    EXPECT_TRUE(GetWindowLongA(about, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(GetWindowLongA(about, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    PostMessageA(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(about, IDOK)));
    ASSERT_TRUE(ProgramUnderTest::waitUntil([&] { return !IsWindowVisible(about); }));

    // The About button of the window: a real click inside its area.
    ProgramUnderTest::click(w, POINT{163 + 36, 333 + 13});
    EXPECT_TRUE(program.waitForWindow("About Ombrix"));
}

TEST(WindowCommandsTest, AboutChosenAgainWhileOpenRaisesTheOneBox) {
    ProgramUnderTest program;
    HWND w = startShown(program);
    ASSERT_TRUE(w);
    ASSERT_TRUE(program.chooseFromTrayMenu(About1));
    HWND about = program.waitForWindow("About Ombrix");
    ASSERT_TRUE(about);
    ASSERT_TRUE(ProgramUnderTest::waitUntil([&] { return GetForegroundWindow() == about; }));
    // The tray menu still works while the box is open; the menu takes the front, and About
    // chosen again brings the one box back to it.
    ASSERT_TRUE(program.chooseFromTrayMenu(About1));
    EXPECT_TRUE(ProgramUnderTest::waitUntil([&] { return GetForegroundWindow() == about; }))
        << "the front window is " << GetForegroundWindow() << ", not the box " << about;
    EXPECT_EQ(aboutBoxes(program), 1);
    PostMessageA(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(about, IDOK)));
    ASSERT_TRUE(ProgramUnderTest::waitUntil([&] { return !IsWindowVisible(about); }));
    exitAfterCommands(program, w);
}

TEST(WindowCommandsTest, PictureAndTextLineOpenTheSiteAndLeaveTheBoxOpen) {
    ProgramUnderTest program;
    ShellHandler https(program, "https");
    HWND w = startShown(program);
    ASSERT_TRUE(w);
    ASSERT_TRUE(program.chooseFromTrayMenu(About1));
    HWND about = program.waitForWindow("About Ombrix");
    ASSERT_TRUE(about);
    ProgramUnderTest::click(about, POINT{358 + 40, 18 + 90});  // the picture
    ASSERT_TRUE(https.waitForCall());
    EXPECT_NE(https.calls().find("https://"), std::string::npos) << https.calls();
    EXPECT_TRUE(ProgramUnderTest::settled(about) && IsWindowVisible(about));
    ProgramUnderTest::click(about, POINT{51 + 20, 159 + 10});  // the text line
    EXPECT_TRUE(ProgramUnderTest::waitUntil([&] { return lineCount(https.calls()) == 2; }, 20000))
        << "the text line opened nothing: " << https.calls();
    const std::string calls = https.calls();
    EXPECT_NE(calls.find("https://", calls.find('\n')), std::string::npos) << calls;
    EXPECT_TRUE(ProgramUnderTest::settled(about) && IsWindowVisible(about));
}

TEST(WindowCommandsTest, WebSiteHandsTheDecipheredAddressToTheShell) {
    ProgramUnderTest program;
    ShellHandler https(program, "https");
    HWND w = startShown(program);
    ASSERT_TRUE(w);
    ASSERT_TRUE(program.chooseFromTrayMenu(AuthorSite1));
    ASSERT_TRUE(https.waitForCall());
    EXPECT_NE(https.calls().find("https://ombrix.example/"), std::string::npos) << https.calls();
}

TEST(WindowCommandsTest, HelpAndViewLogWithTheirFilesMissingDoNothing) {
    ProgramUnderTest program;
    ShellHandler chm(program, "chm.file", ".chm");
    HWND w = startShown(program);
    ASSERT_TRUE(w);
    ASSERT_FALSE(program.exists("omx.chm"));
    ASSERT_FALSE(program.exists("keyloggerstop.log"));
    // A box would be up as soon as the command has run: looked for then, the program running.
    ASSERT_TRUE(program.chooseFromTrayMenu(Help1));
    EXPECT_EQ(program.messageBox(), nullptr) << "a box from Help";
    ASSERT_TRUE(program.chooseFromTrayMenu(LogFile1));
    EXPECT_EQ(program.messageBox(), nullptr) << "a box from View log";
    exitAfterCommands(program, w);
    EXPECT_TRUE(chm.calls().empty());
}

TEST(WindowCommandsTest, HelpOpensTheHelpFileBesideTheProgram) {
    ProgramUnderTest program;
    ShellHandler chm(program, "chm.file", ".chm");
    program.writeFile("omx.chm", "help");
    HWND w = startShown(program);
    ASSERT_TRUE(w);
    ASSERT_TRUE(program.chooseFromTrayMenu(Help1));
    ASSERT_TRUE(chm.waitForCall());
    EXPECT_NE(chm.calls().find(program.path("omx.chm")), std::string::npos) << chm.calls();
}

TEST(WindowCommandsTest, ViewLogOpensTheLogTheProgramWritesEvenWhenStartedFromElsewhere) {
    ProgramUnderTest program;
    ProgramUnderTest elsewhere;  // the folder that is current at start
    ShellHandler log(program, "txtfile", ".log");
    elsewhere.writeFile("keyloggerstop.log", "a stop\r\n");
    program.writeFile("keyloggerstop.log", "someone else's\r\n");
    program.writeSwitches({});
    program.startIn(elsewhere.folder());
    HWND w = program.waitForMainWindow();
    ASSERT_TRUE(w);
    ASSERT_TRUE(program.chooseFromTrayMenu(LogFile1));
    ASSERT_TRUE(log.waitForCall());
    EXPECT_NE(log.calls().find(elsewhere.path("keyloggerstop.log")), std::string::npos) << log.calls();
}
