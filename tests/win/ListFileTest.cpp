// Process-list files on disk and the lookup with the system's comparison.
#include <gtest/gtest.h>

#include <windows.h>

#include <cctype>
#include <thread>

#include "settings/ListFile.h"
#include "settings/TextCompare.h"
#include "tests/support/EncipherCopy.h"
#include "tests/win/ProgramUnderTest.h"

using settings::ListFile;
using settings::ProcessList;
using testsupport::TempFolder;
using testsupport::writeFileText;
using Lines = std::vector<std::string>;

namespace {

ProcessList systemList(Lines lines = {}) {
    ProcessList list(&settings::compareTextIgnoringCase);
    list.assign(std::move(lines));
    return list;
}

std::string errorOf(auto call) {
    try {
        call();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "<no error>";
}

}  // namespace

TEST(ListFileTest, FileWithADuplicateAndAnEmptyLineLoadsThreeLines) {
    TempFolder folder;
    writeFileText(folder.file("bl.txt"), "notepad.exe\r\n\r\nnotepad.exe\r\n");
    ProcessList list = systemList({"old.exe"});
    ListFile(folder.file("bl.txt")).loadInto(list);
    EXPECT_EQ(list.lines(), (Lines{"notepad.exe", "", "notepad.exe"}));
    EXPECT_TRUE(list.contains("NOTEPAD.EXE"));
}

TEST(ListFileTest, MissingFileGivesAnEmptyListAndAnEmptyEditor) {
    TempFolder folder;
    ListFile file(folder.file("wl.txt"));
    ProcessList list = systemList({"old.exe"});
    file.loadInto(list);
    EXPECT_EQ(list.count(), 0u);
    EXPECT_EQ(file.editorText(), "");
    EXPECT_FALSE(file.exists());
}

TEST(ListFileTest, FolderOfTheFilesNameCountsAsNoFile) {
    TempFolder folder;
    CreateDirectoryA(folder.file("wl.txt").c_str(), nullptr);
    ListFile file(folder.file("wl.txt"));
    ProcessList list = systemList({"old.exe"});
    file.loadInto(list);
    EXPECT_EQ(list.count(), 0u);
    EXPECT_EQ(errorOf([&] { file.write("a.exe"); }), "Cannot create file " + folder.file("wl.txt"));
}

TEST(ListFileTest, WriteReplacesTheFileWithExactlyTheText) {
    TempFolder folder;
    ListFile file(folder.file("bl.txt"));
    writeFileText(file.path(), "a much longer earlier list\r\nwith two lines\r\n");
    file.write("one.exe\r\n\r\nTwo.EXE");
    EXPECT_EQ(testing_support::fileText(file.path()), "one.exe\r\n\r\nTwo.EXE");
    file.write("");
    EXPECT_TRUE(file.exists());
    EXPECT_EQ(testing_support::fileText(file.path()), "");
}

// A reader holds the file for a moment as the whole file is replaced (the encryption library
// reads the pass-through list as soon as its folder changes): the replacement waits for it,
// and one held for good fails with the file as it was and nothing left beside it.
TEST(ListFileTest, ReplaceWaitsForAReaderOfAMomentAndFailsCleanOnOneThatStays) {
    TempFolder folder;
    ListFile file(folder.file("pl.txt"));
    writeFileText(file.path(), "old.exe\r\n");
    const auto hold = [&] {
        return CreateFileA(file.path().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    };
    const auto leftBeside = [&] {
        WIN32_FIND_DATAA found;
        HANDLE any = FindFirstFileA(folder.file("*.tmp").c_str(), &found);
        if (any == INVALID_HANDLE_VALUE) return std::string();
        FindClose(any);
        return std::string(found.cFileName);
    };
    HANDLE moment = hold();
    ASSERT_NE(moment, INVALID_HANDLE_VALUE);
    std::string error;
    std::thread replacing([&] { error = errorOf([&] { file.replace("new.exe\r\n"); }); });
    // The new list is written beside the file while the reader still holds it.
    EXPECT_TRUE(testing_support::ProgramUnderTest::waitUntil([&] { return !leftBeside().empty(); }, 5000));
    CloseHandle(moment);
    replacing.join();
    EXPECT_EQ(error, "<no error>");
    EXPECT_EQ(testing_support::fileText(file.path()), "new.exe\r\n");

    HANDLE stays = CreateFileA(file.path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(stays, INVALID_HANDLE_VALUE);
    EXPECT_EQ(errorOf([&] { file.replace("x.exe"); }).rfind("Cannot create file " + file.path(), 0), 0u);
    CloseHandle(stays);
    EXPECT_EQ(testing_support::fileText(file.path()), "new.exe\r\n");
    EXPECT_EQ(leftBeside(), "");
}

TEST(ListFileTest, EditorShowsTheFileWithCrLfBreaksUpToANul) {
    TempFolder folder;
    ListFile file(folder.file("wl.txt"));
    writeFileText(file.path(), std::string("a.exe\nb.exe\rc.exe\r\n\0hidden.exe\r\n", 31));
    EXPECT_EQ(file.editorText(), "a.exe\r\nb.exe\r\nc.exe\r\n");
    ProcessList list = systemList();
    file.loadInto(list);
    EXPECT_EQ(list.lines(), (Lines{"a.exe", "b.exe", "c.exe"}));
}

TEST(ListFileTest, FileHeldByAnotherProgramRaisesAndLeavesTheListAsItWas) {
    TempFolder folder;
    ListFile file(folder.file("bl.txt"));
    writeFileText(file.path(), "new.exe");
    HANDLE held = CreateFileA(file.path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ProcessList list = systemList({"old.exe"});
    EXPECT_EQ(errorOf([&] { file.loadInto(list); }).rfind("Cannot open file " + file.path(), 0), 0u);
    EXPECT_EQ(list.lines(), Lines{"old.exe"});
    EXPECT_EQ(errorOf([&] { file.write("x"); }).rfind("Cannot create file " + file.path(), 0), 0u);
    CloseHandle(held);
    EXPECT_EQ(testing_support::fileText(file.path()), "new.exe");
}

TEST(SystemListLookupTest, LettersMatchWhateverTheirCaseAndNothingElseDoes) {
    ProcessList list = systemList({"KeyLogger.EXE", " notepad.exe", "calc.exe ", "C:\\spy.exe", "", "zz.exe"});
    EXPECT_TRUE(list.contains("keylogger.exe"));
    EXPECT_TRUE(list.contains("KEYLOGGER.exe"));
    EXPECT_FALSE(list.contains("notepad.exe"));
    EXPECT_FALSE(list.contains("calc.exe"));
    EXPECT_FALSE(list.contains("spy.exe"));
    EXPECT_FALSE(list.contains("keylogger.ex"));
}

TEST(SystemListLookupTest, AccentedLettersMatchTheirOtherCase) {
    // "ÉTÉ.EXE" and "été.exe" in the ANSI code page.
    ProcessList list = systemList({"a.exe", "\xc9T\xc9.EXE", "z.exe"});
    EXPECT_TRUE(list.contains("\xe9t\xe9.exe"));
    EXPECT_FALSE(list.contains("ete.exe"));
}

TEST(SystemListLookupTest, FindsEveryLineOfALongListInAnyCase) {
    Lines lines;
    for (int i = 0; i < 60; ++i) lines.push_back((i % 2 ? "Proc-" : "proc_") + std::to_string(i * 37 % 60) + ".EXE");
    ProcessList list = systemList(lines);
    for (std::string name : lines) {
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_TRUE(list.contains(name)) << name;
    }
    EXPECT_EQ(list.count(), 60u);
}
