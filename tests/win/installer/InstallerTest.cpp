// The installer that scripts/package makes, run silently under Wine: what it installs and
// where, its shortcuts and their start-in folder, the start at logon, the uninstall record,
// the uninstaller that ends a running copy as a logoff does and keeps the user's files, and an
// installation over an earlier one.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "generated/Version.h"
#include "tests/win/TrayTips.h"
#include "tests/win/installer/Installation.h"

using testing_support::Installation;
using testing_support::ProgramUnderTest;
using testing_support::shellFolder;
using testing_support::uninstallDword;
using testing_support::uninstallString;

namespace {

using Files = std::vector<std::string>;

const Files kUserFiles{"bl.txt", "keyloggerstop.log", "ombrix.ini", "pl.txt", "wl.txt"};

bool visible(HWND w) { return IsWindowVisible(w) != FALSE; }

std::string startMenuLink() { return shellFolder(CSIDL_PROGRAMS) + "Ombrix.lnk"; }
std::string logonLink() { return shellFolder(CSIDL_STARTUP) + "Ombrix.lnk"; }

// Windows paths compare without regard to case.
bool sameText(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }
#define EXPECT_SAME_PATH(actual, expected) EXPECT_PRED2(sameText, actual, expected)

std::string withoutTrailingSlash(std::string folder) {
    if (!folder.empty() && folder.back() == '\\') folder.pop_back();
    return folder;
}

// The user's files as a run of the program and the user leave them.
void writeUserFiles(const Installation& installed) {
    installed.writeFile("ombrix.ini", "[main]\r\nenabledenc=0\r\nstopkeylog=1\r\n");
    installed.writeFile("wl.txt", "notepad.exe\r\n");
    installed.writeFile("bl.txt", "badtool.exe\r\n");
    installed.writeFile("pl.txt", "game.exe\r\n");
    installed.writeFile("keyloggerstop.log", "01/02/2024 10:00:00 Found keylogger x.exe\r\n");
}

void expectUserFilesUntouched(const Installation& installed) {
    EXPECT_EQ(installed.readFile("ombrix.ini"), "[main]\r\nenabledenc=0\r\nstopkeylog=1\r\n");
    EXPECT_EQ(installed.readFile("wl.txt"), "notepad.exe\r\n");
    EXPECT_EQ(installed.readFile("bl.txt"), "badtool.exe\r\n");
    EXPECT_EQ(installed.readFile("pl.txt"), "game.exe\r\n");
    EXPECT_EQ(installed.readFile("keyloggerstop.log"), "01/02/2024 10:00:00 Found keylogger x.exe\r\n");
}

Files sorted(Files files) {
    std::sort(files.begin(), files.end());
    return files;
}

Files shippedAndUserFiles() {
    Files all = Installation::shippedFiles();
    all.insert(all.end(), kUserFiles.begin(), kUserFiles.end());
    return sorted(all);
}

// A folder to be the current one that holds no keylogger table.
struct OtherCurrentFolder {
    std::string folder;
    char saved[MAX_PATH] = "";
    OtherCurrentFolder() {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder = std::string(temp) + "ombrix-elsewhere-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(folder.c_str(), nullptr);
        GetCurrentDirectoryA(MAX_PATH, saved);
        SetCurrentDirectoryA(folder.c_str());
    }
    ~OtherCurrentFolder() {
        SetCurrentDirectoryA(saved);
        RemoveDirectoryA(folder.c_str());
    }
};

// A window of the program's class in this process that agrees to end at logoff but then
// refuses to close, as a copy stuck in a modal loop would: the uninstaller must give up
// rather than kill it.
class CopyThatWillNotEnd {
public:
    CopyThatWillNotEnd() {
        thread_ = std::thread([this] { run(); });
        ProgramUnderTest::waitUntil([this] { return window_ != nullptr; });
    }
    ~CopyThatWillNotEnd() {
        if (window_) PostMessageA(window_, WM_APP, 0, 0);
        thread_.join();
    }
    HWND window() const { return window_; }

private:
    static LRESULT CALLBACK proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
        switch (msg) {
        case WM_QUERYENDSESSION: return 1;
        case WM_CLOSE: return 0;
        case WM_APP: DestroyWindow(w); return 0;
        case WM_DESTROY: PostQuitMessage(0); return 0;
        default: return DefWindowProcA(w, msg, wp, lp);
        }
    }
    void run() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "Ombrix";
        RegisterClassA(&wc);
        window_ = CreateWindowA("Ombrix", "Ombrix", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
        MSG m;
        while (GetMessageA(&m, nullptr, 0, 0) > 0) DispatchMessageA(&m);
        UnregisterClassA("Ombrix", wc.hInstance);
    }
    std::atomic<HWND> window_{nullptr};
    std::thread thread_;
};

}  // namespace

