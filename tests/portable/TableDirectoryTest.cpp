// Where a data set looks for its files (the alias list and the directory rule), and the
// OEM/ANSI translation of character data.
#include <gtest/gtest.h>

#include <string>

#include "dbf/core/OemTranslation.h"
#include "dbf/core/SystemFolders.h"
#include "dbf/dataset/TTableDataSet.h"
#include "dbf/dataset/TableAliases.h"
#include "tests/support/EncipherCopy.h"

using dbf::TableAliases;

namespace {

const std::string kSep(1, dbf::pathSeparator());

}  // namespace

TEST(TableAliasesTest, ReadsOnlyTheAliasSectionWithoutRegardToCase) {
    TableAliases a = TableAliases::parse(
        "; tables.cfg\r\n[Other]\r\nlists=C:\\other\r\n[ alias ]\r\n  Lists = C:\\data\\lists  \r\n"
        "no equals sign\r\n; lists=C:\\commented\r\nlists=C:\\second\r\nempty=\r\n[Next]\r\nlate=C:\\late\r\n");
    ASSERT_NE(a.find("LISTS"), nullptr);
    EXPECT_EQ(*a.find("LISTS"), "C:\\data\\lists") << "the first entry of a name wins";
    ASSERT_NE(a.find("empty"), nullptr);
    EXPECT_EQ(*a.find("empty"), "");
    EXPECT_EQ(a.find("late"), nullptr);
    EXPECT_EQ(a.size(), 2u);
}

TEST(TableAliasesTest, MissingFileGivesNoAliases) {
    testsupport::TempFolder folder;
    EXPECT_EQ(TableAliases::fromFile(folder.file("tables.cfg")).size(), 0u);
    testsupport::writeFileBytes(folder.file("tables.cfg"), {'[', 'A', 'l', 'i', 'a', 's', ']', '\n', 'x', '=', 'y'});
    TableAliases a = TableAliases::fromFile(folder.file("tables.cfg"));
    ASSERT_NE(a.find("X"), nullptr);
    EXPECT_EQ(*a.find("X"), "y");
}

TEST(TableAliasesTest, DirectoryRuleGivesTheExecutablesFolderAnAliasOrTheNameItself) {
    TableAliases a = TableAliases::parse("[Alias]\nkl=D:\\kl\nslash=D:\\slash\\\n");
    EXPECT_EQ(a.directoryFor("", "C:\\Apps\\"), "") << "empty stays empty: the current directory";
    EXPECT_EQ(a.directoryFor("Default Directory", "C:\\Apps\\"), "C:\\Apps\\");
    EXPECT_EQ(a.directoryFor("DEFAULT DIRECTORY", "C:\\Apps\\"), "C:\\Apps\\");
    EXPECT_EQ(a.directoryFor("KL", "C:\\Apps\\"), "D:\\kl" + kSep);
    EXPECT_EQ(a.directoryFor("slash", "C:\\Apps\\"), "D:\\slash\\");
    EXPECT_EQ(a.directoryFor("E:\\tables", "C:\\Apps\\"), "E:\\tables" + kSep);
}

TEST(TableAliasesTest, TheSystemListIsReadOnce) {
    EXPECT_EQ(&TableAliases::system(), &TableAliases::system());
}

TEST(OemTranslationTest, WesternLettersMoveBetweenTheirCodePagesAndAsciiStays) {
    // ANSI 1252 É, é, ü, £ are OEM 437 0x90, 0x82, 0x81, 0x9C.
    const std::string ansi = "Abc-1.exe \xC9\xE9\xFC\xA3";
    const std::string oem = "Abc-1.exe \x90\x82\x81\x9C";
    std::string out(ansi.size(), '\0');
    dbf::ansiToOem(ansi.data(), out.data(), ansi.size());
    EXPECT_EQ(out, oem);
    dbf::oemToAnsi(oem.data(), out.data(), oem.size());
    EXPECT_EQ(out, ansi);
}

TEST(OemTranslationTest, CharactersTheOtherSetLacksGetALookAlike) {
    const std::string ansi = "\xC0\x80";   // À has no OEM 437 letter: A; the euro sign none at all
    std::string out(ansi.size(), '\0');
    dbf::ansiToOem(ansi.data(), out.data(), ansi.size());
    EXPECT_EQ(out, "A?");
}

TEST(OemTranslationTest, DataSetTranslatesInPlaceOnlyWhenAsked) {
    dbf::TTableDataSet table;
    std::string text = "\xC9t\xE9";
    EXPECT_EQ(table.Translate(text, text.data(), true), 3u);
    EXPECT_EQ(text, "\x90t\x82");
    EXPECT_EQ(table.Translate(text, text.data(), false), 3u);
    EXPECT_EQ(text, "\xC9t\xE9");
    table.TranslateASCII = false;
    std::string copy(3, '\0');
    table.Translate(text, copy.data(), true);
    EXPECT_EQ(copy, text);
}
