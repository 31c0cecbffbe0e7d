// The settings file and dialog, driven from outside with real clicks and keys.
#include <gtest/gtest.h>

#include "tests/win/ProgramUnderTest.h"

using testing_support::ProgramUnderTest;

namespace {

constexpr POINT kSettingButton{152 + 42, 296 + 12};
constexpr POINT kCloseToTrayButton{186 + 25, 405 + 10};

enum { CheckBox1 = 101, CheckBox2, CheckBox3, CheckBox4 };

struct Running {
    ProgramUnderTest& program;
    HWND main = nullptr;

    explicit Running(ProgramUnderTest& p, const std::string& args = "") : program(p) {
        program.start(args);
        main = program.waitForMainWindow();
        EXPECT_TRUE(main);
        // Clicks go to the window once its first showing is over.
        EXPECT_TRUE(ProgramUnderTest::waitUntilShown(main));
    }

    HWND openSettings() {
        ProgramUnderTest::click(main, kSettingButton);
        return program.waitForWindow("Ombrix Setting");
    }
};

bool isChecked(HWND dialog, int id) {
    return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void clickButton(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    RECT r;
    GetClientRect(button, &r);
    ProgramUnderTest::click(button, POINT{r.right / 2, r.bottom / 2});
}

// Clicks a check box and waits until it shows `on`.
bool clickCheckBox(HWND dialog, int id, bool on) {
    clickButton(dialog, id);
    return ProgramUnderTest::waitUntil([&] { return isChecked(dialog, id) == on; });
}

bool hidden(HWND w) {
    return ProgramUnderTest::waitUntil([&] { return !IsWindowVisible(w); });
}

}  // namespace

// The end request of an uninstaller or a logoff while the dialog is open: the dialog goes
// as Cancel does, the close steps run (the hook ends once), and the program ends with code 0.
TEST(SettingsDialogTest, AnEndRequestWhileTheDialogIsOpenEndsTheProgramCleanly) {
    ProgramUnderTest program;
    Running run(program);
    HWND dialog = run.openSettings();
    ASSERT_TRUE(dialog);
    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutA(run.main, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer));
    PostMessageA(run.main, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.process().waitForExit(20000), 0u);
    EXPECT_EQ(program.readFile("hookcalls.txt").find("EndHook"), program.readFile("hookcalls.txt").rfind("EndHook"));
    EXPECT_NE(program.readFile("hookcalls.txt").find("EndHook"), std::string::npos) << program.readFile("hookcalls.txt");
}

// Any program may send the hidden dialog WM_DESTROY and WM_NCDESTROY: it must still open,
// show its switches and close as before.
TEST(SettingsDialogTest, ForgedDestroyMessagesLeaveTheDialogWorking) {
    ProgramUnderTest program;
    Running run(program);
    auto programsDialog = [&] {
        for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, "#32770", "Ombrix Setting")) != nullptr;) {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid == program.process().pid()) return w;
        }
        return HWND{};
    };
    EXPECT_FALSE(programsDialog()) << "made at its first showing, not at start";
    HWND hiddenDialog = run.openSettings();
    ASSERT_TRUE(hiddenDialog);
    clickButton(hiddenDialog, IDCANCEL);
    ASSERT_TRUE(hidden(hiddenDialog));
    EXPECT_EQ(programsDialog(), hiddenDialog) << "kept, hidden, after its showing";
    DWORD_PTR answer = 0;
    for (UINT m : {WM_DESTROY, WM_NCDESTROY}) {
        ASSERT_TRUE(SendMessageTimeoutA(hiddenDialog, m, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer));
        PostMessageA(hiddenDialog, m, 0, 0);
    }
    ASSERT_TRUE(ProgramUnderTest::settled(run.main));
    HWND dialog = run.openSettings();
    ASSERT_EQ(dialog, hiddenDialog);
    EXPECT_TRUE(ProgramUnderTest::waitUntil([&] { return IsWindowVisible(dialog) != FALSE; }));
    for (int id : {CheckBox1, CheckBox2, CheckBox3, CheckBox4}) EXPECT_TRUE(isChecked(dialog, id)) << id;
    clickButton(dialog, IDCANCEL);
    EXPECT_TRUE(hidden(dialog));
}