TEST(SilentInstallTest, PutsExactlyTheProgramFilesAndTheUninstallerInTheChosenFolder) {
    Installation installed;
    ASSERT_EQ(installed.install(), 0u);
    EXPECT_EQ(testing_support::filesBelow(installed.folder()), Installation::shippedFiles());
    // The data files go in as the build made them.
    EXPECT_EQ(installed.readFile("keyloggerlist.dbf"), testing_support::fileText(OMBRIX_PROGRAM_DIR "\\keyloggerlist.dbf"));
    EXPECT_EQ(installed.readFile("keyloggerlist.cdx"), testing_support::fileText(OMBRIX_PROGRAM_DIR "\\keyloggerlist.cdx"));
}

TEST(SilentInstallTest, GoesIntoTheUsersLocalProgramsFolderWhenNotToldWhere) {
    Installation installed(Installation::Where::DefaultFolder);
    ASSERT_EQ(installed.install("", false), 0u);
    EXPECT_TRUE(installed.exists("ombrix.exe")) << installed.folder();
    EXPECT_SAME_PATH(uninstallString("InstallLocation"), withoutTrailingSlash(installed.folder()));
}

// The shortcut at `linkPath` starts the installed program with `arguments`, in its folder.
static void expectShortcutStartsTheProgramInItsFolder(const std::string& linkPath, const Installation& installed,
                                                      const std::string& arguments) {
    auto link = testing_support::readShortcut(linkPath);
    ASSERT_TRUE(link.exists) << linkPath;
    EXPECT_SAME_PATH(link.target, installed.path("ombrix.exe"));
    EXPECT_EQ(link.arguments, arguments);
    EXPECT_SAME_PATH(withoutTrailingSlash(link.workingFolder), withoutTrailingSlash(installed.folder()));
}

TEST(SilentInstallTest, StartMenuShortcutStartsTheProgramInItsFolder) {
    Installation installed;
    ASSERT_EQ(installed.install(), 0u);
    expectShortcutStartsTheProgramInItsFolder(startMenuLink(), installed, "");
}

TEST(SilentInstallTest, LogonShortcutStartsTheProgramHiddenInItsFolderByDefault) {
    Installation installed;
    ASSERT_EQ(installed.install(), 0u);
    expectShortcutStartsTheProgramInItsFolder(logonLink(), installed, "h");
    EXPECT_EQ(uninstallDword("StartAtLogon"), 1);
}

TEST(SilentInstallTest, RecordsItsUninstallerForTheUserAlone) {
    Installation installed;
    ASSERT_EQ(installed.install(), 0u);
    EXPECT_EQ(uninstallString("DisplayName"), "Ombrix");
    EXPECT_EQ(uninstallString("DisplayVersion"), OMBRIX_VERSION_TEXT);
    EXPECT_EQ(uninstallString("Publisher"), "Ombrix");
    EXPECT_SAME_PATH(uninstallString("DisplayIcon"), installed.path("ombrix.exe") + ",0");
    EXPECT_SAME_PATH(uninstallString("UninstallString"), "\"" + installed.path("uninstall.exe") + "\"");
    EXPECT_SAME_PATH(uninstallString("QuietUninstallString"), "\"" + installed.path("uninstall.exe") + "\" /S");
    // In KiB, at least the program itself.
    WIN32_FILE_ATTRIBUTE_DATA exe{};
    ASSERT_TRUE(GetFileAttributesExA(installed.path("ombrix.exe").c_str(), GetFileExInfoStandard, &exe));
    EXPECT_GE(uninstallDword("EstimatedSize"), static_cast<long long>(exe.nFileSizeLow / 1024));
    HKEY machine = nullptr;
    EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, testing_support::kUninstallKey, 0, KEY_READ, &machine), ERROR_SUCCESS)
        << "nothing is recorded for every user";
    if (machine) RegCloseKey(machine);
}

