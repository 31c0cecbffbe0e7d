// The keylogger table in the running program: opened from its folder at the first showing,
// its open error shown in the error box with the settings left unread, and tried again at
// the next showing.
#include <gtest/gtest.h>

#include "tests/win/ProgramUnderTest.h"

using testing_support::ProgramUnderTest;

namespace {

constexpr POINT kSettingButton{152 + 42, 296 + 12};
constexpr UINT kActivateInstance = WM_USER + 0x1000;
enum { CheckBox1 = 101, CheckBox2, CheckBox3, CheckBox4 };

bool visible(HWND w) { return IsWindowVisible(w) != FALSE; }

// The four switches as the settings dialog shows them: read from the (missing) settings
// file they are all on; not read they are all off.
std::vector<bool> switchesShown(const ProgramUnderTest& program, HWND main) {
    ProgramUnderTest::click(main, kSettingButton);
    HWND dialog = program.waitForWindow("Ombrix Setting");
    std::vector<bool> on;
    if (!dialog) return on;
    for (int id : {CheckBox1, CheckBox2, CheckBox3, CheckBox4})
        on.push_back(SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
    ProgramUnderTest::waitUntil([&] { return !visible(dialog); });
    return on;
}

const std::vector<bool> kAllOn{true, true, true, true};
const std::vector<bool> kAllOff{false, false, false, false};

}  // namespace

TEST(KeyloggerTableInProgramTest, ShippedDatabaseOpensAtTheFirstShowingAndTheSettingsAreRead) {
    ProgramUnderTest program;
    program.start();
    HWND main = program.waitForMainWindow();
    ASSERT_TRUE(main);
    // An open error would be shown by the first showing, before the window is visible.
    ASSERT_TRUE(ProgramUnderTest::waitUntilShown(main));
    EXPECT_EQ(program.messageBox(), nullptr) << "no error box";
    EXPECT_EQ(switchesShown(program, main), kAllOn);
}

TEST(KeyloggerTableInProgramTest, MissingTableShowsTheOpenErrorAndTheNextShowingTriesAgain) {
    ProgramUnderTest program;
    ASSERT_TRUE(DeleteFileA(program.path("keyloggerlist.dbf").c_str()));
    program.start();
    EXPECT_EQ(program.waitForMessageBox(15000), "Cannot find file keyloggerlist.dbf.");
    program.dismissMessageBox();
    HWND main = program.waitForMainWindow();
    ASSERT_TRUE(main);
    ASSERT_TRUE(ProgramUnderTest::waitUntilShown(main));
    EXPECT_EQ(switchesShown(program, main), kAllOff) << "the settings were not read";

    // Back from the tray with the table in place: the loading step runs again, silently.
    PostMessageA(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(ProgramUnderTest::waitUntil([&] { return !visible(main); }));
    ASSERT_TRUE(CopyFileA((std::string(OMBRIX_PROGRAM_DIR) + "\\keyloggerlist.dbf").c_str(),
                          program.path("keyloggerlist.dbf").c_str(), FALSE));
    PostMessageA(main, kActivateInstance, 0, 0);
    ASSERT_TRUE(ProgramUnderTest::waitUntilShown(main));
    EXPECT_EQ(program.messageBox(), nullptr);
    EXPECT_EQ(switchesShown(program, main), kAllOn);
}

TEST(KeyloggerTableInProgramTest, MissingIndexShowsItsOwnOpenError) {
    ProgramUnderTest program;
    ASSERT_TRUE(DeleteFileA(program.path("keyloggerlist.cdx").c_str()));
    program.start();
    EXPECT_EQ(program.waitForMessageBox(15000), "Cannot find file KEYLOGGERLIST.CDX.");
    program.dismissMessageBox();
}

TEST(KeyloggerTableInProgramTest, TableThatIsNotEncipheredIsRefusedByTheEngine) {
    ProgramUnderTest program;
    // A table whose encryption flag is clear, under the name of the shipped one.
    std::string table = program.readFile("keyloggerlist.dbf");
    ASSERT_GT(table.size(), 32u);
    table[15] = 0;
    program.writeFile("keyloggerlist.dbf", table);
    program.start();
    const std::string shown = program.waitForMessageBox(15000);
    EXPECT_EQ(shown.rfind("A Password is included for unencrypted file ", 0), 0u) << shown;
    EXPECT_NE(shown.find("KEYLOGGERLIST.DBF"), std::string::npos) << shown;
    program.dismissMessageBox();
}
