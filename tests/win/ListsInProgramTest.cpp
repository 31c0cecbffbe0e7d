// The lists, their editors and the log's start-up in the running program, driven from
// outside: its real files beside the executable and the prefix's real registry.
#include <gtest/gtest.h>

#include <sstream>

#include "app/Form1.h"
#include "tests/win/ProgramUnderTest.h"
#include "tests/win/ScanTargets.h"
#include "tests/win/TestRegistry.h"

using testing_support::ProgramUnderTest;
using testing_support::windowText;
using Lines = std::vector<std::string>;

namespace {

constexpr POINT kSettingButton{152 + 42, 296 + 12};
constexpr int kSpeedButton1 = 111;  // "Edit White List"
constexpr int kSpeedButton2 = 112;  // "Edit Black  List"
constexpr int kSpeedButton3 = 113;  // "Edit Pass-through List"
constexpr int kMemo1 = 102;
enum { CheckBox1 = 101, CheckBox2, CheckBox3, CheckBox4 };
const std::string kLogKey = "software\\zarurarevidev\\logs";

bool visible(HWND w) { return IsWindowVisible(w) != FALSE; }

void press(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

struct Running {
    ProgramUnderTest& program;
    HWND main = nullptr;

    explicit Running(ProgramUnderTest& p, bool expectBox = false) : program(p) {
        program.start();
        main = program.waitForMainWindow();
        EXPECT_TRUE(main);
        if (expectBox) return;
        // Clicks go to the window once its first showing is over.
        EXPECT_TRUE(ProgramUnderTest::waitUntilShown(main));
    }

    HWND openSettings() const {
        ProgramUnderTest::click(main, kSettingButton);
        return program.waitForWindow("Ombrix Setting");
    }

    // Opens an editor from the settings dialog and returns it with the text it shows.
    HWND openEditor(HWND settings, int button, const char* caption, std::string& shown) const {
        press(settings, button);
        HWND editor = program.waitForWindow(caption);
        if (editor) shown = windowText(GetDlgItem(editor, kMemo1));
        return editor;
    }
};

bool hidden(HWND w) {
    return ProgramUnderTest::waitUntil([&] { return !visible(w); });
}

// The menu the program showed last, as the stand-in library inside it recorded it: an item a
// line, a greyed one marked " (greyed)".
Lines shownMenu(const ProgramUnderTest& program) {
    Lines items;
    std::istringstream in(program.readFile("menu.txt"));
    for (std::string line; std::getline(in, line);) items.push_back(line.substr(0, line.find('\r')));
    return items;
}

// Makes the log's registry key unwritable for the life of the object: its parent is
// volatile, so the system refuses the lasting key the log asks for.
struct UnwritableLogKey {
    bool made;
    UnwritableLogKey() {
        testing_support::deleteMachineKey("software\\zarurarevidev");
        made = testing_support::createVolatileMachineKey("software\\zarurarevidev");
    }
    ~UnwritableLogKey() { testing_support::deleteMachineKey("software\\zarurarevidev"); }
};

}  // namespace

TEST(ListsInProgramTest, EditorsOpenFromTheSettingsDialogAndAlwaysShowTheFile) {
    ProgramUnderTest program;
    program.writeFile("wl.txt", "a.exe\nb.exe");
    Running run(program);
    HWND settings = run.openSettings();
    ASSERT_TRUE(settings);
    std::string shown;
    HWND white = run.openEditor(settings, kSpeedButton1, "Ombrix White List", shown);
    ASSERT_TRUE(white);
    EXPECT_EQ(shown, "a.exe\r\nb.exe");
    EXPECT_FALSE(IsWindowEnabled(settings)) << "the editor is modal over the settings dialog";
    // Typing goes into the memo and replaces nothing: the text is not selected.
    DWORD selection = static_cast<DWORD>(SendMessageA(GetDlgItem(white, kMemo1), EM_GETSEL, 0, 0));
    EXPECT_EQ(LOWORD(selection), HIWORD(selection));
    auto focus = [&] {
        GUITHREADINFO gui{};
        gui.cbSize = sizeof gui;
        GetGUIThreadInfo(GetWindowThreadProcessId(white, nullptr), &gui);
        return gui.hwndFocus;
    };
    EXPECT_TRUE(ProgramUnderTest::waitUntil([&] { return focus() == GetDlgItem(white, kMemo1); }));
    // Nor when the user tabs round to it: memo, Save, Cancel, memo.
    ProgramUnderTest::pressKey(VK_TAB);
    EXPECT_TRUE(ProgramUnderTest::waitUntil([&] { return focus() == GetDlgItem(white, IDOK); }));
    for (int i = 0; i < 2; ++i) ProgramUnderTest::pressKey(VK_TAB);
    EXPECT_TRUE(ProgramUnderTest::waitUntil([&] { return focus() == GetDlgItem(white, kMemo1); }) &&
                ProgramUnderTest::settled(white));
    selection = static_cast<DWORD>(SendMessageA(GetDlgItem(white, kMemo1), EM_GETSEL, 0, 0));
    EXPECT_EQ(LOWORD(selection), HIWORD(selection));
    press(white, IDCANCEL);
    ASSERT_TRUE(hidden(white));

    // A change by hand shows at the next opening, though the list in memory is the old one.
    program.writeFile("wl.txt", "c.exe\r\n");
    white = run.openEditor(settings, kSpeedButton1, "Ombrix White List", shown);
    ASSERT_TRUE(white);
    EXPECT_EQ(shown, "c.exe\r\n");
    press(white, IDCANCEL);
    ASSERT_TRUE(hidden(white));

    HWND black = run.openEditor(settings, kSpeedButton2, "Ombrix  Blacklist", shown);
    ASSERT_TRUE(black);
    EXPECT_EQ(shown, "") << "no bl.txt: an empty editor";
    press(black, IDCANCEL);
    ASSERT_TRUE(hidden(black));
    EXPECT_FALSE(program.exists("bl.txt")) << "Cancel writes nothing";
    press(settings, IDCANCEL);
}

TEST(ListsInProgramTest, SaveWritesTheFileBesideTheExecutableAndSurvivesCancellingTheSettings) {
    struct Editor {
        int button;
        const char* buttonCaption;
        const char* caption;
        const char* file;
    };
    const Editor editors[] = {{kSpeedButton2, "Edit Black  List", "Ombrix  Blacklist", "bl.txt"},
                              {kSpeedButton3, "Edit Pass-through List", "Ombrix Pass-through List", "pl.txt"}};
    ProgramUnderTest program;
    for (const Editor& e : editors) program.writeFile(e.file, "old.exe");
    Running run(program);
    HWND settings = run.openSettings();
    ASSERT_TRUE(settings);
    for (const Editor& e : editors) {
        SCOPED_TRACE(e.file);
        EXPECT_EQ(windowText(GetDlgItem(settings, e.button)), e.buttonCaption);
        std::string shown;
        HWND editor = run.openEditor(settings, e.button, e.caption, shown);
        ASSERT_TRUE(editor);
        EXPECT_EQ(shown, "old.exe");
        SendMessageA(GetDlgItem(editor, kMemo1), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("old.exe\r\nnew.exe"));
        press(editor, IDOK);
        ASSERT_TRUE(hidden(editor));
        EXPECT_EQ(program.readFile(e.file), "old.exe\r\nnew.exe");
    }
    press(settings, IDCANCEL);
    ASSERT_TRUE(hidden(settings));
    for (const Editor& e : editors) EXPECT_EQ(program.readFile(e.file), "old.exe\r\nnew.exe") << e.file;
    EXPECT_TRUE(program.process().running());
}

// The tray menu's pass-through item, with a window of another program in front: it names
// that program, lists it, takes it off again, and is greyed once the program is gone.
TEST(ListsInProgramTest, TrayItemPassesKeysToTheProgramInFrontAndProtectsThemAgain) {
    ProgramUnderTest program;
    program.writeFile("pl.txt", "first.exe");
    Running run(program);
    testing_support::ScanTargets targets(program.folder());
    testing_support::Process& target = targets.start("Pad&Game.EXE", "window");
    HWND front = nullptr;
    ASSERT_TRUE(ProgramUnderTest::waitUntil([&] {
        DWORD pid = 0;
        GetWindowThreadProcessId(front = GetForegroundWindow(), &pid);
        return pid == target.pid();
    }));
    // Under Wine a window just shown takes the activation in from the window system after it
    // asked for it, and would take the foreground back from the menu: it has once it answers.
    ASSERT_TRUE(ProgramUnderTest::settled(front));
    // Chooses the item; the menu as it was shown.
    auto choose = [&] {
        DeleteFileA(program.path("menu.txt").c_str());
        EXPECT_TRUE(program.chooseFromTrayMenu(app::PassThrough1));
        return shownMenu(program);
    };

    EXPECT_EQ(choose(), (Lines{"&About", "&Main Screen", "Close Keyboard Encryption (Ctrl+E)",
                               "Pass Keys to Pad&&Game.EXE Unprotected", "&Help", "&Author Site", "View Log File",
                               "&Exit"}));
    EXPECT_EQ(program.readFile("pl.txt"), "first.exe\r\nPad&Game.EXE\r\n") << "not joined to the last line";

    // The file is read as the menu opens; every line naming the program goes, in any case.
    program.writeFile("pl.txt", "first.exe\r\npad&game.exe\nsecond.exe\rPAD&GAME.EXE");
    EXPECT_EQ(choose().at(3), "Protect Keys in Pad&&Game.EXE Again");
    EXPECT_EQ(program.readFile("pl.txt"), "first.exe\r\nsecond.exe\r");

    DeleteFileA(program.path("pl.txt").c_str());
    CreateDirectoryA(program.path("pl.txt").c_str(), nullptr);
    EXPECT_EQ(choose().at(3), "Pass Keys to Pad&&Game.EXE Unprotected");
    EXPECT_EQ(program.waitForMessageBox(), "Cannot create file " + program.path("pl.txt") + ".");
    program.dismissMessageBox();
    WIN32_FIND_DATAA found{};
    HANDLE leftover = FindFirstFileA(program.path("*.tmp").c_str(), &found);
    EXPECT_EQ(leftover, INVALID_HANDLE_VALUE) << "left beside the list: " << found.cFileName;
    if (leftover != INVALID_HANDLE_VALUE) FindClose(leftover);

    RemoveDirectoryA(program.path("pl.txt").c_str());
    target.kill();
    EXPECT_EQ(choose().at(3), "Pass Keys to the Program in Front Unprotected (greyed)");
    EXPECT_FALSE(program.exists("pl.txt"));
    EXPECT_FALSE(program.messageBox());
}

TEST(ListsInProgramTest, SaveThatCannotCreateTheFileShowsTheErrorAndKeepsTheEditorOpen) {
    ProgramUnderTest program;
    CreateDirectoryA(program.path("wl.txt").c_str(), nullptr);
    Running run(program);
    HWND settings = run.openSettings();
    ASSERT_TRUE(settings);
    std::string shown;
    HWND white = run.openEditor(settings, kSpeedButton1, "Ombrix White List", shown);
    ASSERT_TRUE(white);
    SendMessageA(GetDlgItem(white, kMemo1), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("typed.exe"));
    press(white, IDOK);
    EXPECT_EQ(program.waitForMessageBox(), "Cannot create file " + program.path("wl.txt") + ".");
    program.dismissMessageBox();
    // The Save handler that showed the box has ended: had it closed the editor, it would be
    // hidden now.
    ASSERT_TRUE(ProgramUnderTest::settled(white));
    EXPECT_TRUE(visible(white));
    EXPECT_EQ(windowText(GetDlgItem(white, kMemo1)), "typed.exe");
    press(white, IDCANCEL);
    ASSERT_TRUE(hidden(white));
    press(settings, IDCANCEL);
    EXPECT_TRUE(program.process().running());
}

TEST(ListsInProgramTest, ListFileThatCannotBeReadAtStartIsShownAndTheProgramComesUp) {
    ProgramUnderTest program;
    program.writeFile("bl.txt", "a.exe");
    HANDLE held = CreateFileA(program.path("bl.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Running run(program, true);
    EXPECT_EQ(program.waitForMessageBox(15000), "Cannot open file " + program.path("bl.txt") + ".");
    program.dismissMessageBox();
    CloseHandle(held);
    // Every box of start-up comes before the window shows.
    EXPECT_TRUE(ProgramUnderTest::waitUntilShown(run.main));
    EXPECT_FALSE(program.messageBox()) << "one message only";
    EXPECT_TRUE(run.openSettings());
}

TEST(ListsInProgramTest, StartRecordsTheLogsTraceLevelUnderItsKey) {
    testing_support::deleteMachineKey(kLogKey);
    ProgramUnderTest program;
    Running run(program);
    EXPECT_EQ(testing_support::machineDword(kLogKey, "default.log"), 0);
    EXPECT_EQ(testing_support::machineDword(kLogKey, "keyloggerstop.log"), 0);
    EXPECT_FALSE(program.messageBox());
}

// An account that may not write below HKEY_LOCAL_MACHINE.
TEST(ListsInProgramTest, RegistryRecordThatCannotBeWrittenIsShownOnceAndTheProgramComesUpWhole) {
    UnwritableLogKey key;
    ASSERT_TRUE(key.made);
    ProgramUnderTest program;
    program.writeFile("wl.txt", "safe.exe");
    Running run(program, true);
    EXPECT_EQ(program.waitForMessageBox(15000), "Failed to set data for 'keyloggerstop.log'") << "no full stop after a quote";
    program.dismissMessageBox();
    // Every box of start-up comes before the window shows.
    ASSERT_TRUE(ProgramUnderTest::waitUntilShown(run.main));
    EXPECT_FALSE(program.messageBox()) << "one message only";
    EXPECT_EQ(testing_support::machineDword(kLogKey, "keyloggerstop.log"), -1);

    HWND settings = run.openSettings();
    ASSERT_TRUE(settings);
    std::string shown;
    HWND white = run.openEditor(settings, kSpeedButton1, "Ombrix White List", shown);
    ASSERT_TRUE(white);
    EXPECT_EQ(shown, "safe.exe");
    press(white, IDCANCEL);
    ASSERT_TRUE(hidden(white));
    press(settings, IDCANCEL);
    EXPECT_TRUE(program.process().running());
}

// The box about the record is up while a second copy starts: the activation it posts is
// handled in the box's message loop. The window comes forward then with the user's saved
// switches in force, not with the defaults of a settings file that was never read.
TEST(ListsInProgramTest, SecondCopyStartedWhileTheRegistryBoxIsUpLeavesTheSavedSwitchesInForce) {
    UnwritableLogKey key;
    ASSERT_TRUE(key.made);
    ProgramUnderTest program;
    const std::string stored = "[main]\r\nenabledenc=0\r\nstopkeylog=1\r\nenabledwhite=0\r\nenabledblack=1\r\n";
    program.writeFile("ombrix.ini", stored);
    Running run(program, true);
    ASSERT_EQ(program.waitForMessageBox(15000), "Failed to set data for 'keyloggerstop.log'");

    auto& second = program.start();
    EXPECT_EQ(second.waitForExit(15000), 0u);
    EXPECT_TRUE(ProgramUnderTest::waitUntil([&] { return visible(run.main); })) << "brought forward while the box is up";
    EXPECT_TRUE(program.messageBox()) << "the box is still up";
    program.dismissMessageBox();
    ASSERT_TRUE(ProgramUnderTest::waitUntilShown(run.main));
    EXPECT_FALSE(program.messageBox()) << "one message only";

    HWND settings = run.openSettings();
    ASSERT_TRUE(settings);
    std::vector<bool> shown;
    for (int id : {CheckBox1, CheckBox2, CheckBox3, CheckBox4})
        shown.push_back(SendMessageA(GetDlgItem(settings, id), BM_GETCHECK, 0, 0) == BST_CHECKED);
    EXPECT_EQ(shown, (std::vector<bool>{false, true, false, true}));
    press(settings, IDCANCEL);
    ASSERT_TRUE(hidden(settings));
    EXPECT_EQ(program.readFile("ombrix.ini"), stored);
    EXPECT_TRUE(program.process().running());
}