TEST(SilentInstallTest, SignedInstallerInstallsSignedProgramAndUninstaller) {
    // The tests run the installer that the packaging test signed with its throw-away certificate.
    Installation installed;
    ASSERT_EQ(installed.install(), 0u);
    EXPECT_TRUE(testing_support::hasSignature(installed.path("ombrix.exe")));
    EXPECT_TRUE(testing_support::hasSignature(installed.path("uninstall.exe")));
    EXPECT_FALSE(testing_support::hasSignature(installed.path("keyloggerlist.dbf")));
}

TEST(LogonStartTest, StartsFromAnotherCurrentFolderFindsItsTableAndGoesToTheTray) {
    Installation installed;
    ASSERT_EQ(installed.install(), 0u);
    OtherCurrentFolder elsewhere;
    auto& program = installed.startAsShortcut(logonLink());
    HWND w = installed.waitForMainWindow();
    ASSERT_TRUE(w);
    ASSERT_TRUE(ProgramUnderTest::waitUntil([&] { return visible(w); }));
    // The table opens at the first showing, and its error would be on screen from then on;
    // going to the tray five seconds later follows it.
    Files shown;
    EXPECT_TRUE(ProgramUnderTest::waitUntil(
        [&] {
            for (const std::string& text : testing_support::messageBoxTexts(program.pid())) shown.push_back(text);
            return !visible(w);
        },
        10000))
        << "the argument h";
    EXPECT_EQ(shown, Files{}) << "the table was found, and the library beside the program loaded";
    // The installed library's hook runs: the tray says so.
    const std::string running = "Ombrix - Keyboard Encryption Protection Running ...";
    std::vector<std::string> tips;
    EXPECT_TRUE(ProgramUnderTest::waitUntil([&] {
        tips = testing_support::trayTips();
        return std::find(tips.begin(), tips.end(), running) != tips.end();
    })) << "tray tips: " << (tips.empty() ? std::string("none") : tips.front());
    EXPECT_EQ(testing_support::endAsAtLogoff(w, program), 0u);
}

TEST(LogonStartTest, StartedInAnotherFolderWithoutItsOwnTheProgramMissesItsTable) {
    // What the start-in folder of the logon shortcut prevents.
    Installation installed;
    ASSERT_EQ(installed.install(), 0u);
    OtherCurrentFolder elsewhere;
    auto& program = installed.start("h", elsewhere.folder);
    Files shown;
    ProgramUnderTest::waitUntil([&] { return !(shown = testing_support::messageBoxTexts(program.pid())).empty(); }, 15000);
    EXPECT_EQ(shown, Files{"Cannot find file keyloggerlist.dbf."});
}