TEST(SettingsDialogTest, SettingButtonOpensTheDialogWithEverySwitchOnWithoutASettingsFile) {
    ProgramUnderTest program;
    Running run(program);
    HWND dialog = run.openSettings();
    ASSERT_TRUE(dialog);
    for (int id : {CheckBox1, CheckBox2, CheckBox3, CheckBox4}) EXPECT_TRUE(isChecked(dialog, id)) << id;
    EXPECT_EQ(testing_support::windowText(GetDlgItem(dialog, CheckBox1)), "Real-time Keyboard Encryption Protection");
    EXPECT_EQ(testing_support::windowText(GetDlgItem(dialog, CheckBox2)), "Stop Keylogger");
    EXPECT_EQ(testing_support::windowText(GetDlgItem(dialog, CheckBox3)), "Enabled White Process List (Don't stop)");
    EXPECT_EQ(testing_support::windowText(GetDlgItem(dialog, CheckBox4)), "Enabled Black Process List (Custem Stop)");
    EXPECT_EQ(testing_support::windowText(GetDlgItem(dialog, 111)), "Edit White List");
    EXPECT_EQ(testing_support::windowText(GetDlgItem(dialog, 112)), "Edit Black  List");
    EXPECT_EQ(testing_support::windowText(GetDlgItem(dialog, IDOK)), "Save");
    EXPECT_EQ(testing_support::windowText(GetDlgItem(dialog, IDCANCEL)), "Cancel");
    clickButton(dialog, IDCANCEL);
    EXPECT_TRUE(hidden(dialog));
    EXPECT_FALSE(program.exists("ombrix.ini")) << "Cancel writes nothing";
}

TEST(SettingsDialogTest, SaveWritesTheFourKeysInOrderBesideAnExecutableOfAnyName) {
    ProgramUnderTest program("Guard.EXE");
    program.writeFile("guard.ini", "[main]\r\nenabledenc=0x0\r\nstopkeylog=yes\r\nenabledblack=0\r\nenabledwhite=2\r\n");
    Running run(program);
    HWND dialog = run.openSettings();
    ASSERT_TRUE(dialog);
    EXPECT_FALSE(isChecked(dialog, CheckBox1)) << "0x0 reads as off";
    EXPECT_TRUE(isChecked(dialog, CheckBox2)) << "text that is no number reads as the default";
    EXPECT_TRUE(isChecked(dialog, CheckBox3)) << "2 reads as on";
    EXPECT_FALSE(isChecked(dialog, CheckBox4));

    program.writeFile("guard.ini", "");
    ASSERT_TRUE(clickCheckBox(dialog, CheckBox1, true));
    clickButton(dialog, IDOK);
    EXPECT_TRUE(hidden(dialog));
    // The keys are written one at a time: wait for the last one before reading the file.
    const std::string expected = "[main]\r\nenabledenc=1\r\nstopkeylog=1\r\nenabledwhite=1\r\nenabledblack=0\r\n";
    ProgramUnderTest::waitUntil([&] { return program.readFile("guard.ini").find("enabledblack") != std::string::npos; });
    EXPECT_EQ(program.readFile("guard.ini"), expected);
}

TEST(SettingsDialogTest, CancelKeepsTheSwitchesAndTheFile) {
    ProgramUnderTest program;
    const std::string stored = "[main]\r\nenabledenc=0\r\nstopkeylog=1\r\nenabledwhite=1\r\nenabledblack=1\r\n";
    program.writeFile("ombrix.ini", stored);
    Running run(program);
    HWND dialog = run.openSettings();
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(clickCheckBox(dialog, CheckBox1, true));
    ASSERT_TRUE(clickCheckBox(dialog, CheckBox4, false));
    clickButton(dialog, IDCANCEL);
    ASSERT_TRUE(hidden(dialog));
    EXPECT_EQ(program.readFile("ombrix.ini"), stored);

    dialog = run.openSettings();
    ASSERT_TRUE(dialog);
    EXPECT_FALSE(isChecked(dialog, CheckBox1)) << "the dialog is filled from the switches again";
    EXPECT_TRUE(isChecked(dialog, CheckBox4));
    clickButton(dialog, IDCANCEL);
}

