// The list editors in this process: real dialogs, real files, and a second thread acting as
// the user while the editor's modal loop runs on the test's thread.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <thread>

#include "settings/SetupForm.h"
#include "settings/SetupFormB.h"
#include "settings/SetupFormP.h"
#include "settings/SetupFormW.h"
#include "settings/TextCompare.h"
#include "tests/support/EncipherCopy.h"
#include "tests/win/ProgramUnderTest.h"
#include "win32/Application.h"

using settings::ListEditor;
using settings::ListFile;
using settings::ProcessList;
using testing_support::ProgramUnderTest;
using testing_support::windowText;
using testsupport::TempFolder;
using Lines = std::vector<std::string>;

namespace {

bool visible(HWND w) { return IsWindowVisible(w) != FALSE; }

void press(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void setMemo(HWND editor, const std::string& text) {
    SendMessageA(GetDlgItem(editor, ListEditor::Memo1), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// The error box of this process, if one is showing.
HWND errorBox() {
    HWND box = FindWindowA("#32770", "Ombrix");
    return box && visible(box) && GetDlgItem(box, 0xFFFF) ? box : nullptr;
}

// Runs `user` on a second thread while this thread runs `modal`. Whatever `user` leaves
// showing is cancelled, so that a failed step cannot hang the test.
template <typename Result>
Result whileUserActs(std::function<Result()> modal, std::function<void()> user, std::vector<HWND> dialogs) {
    std::thread acting([&] {
        user();
        for (HWND d : dialogs)
            if (visible(d)) press(d, IDCANCEL);
    });
    Result result = modal();
    acting.join();
    return result;
}

struct Lists : ::testing::Test {
    void SetUp() override { win::Application::setTitle("Ombrix"); }
    std::string path(const char* name) const { return folder.file(name); }
    void write(const char* name, const std::string& text) const {
        testsupport::writeFileText(path(name), text);
    }
    ProcessList list() const { return ProcessList(&settings::compareTextIgnoringCase); }

    TempFolder folder;
};

class ListEditorTest : public Lists {};

}  // namespace

TEST_F(ListEditorTest, EditorsCarryTheirCaptionsInstructionAndButtons) {
    settings::Tsetupformw white(nullptr, ListFile(path("wl.txt")));
    settings::Tsetupformb black(nullptr, ListFile(path("bl.txt")));
    settings::Tsetupformp pass(nullptr, ListFile(path("pl.txt")));
    EXPECT_EQ(windowText(white.hwnd()), "Ombrix White List");
    EXPECT_EQ(windowText(black.hwnd()), "Ombrix  Blacklist");
    EXPECT_EQ(windowText(pass.hwnd()), "Ombrix Pass-through List");
    for (HWND editor : {white.hwnd(), black.hwnd(), pass.hwnd()}) {
        EXPECT_EQ(windowText(GetDlgItem(editor, ListEditor::Label1)),
                  "exe file list  , one per line ( For example: keylogger.exe )");
        EXPECT_EQ(windowText(GetDlgItem(editor, IDOK)), "Save");
        EXPECT_EQ(windowText(GetDlgItem(editor, IDCANCEL)), "Cancel");
        EXPECT_TRUE(GetWindowLongA(editor, GWL_EXSTYLE) & WS_EX_TOPMOST);
        EXPECT_FALSE(GetWindowLongA(editor, GWL_STYLE) & WS_SYSMENU) << "no title-bar buttons";
        EXPECT_FALSE(visible(editor)) << "created hidden";
    }
}

TEST_F(ListEditorTest, EditorShowsTheFileNotTheListAndCancelChangesNothing) {
    write("wl.txt", "a.exe\nb.exe");
    settings::Tsetupformw editor(nullptr, ListFile(path("wl.txt")));
    ProcessList white = list();
    white.assign({"in-memory.exe"});
    std::string shown;
    bool saved = whileUserActs<bool>([&] { return editor.edit(white); },
                                     [&] {
                                         ProgramUnderTest::waitUntil([&] { return visible(editor.hwnd()); });
                                         shown = windowText(GetDlgItem(editor.hwnd(), ListEditor::Memo1));
                                         setMemo(editor.hwnd(), "typed.exe");
                                         press(editor.hwnd(), IDCANCEL);
                                     },
                                     {editor.hwnd()});
    EXPECT_FALSE(saved);
    EXPECT_EQ(shown, "a.exe\r\nb.exe");
    EXPECT_EQ(white.lines(), Lines{"in-memory.exe"});
    EXPECT_EQ(testing_support::fileText(path("wl.txt")), "a.exe\nb.exe");
}

TEST_F(ListEditorTest, SaveWritesCrLfBetweenLinesWithoutAFinalBreakAndReloadsTheList) {
    settings::Tsetupformb editor(nullptr, ListFile(path("bl.txt")));
    ProcessList black = list();
    black.assign({"old.exe"});
    std::string shown = "<not shown>";
    bool saved = whileUserActs<bool>([&] { return editor.edit(black); },
                                     [&] {
                                         ProgramUnderTest::waitUntil([&] { return visible(editor.hwnd()); });
                                         shown = windowText(GetDlgItem(editor.hwnd(), ListEditor::Memo1));
                                         setMemo(editor.hwnd(), "one.exe\r\n\r\nTwo.EXE");
                                         press(editor.hwnd(), IDOK);
                                         ProgramUnderTest::waitUntil([&] { return !visible(editor.hwnd()); });
                                     },
                                     {editor.hwnd()});
    EXPECT_TRUE(saved);
    EXPECT_EQ(shown, "") << "no file: an empty editor";
    EXPECT_EQ(testing_support::fileText(path("bl.txt")), "one.exe\r\n\r\nTwo.EXE");
    EXPECT_EQ(black.lines(), (Lines{"one.exe", "", "Two.EXE"}));
    EXPECT_TRUE(black.contains("two.exe"));
    EXPECT_FALSE(black.contains("old.exe"));
}

TEST_F(ListEditorTest, SavingAnEmptyEditorWritesAnEmptyFileAndEmptiesTheList) {
    write("wl.txt", "a.exe\r\n");
    settings::Tsetupformw editor(nullptr, ListFile(path("wl.txt")));
    ProcessList white = list();
    white.assign({"a.exe"});
    whileUserActs<bool>([&] { return editor.edit(white); },
                        [&] {
                            ProgramUnderTest::waitUntil([&] { return visible(editor.hwnd()); });
                            setMemo(editor.hwnd(), "");
                            press(editor.hwnd(), IDOK);
                            ProgramUnderTest::waitUntil([&] { return !visible(editor.hwnd()); });
                        },
                        {editor.hwnd()});
    EXPECT_TRUE(ListFile(path("wl.txt")).exists());
    EXPECT_EQ(testing_support::fileText(path("wl.txt")), "");
    EXPECT_EQ(white.count(), 0u);
}

TEST_F(ListEditorTest, FileThatCannotBeCreatedKeepsTheEditorOpenWithTheUsersText) {
    // A folder where the file should be: the system cannot create it.
    CreateDirectoryA(path("bl.txt").c_str(), nullptr);
    settings::Tsetupformb editor(nullptr, ListFile(path("bl.txt")));
    ProcessList black = list();
    black.assign({"old.exe"});
    std::string error = "<no error box>", keptText;
    bool stillShowing = false;
    Lines listMeanwhile;
    bool saved = whileUserActs<bool>(
        [&] { return editor.edit(black); },
        [&] {
            ProgramUnderTest::waitUntil([&] { return visible(editor.hwnd()); });
            setMemo(editor.hwnd(), "typed.exe\r\nmore.exe");
            press(editor.hwnd(), IDOK);
            HWND box = nullptr;
            if (ProgramUnderTest::waitUntil([&] { return (box = errorBox()) != nullptr; })) {
                error = windowText(GetDlgItem(box, 0xFFFF));
                PostMessageA(box, WM_COMMAND, IDOK, 0);
                ProgramUnderTest::waitUntil([&] { return !IsWindow(box); });
            }
            // The Save handler that showed the box has ended: had it closed the editor, it
            // would be hidden now.
            ProgramUnderTest::settled(editor.hwnd());
            stillShowing = visible(editor.hwnd());
            keptText = windowText(GetDlgItem(editor.hwnd(), ListEditor::Memo1));
            listMeanwhile = black.lines();
            // The user clears the way and saves again.
            RemoveDirectoryA(path("bl.txt").c_str());
            press(editor.hwnd(), IDOK);
            ProgramUnderTest::waitUntil([&] { return !visible(editor.hwnd()); });
        },
        {editor.hwnd()});
    EXPECT_EQ(error, "Cannot create file " + path("bl.txt") + ".");
    EXPECT_TRUE(stillShowing);
    EXPECT_EQ(keptText, "typed.exe\r\nmore.exe");
    EXPECT_EQ(listMeanwhile, Lines{"old.exe"});
    EXPECT_TRUE(saved);
    EXPECT_EQ(testing_support::fileText(path("bl.txt")), "typed.exe\r\nmore.exe");
    EXPECT_EQ(black.lines(), (Lines{"typed.exe", "more.exe"}));
}

TEST_F(ListEditorTest, FileThatCannotBeReadIsReportedAndTheEditorDoesNotOpen) {
    write("wl.txt", "a.exe");
    HANDLE held = CreateFileA(path("wl.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    settings::Tsetupformw editor(nullptr, ListFile(path("wl.txt")));
    ProcessList white = list();
    EXPECT_THROW(editor.edit(white), std::exception);
    EXPECT_FALSE(visible(editor.hwnd()));
    CloseHandle(held);
    EXPECT_EQ(testing_support::fileText(path("wl.txt")), "a.exe");
}

TEST_F(ListEditorTest, SavedListIsInForceEvenWhenTheSettingsDialogIsCancelled) {
    write("bl.txt", "old.exe");
    settings::Tsetupform setupform(nullptr);
    settings::Tsetupformb editor(nullptr, ListFile(path("bl.txt")));
    ProcessList black = list();
    ListFile(path("bl.txt")).loadInto(black);
    setupform.OnEditBlackList = [&] { editor.edit(black); };
    bool settingsDisabledUnderTheEditor = false, settingsEnabledAfter = false;
    int result = whileUserActs<int>(
        [&] { return setupform.showModal(); },
        [&] {
            ProgramUnderTest::waitUntil([&] { return visible(setupform.hwnd()); });
            press(setupform.hwnd(), settings::Tsetupform::SpeedButton2);
            ProgramUnderTest::waitUntil([&] { return visible(editor.hwnd()); });
            settingsDisabledUnderTheEditor = !IsWindowEnabled(setupform.hwnd());
            setMemo(editor.hwnd(), "old.exe\r\nNew.exe");
            press(editor.hwnd(), IDOK);
            ProgramUnderTest::waitUntil([&] { return !visible(editor.hwnd()); });
            settingsEnabledAfter = IsWindowEnabled(setupform.hwnd()) != FALSE;
            press(setupform.hwnd(), settings::Tsetupform::BitBtn3);
        },
        {editor.hwnd(), setupform.hwnd()});
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_TRUE(settingsDisabledUnderTheEditor) << "the editor is modal over the settings dialog";
    EXPECT_TRUE(settingsEnabledAfter);
    EXPECT_TRUE(black.contains("new.exe"));
    EXPECT_EQ(testing_support::fileText(path("bl.txt")), "old.exe\r\nNew.exe");
}
