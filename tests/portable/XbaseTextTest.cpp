// The one home of the engine's and the scan's letter case and trimming: what each rule
// reaches and what it leaves alone.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "dbf/core/XbaseText.h"

namespace {

using namespace std::string_literals;

TEST(XbaseTextTest, LetterCaseReachesTheAsciiLettersOnly) {
    EXPECT_EQ(dbf::upperAscii("keylog-1.exe [z]"), "KEYLOG-1.EXE [Z]");
    EXPECT_EQ(dbf::lowerAscii("KEYLOG-1.EXE @Z"), "keylog-1.exe @z");
    EXPECT_EQ(dbf::upperAscii("\xe9t\xe9"), "\xe9T\xe9") << "ANSI letters keep their case";
    EXPECT_EQ(dbf::upperAscii('`'), '`');
    EXPECT_EQ(dbf::upperAscii('{'), '{');
    EXPECT_EQ(dbf::lowerAscii('@'), '@');
    EXPECT_EQ(dbf::lowerAscii('['), '[');
}

TEST(XbaseTextTest, NamesCompareWithoutAsciiCaseAndWithEveryOtherByte) {
    EXPECT_TRUE(dbf::equalNoCase("Explorer.EXE", "eXPLORER.exe"));
    EXPECT_FALSE(dbf::equalNoCase("EXPLORER.EX\xc9", "explorer.ex\xe9"));
    EXPECT_FALSE(dbf::equalNoCase("NAME", "NAME "));
    EXPECT_FALSE(dbf::equalNoCase("@", "`"));
    EXPECT_TRUE(dbf::equalNoCase("", ""));
}

TEST(XbaseTextTest, XbaseTrimmingTakesBlanksOnly) {
    EXPECT_EQ(dbf::trimRight("  AB \t  "), "  AB \t");
    EXPECT_EQ(dbf::trimLeft("  \tAB  "), "\tAB  ");
    EXPECT_EQ(dbf::trimBlanks("   "), "");
    EXPECT_EQ(dbf::trimBlanks(" A B "), "A B");
}

TEST(XbaseTextTest, NamesLoseTheGivenBytesAtEitherEnd) {
    EXPECT_EQ(dbf::trimBlanks(" \t SPDLL\t ", dbf::kBlanksAndTabs), "SPDLL");
    EXPECT_EQ(dbf::trimBlanks("\rSPDLL\r", dbf::kBlanksAndTabs), "\rSPDLL\r");
    EXPECT_EQ(dbf::trimRight("x = y \r", " \t\r"), "x = y");
    EXPECT_EQ(dbf::trimLeft("\t\t", dbf::kBlanksAndTabs), "");
}

TEST(XbaseTextTest, FileNamesLoseEveryControlByteAndBlankAtEitherEnd) {
    EXPECT_EQ(dbf::trimControls("\0\t\r\n KEYS.DBF \x1f\x01"s), "KEYS.DBF");
    EXPECT_EQ(dbf::trimControls("\xa0KEYS.DBF\xff"), "\xa0KEYS.DBF\xff") << "bytes above 127 stay";
    EXPECT_EQ(dbf::trimControls("A\tB"), "A\tB");
}

}  // namespace