TEST(UninstallTest, SilentUninstallEndsTheRunningCopyCleanlyAndKeepsTheUsersFiles) {
    Installation installed;
    ASSERT_EQ(installed.install(), 0u);
    writeUserFiles(installed);
    auto& program = installed.startAsShortcut(startMenuLink());
    HWND w = installed.waitForMainWindow();
    ASSERT_TRUE(w);
    ASSERT_TRUE(ProgramUnderTest::waitUntil([&] { return visible(w); }));

    ASSERT_TRUE(installed.uninstall());
    // Code 0 is the program's own end; it was not killed.
    EXPECT_EQ(program.waitForExit(15000), 0u);
    EXPECT_EQ(testing_support::filesBelow(installed.folder()), kUserFiles);
    expectUserFilesUntouched(installed);
    EXPECT_EQ(GetFileAttributesA(startMenuLink().c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA(logonLink().c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(testing_support::uninstallRecordExists());
}

TEST(UninstallTest, WithNothingOfTheUsersTheFolderGoesToo) {
    Installation installed;
    ASSERT_EQ(installed.install(), 0u);
    ASSERT_TRUE(installed.uninstall());
    EXPECT_EQ(GetFileAttributesA(installed.folder().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(UninstallTest, FilesThatTheInstallerDidNotPutThereStay) {
    Installation installed;
    ASSERT_EQ(installed.install(), 0u);
    installed.writeFile("notes.txt", "mine");
    ASSERT_TRUE(installed.uninstall());
    EXPECT_EQ(testing_support::filesBelow(installed.folder()), Files{"notes.txt"});
}

TEST(UninstallTest, RemovesTheUsersFilesAndTheFolderWhenAskedTo) {
    // /REMOVEUSERFILES is the components page's option, off by default.
    Installation installed;
    ASSERT_EQ(installed.install(), 0u);
    writeUserFiles(installed);
    ASSERT_TRUE(installed.uninstall("/REMOVEUSERFILES"));
    EXPECT_EQ(GetFileAttributesA(installed.folder().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(UninstallTest, ACopyThatWillNotEndIsNeverKilledAndNothingIsRemoved) {
    Installation installed;
    ASSERT_EQ(installed.install(), 0u);
    writeUserFiles(installed);
    CopyThatWillNotEnd stuck;
    ASSERT_TRUE(stuck.window());
    // Run in place (_?=) so that its own end is the uninstallation's: 2 is a run given up.
    DWORD code = testing_support::runAndWait(
        "\"" + installed.path("uninstall.exe") + "\" /S _?=" + withoutTrailingSlash(installed.folder()), 90000);
    EXPECT_EQ(code, 2u);
    EXPECT_TRUE(IsWindow(stuck.window())) << "the uninstaller killed the running copy";
    EXPECT_EQ(testing_support::filesBelow(installed.folder()), shippedAndUserFiles());
    EXPECT_TRUE(testing_support::uninstallRecordExists());
}

TEST(InstallOverTest, KeepsTheUsersFilesAndTheFolderAndEndsTheRunningCopyCleanly) {
    Installation installed;
    ASSERT_EQ(installed.install(), 0u);
    writeUserFiles(installed);
    auto& program = installed.startAsShortcut(startMenuLink());
    HWND w = installed.waitForMainWindow();
    ASSERT_TRUE(w);
    ASSERT_TRUE(ProgramUnderTest::waitUntil([&] { return visible(w); }));

    // Not told where: the earlier installation's folder.
    ASSERT_EQ(installed.install("", false), 0u);
    EXPECT_EQ(program.waitForExit(15000), 0u);
    EXPECT_EQ(testing_support::filesBelow(installed.folder()), shippedAndUserFiles());
    expectUserFilesUntouched(installed);
    EXPECT_SAME_PATH(uninstallString("InstallLocation"), withoutTrailingSlash(installed.folder()));
    EXPECT_EQ(uninstallString("DisplayVersion"), OMBRIX_VERSION_TEXT);
}

TEST(InstallOverTest, KeepsTheUsersChoiceOfNoStartAtLogon) {
    Installation installed;
    ASSERT_EQ(installed.install(), 0u);
    // As an installation with the logon option unticked leaves them.
    ASSERT_TRUE(DeleteFileA(logonLink().c_str()));
    testing_support::setUninstallDword("StartAtLogon", 0);

    ASSERT_EQ(installed.install("", false), 0u);
    EXPECT_EQ(GetFileAttributesA(logonLink().c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(uninstallDword("StartAtLogon"), 0);
    EXPECT_TRUE(testing_support::readShortcut(startMenuLink()).exists);
}