TEST(SettingsDialogTest, LeavingStopKeyloggerUncheckedClearsBothListBoxesSilently) {
    ProgramUnderTest program;
    Running run(program);
    HWND dialog = run.openSettings();
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(clickCheckBox(dialog, CheckBox2, false));  // and it has the focus
    ProgramUnderTest::pressKey(VK_TAB);
    EXPECT_TRUE(ProgramUnderTest::waitUntil([&] { return !isChecked(dialog, CheckBox3) && !isChecked(dialog, CheckBox4); }));
    // A message would come from the same focus handler that cleared the boxes.
    ASSERT_TRUE(ProgramUnderTest::settled(dialog));
    EXPECT_FALSE(program.messageBox());
    clickButton(dialog, IDCANCEL);
}

TEST(SettingsDialogTest, CheckingABlackListWithoutStopKeyloggerShowsTheMessageAndClearsTheBox) {
    ProgramUnderTest program;
    program.writeFile("ombrix.ini", "[main]\r\nstopkeylog=0\r\nenabledwhite=0\r\nenabledblack=0\r\n");
    Running run(program);
    HWND dialog = run.openSettings();
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(clickCheckBox(dialog, CheckBox4, true));
    ProgramUnderTest::pressKey(VK_TAB);
    EXPECT_EQ(program.waitForMessageBox(), "Enable black list must enabled stop key logger first");
    program.dismissMessageBox();
    EXPECT_TRUE(ProgramUnderTest::waitUntil([&] { return !isChecked(dialog, CheckBox4); }));

    ASSERT_TRUE(clickCheckBox(dialog, CheckBox3, true));
    ProgramUnderTest::pressKey(VK_TAB);
    EXPECT_EQ(program.waitForMessageBox(), "Enable white process list must enabled stop key logger first");
    program.dismissMessageBox();
    EXPECT_TRUE(ProgramUnderTest::waitUntil([&] { return !isChecked(dialog, CheckBox3); }));
    clickButton(dialog, IDCANCEL);
}

TEST(SettingsDialogTest, SettingsFileThatCannotBeWrittenShowsUnableToWrite) {
    ProgramUnderTest program;
    // A folder where the settings file should be: the system cannot write the file.
    CreateDirectoryA(program.path("ombrix.ini").c_str(), nullptr);
    Running run(program);
    HWND dialog = run.openSettings();
    ASSERT_TRUE(dialog);
    clickButton(dialog, IDOK);
    EXPECT_EQ(program.waitForMessageBox(), "Unable to write to " + program.path("ombrix.ini") + ".");
    program.dismissMessageBox();
    EXPECT_TRUE(ProgramUnderTest::settled(run.main) && program.process().running());
}

TEST(SettingsDialogTest, CloseToTrayButtonHidesTheWindow) {
    ProgramUnderTest program;
    Running run(program);
    ProgramUnderTest::click(run.main, kCloseToTrayButton);
    EXPECT_TRUE(hidden(run.main));
    EXPECT_TRUE(program.process().running());
}

TEST(SettingsDialogTest, PressOnAButtonAndReleaseElsewhereIsNoClick) {
    ProgramUnderTest program;
    Running run(program);
    POINT press{kSettingButton}, release{20, 20};
    ClientToScreen(run.main, &press);
    ClientToScreen(run.main, &release);
    INPUT in{};
    in.type = INPUT_MOUSE;
    ProgramUnderTest::placeCursor(press);
    in.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    SendInput(1, &in, sizeof in);
    Sleep(100);
    ProgramUnderTest::placeCursor(release);
    Sleep(100);
    in.mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(1, &in, sizeof in);
    // The program takes its input in order: once a later click on "Close to tray" has hidden
    // the window, the release has been handled, and a dialog it opened would be on screen
    // (and, being modal, would have kept that click from the window).
    ProgramUnderTest::click(run.main, kCloseToTrayButton);
    EXPECT_TRUE(hidden(run.main));
    EXPECT_FALSE(program.waitForWindow("Ombrix Setting", nullptr, 0));
}

TEST(SettingsDialogTest, ShowingTheWindowAgainDoesNotRereadTheSettingsFile) {
    ProgramUnderTest program;
    Running run(program);
    PostMessageA(run.main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(hidden(run.main));
    program.writeSwitches({});
    PostMessageA(run.main, WM_USER + 0x1000, 0, 0);
    ASSERT_TRUE(ProgramUnderTest::waitUntilShown(run.main));
    HWND dialog = run.openSettings();
    ASSERT_TRUE(dialog);
    for (int id : {CheckBox1, CheckBox2, CheckBox3, CheckBox4}) EXPECT_TRUE(isChecked(dialog, id)) << id;
    clickButton(dialog, IDCANCEL);
}
