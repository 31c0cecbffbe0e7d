// Paths between the ANSI texts and the wide calls: exact conversion, the text shown, and a
// name of a folder that the ANSI code page holds.
#include <gtest/gtest.h>

#include <windows.h>

#include "tests/win/ProgramUnderTest.h"
#include "win32/WidePath.h"

using testing_support::FolderName;
using testing_support::ProgramUnderTest;

TEST(WidePathTest, AnsiTextGoesToWideAndBackExactly) {
    if (GetACP() != 1252) GTEST_SKIP() << "the example is of the Western code page";
    const std::string ansi = "C:\\Tools\\caf\xe9\\wl.txt";  // é in the Western code page
    EXPECT_EQ(win::narrowExactly(win::widen(ansi)), ansi);
    EXPECT_EQ(win::narrow(win::widen(ansi)), ansi);
    EXPECT_EQ(win::widen(""), L"");
}

TEST(WidePathTest, TextTheCodePageLacksIsNotExactButIsStillShown) {
    const std::wstring wide = L"C:\\Users\\\u0394\\bl.txt";
    EXPECT_EQ(win::narrowExactly(wide), std::nullopt);
    const std::string shown = win::narrow(wide);
    EXPECT_EQ(shown.rfind("C:\\Users\\", 0), 0u) << shown;
    EXPECT_EQ(shown.substr(shown.size() - 7), "\\bl.txt") << shown;
}

// One folder of each kind; the ANSI calls must reach the folder by the name given.
TEST(WidePathTest, AFolderIsNamedAsItIsWhenTheCodePageHoldsItAndByItsShortFormOtherwise) {
    ProgramUnderTest plain;
    EXPECT_EQ(win::ansiPathOf(plain.wideFolder()), plain.folder());

    ProgramUnderTest beyond("ombrix.exe", FolderName::BeyondAnsi);
    const std::string named = win::ansiPathOf(beyond.wideFolder());
    EXPECT_EQ(named.find('?'), std::string::npos) << named;
    EXPECT_EQ(named.back(), '\\');
    EXPECT_NE(GetFileAttributesA((named + "zarurarevidev.dll").c_str()), INVALID_FILE_ATTRIBUTES) << named;
    wchar_t longForm[MAX_PATH] = L"";
    ASSERT_NE(GetLongPathNameW(win::widen(named).c_str(), longForm, MAX_PATH), 0u) << named;
    EXPECT_EQ(lstrcmpiW(longForm, beyond.wideFolder().c_str()), 0) << named;
}
