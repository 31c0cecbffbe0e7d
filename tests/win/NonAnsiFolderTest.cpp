// The program installed in a folder whose name the ANSI code page cannot hold, as a user's
// own folder may be, and started from it: every file beside it opens, the table and the log
// that it opens by bare names in that folder work, and the library is told a name of the
// folder that it can use. One running copy for all of it.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/Form1.h"
#include "tests/win/ProgramUnderTest.h"
#include "tests/win/ScanTargets.h"
#include "tests/win/ShellHandler.h"

using testing_support::FolderName;
using testing_support::Process;
using testing_support::ProgramUnderTest;
using testing_support::ScanTargets;
using testing_support::ShellHandler;

namespace {

constexpr POINT kSettingButton{152 + 42, 296 + 12};
constexpr int kSpeedButton1 = 111;  // "Edit White List"
constexpr int kMemo1 = 102;
constexpr UINT_PTR kTimer2Id = 2;  // the scan timer

std::string converted(const std::wstring& wide, UINT codePage) {
    char text[MAX_PATH * 4] = "";
    WideCharToMultiByte(codePage, 0, wide.c_str(), -1, text, sizeof text, nullptr, nullptr);
    return text;
}

// What the program shows of a path: ANSI, as best the code page can.
std::string shownAs(const std::wstring& path) { return converted(path, CP_ACP); }

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) out.push_back(line);
    }
    return out;
}

// The StartHook calls that the recording library has written, as they were recorded.
std::vector<std::string> startCalls(const ProgramUnderTest& program) {
    std::vector<std::string> calls;
    for (const std::string& line : lines(program.readFile("hookcalls.txt")))
        if (line.rfind("StartHook|", 0) == 0) calls.push_back(line);
    return calls;
}

void press(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

bool hidden(HWND w) {
    return ProgramUnderTest::waitUntil([&] { return !IsWindowVisible(w); });
}

}  // namespace

TEST(NonAnsiFolderTest, EveryFileOpensTheScanLogsAndTheLibraryIsToldTheShortName) {
    ProgramUnderTest program("ombrix.exe", FolderName::BeyondAnsi);
    const std::wstring folder = program.wideFolder();
    ASSERT_NE(shownAs(folder), program.folder()) << "the folder's name must be one the ANSI code page lacks";
    ShellHandler chm(program, "chm.file", ".chm");
    ShellHandler log(program, "txtfile", ".log");

    // Encryption off in the settings file: without it the program would start the hook.
    // Keyloggers are stopped, by the shipped table alone.
    program.writeSwitches({false, true, false, false});
    program.writeFile("wl.txt", "a.exe\nb.exe");
    program.writeFile("bl.txt", "c.exe");
    program.writeFile("omx.chm", "help");
    ScanTargets targets(program.folder());
    Process& keylogger = targets.start("bpk.exe");  // Perfect Keylogger, in the shipped table
    // Held so that the list cannot be read: the box shows that the program looked for it
    // beside itself, and how it names the path.
    HANDLE held = CreateFileA(program.path("bl.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    program.start();
    HWND main = program.waitForMainWindow();
    ASSERT_TRUE(main);
    EXPECT_EQ(program.waitForMessageBox(15000), "Cannot open file " + shownAs(folder + L"bl.txt") + ".");
    program.dismissMessageBox();
    CloseHandle(held);
    // Every box of start-up (the library's, the table's) comes before the window shows.
    EXPECT_TRUE(ProgramUnderTest::waitUntilShown(main));
    HWND box = program.messageBox();
    ASSERT_EQ(box, nullptr) << testing_support::windowText(GetDlgItem(box, 0xFFFF));
    // The library was loaded and, the settings being read, not started.
    EXPECT_EQ(lines(program.readFile("hookcalls.txt")), std::vector<std::string>{"load"});

    ASSERT_TRUE(program.chooseFromTrayMenu(app::OpenKeyloggerEncryption1));
    ASSERT_TRUE(ProgramUnderTest::waitUntil([&] { return !startCalls(program).empty(); }));
    const std::string call = startCalls(program).front();
    const std::string argument = call.substr(10, call.find('|', 10) - 10);
    EXPECT_EQ(argument, program.folder()) << call;

    // A scan finds the keylogger in the table and writes the log in the program's folder.
    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutA(main, WM_TIMER, kTimer2Id, 0, SMTO_NORMAL, 60000, &answer));
    EXPECT_TRUE(ScanTargets::endedWithZero(keylogger));
    const std::vector<std::string> stopped{"Found keylogger bpk.exe", "bpk.exe have been stop"};
    EXPECT_EQ(testing_support::logMessages(program.readFile("keyloggerstop.log"), stopped), stopped);

    ASSERT_TRUE(program.chooseFromTrayMenu(app::Help1));
    ASSERT_TRUE(chm.waitForCall());
    EXPECT_NE(chm.calls().find(converted(folder + L"omx.chm", CP_UTF8)), std::string::npos) << chm.calls();
    ASSERT_TRUE(program.chooseFromTrayMenu(app::LogFile1));
    ASSERT_TRUE(ProgramUnderTest::waitUntil([&] { return lines(log.calls()).size() == 2; }, 20000)) << log.calls();
    EXPECT_NE(log.calls().find(converted(folder + L"keyloggerstop.log", CP_UTF8)), std::string::npos) << log.calls();

    // The list editor reads and writes the file beside the program, and the settings
    // dialog's Save writes the settings file.
    ProgramUnderTest::click(main, kSettingButton);
    HWND settings = program.waitForWindow("Ombrix Setting");
    ASSERT_TRUE(settings);
    press(settings, kSpeedButton1);
    HWND white = program.waitForWindow("Ombrix White List");
    ASSERT_TRUE(white);
    EXPECT_EQ(testing_support::windowText(GetDlgItem(white, kMemo1)), "a.exe\r\nb.exe");
    press(white, IDOK);
    ASSERT_TRUE(hidden(white));
    EXPECT_EQ(program.readFile("wl.txt"), "a.exe\r\nb.exe");
    // Saved once the dialog has closed, with encryption on as the menu left it.
    const std::string saved = "[main]\r\nenabledenc=1\r\nstopkeylog=1\r\nenabledwhite=0\r\nenabledblack=0\r\n";
    press(settings, IDOK);
    EXPECT_TRUE(ProgramUnderTest::waitUntil([&] { return program.readFile("ombrix.ini") == saved; }))
        << program.readFile("ombrix.ini");
}
