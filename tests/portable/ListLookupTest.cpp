// The lookup the scan performs in a process list: sort in place, then search by halves,
// both with the list's comparison. Here an ASCII case-insensitive comparison stands in for
// the system's, which the Windows tests use.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "settings/ProcessList.h"

using settings::ProcessList;
using Lines = std::vector<std::string>;

namespace {

int compareAsciiIgnoringCase(std::string_view a, std::string_view b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        int ca = std::tolower(static_cast<unsigned char>(a[i])), cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

int comparisons = 0;
int countingCompare(std::string_view a, std::string_view b) {
    ++comparisons;
    return compareAsciiIgnoringCase(a, b);
}

ProcessList listOf(Lines lines) {
    ProcessList list(&compareAsciiIgnoringCase);
    list.assign(std::move(lines));
    return list;
}

}  // namespace

TEST(ListLookupTest, FindsANameWhateverItsCase) {
    ProcessList list = listOf({"zeta.exe", "KeyLogger.EXE", "alpha.exe", "notepad.exe"});
    EXPECT_TRUE(list.contains("keylogger.exe"));
    EXPECT_TRUE(list.contains("NOTEPAD.EXE"));
    EXPECT_TRUE(list.contains("Alpha.Exe"));
    EXPECT_TRUE(list.contains("zeta.exe"));
    EXPECT_FALSE(list.contains("beta.exe"));
    EXPECT_FALSE(list.contains("keylogger"));
}

TEST(ListLookupTest, FindsEveryLineOfALongerUnsortedList) {
    Lines lines;
    for (int i = 99; i >= 0; --i) lines.push_back("p" + std::to_string(i * 7 % 100) + ".exe");
    ProcessList list = listOf(lines);
    for (const std::string& name : lines) EXPECT_TRUE(list.contains(name)) << name;
    EXPECT_FALSE(list.contains("p100.exe"));
}

TEST(ListLookupTest, BlanksAndFoldersNeverMatch) {
    ProcessList list = listOf({" notepad.exe", "calc.exe ", "C:\\Tools\\spy.exe", ""});
    EXPECT_FALSE(list.contains("notepad.exe"));
    EXPECT_FALSE(list.contains("calc.exe"));
    EXPECT_FALSE(list.contains("spy.exe"));
}

TEST(ListLookupTest, DuplicatesAndAnEmptyLineStayAndDoNotDisturbTheSearch) {
    ProcessList list = listOf({"notepad.exe", "", "notepad.exe"});
    EXPECT_TRUE(list.contains("NOTEPAD.EXE"));
    EXPECT_EQ(list.count(), 3u);
    EXPECT_FALSE(list.contains("a.exe"));
}

TEST(ListLookupTest, KeepsTheFileOrderUntilTheFirstLookupSortsInPlace) {
    ProcessList list = listOf({"b.exe", "C.exe", "a.exe"});
    EXPECT_EQ(list.lines(), (Lines{"b.exe", "C.exe", "a.exe"}));
    list.contains("x.exe");
    EXPECT_EQ(list.lines(), (Lines{"a.exe", "b.exe", "C.exe"}));
}

TEST(ListLookupTest, ListsOfNoneOrOneLineAreNotSortedAndSearchStillAnswers) {
    comparisons = 0;
    ProcessList empty(&countingCompare);
    EXPECT_FALSE(empty.contains("a.exe"));
    EXPECT_EQ(comparisons, 0);

    ProcessList one(&countingCompare);
    one.assign({"A.exe"});
    EXPECT_TRUE(one.contains("a.exe"));
    EXPECT_EQ(comparisons, 1) << "one comparison by the search, none by a sort";
}

TEST(ListLookupTest, ClearAndAssignReplaceTheLines) {
    ProcessList list = listOf({"a.exe"});
    list.clear();
    EXPECT_FALSE(list.contains("a.exe"));
    list.assign({"b.exe"});
    EXPECT_TRUE(list.contains("B.EXE"));
}

TEST(ListLookupTest, ALookupInAnAlreadySortedListOnlyChecksTheOrder) {
    Lines lines;
    for (int i = 0; i < 100; ++i) lines.push_back("name" + std::to_string(1000 + i) + ".exe");
    ProcessList list(&countingCompare);
    list.assign(lines);
    comparisons = 0;
    EXPECT_TRUE(list.contains("NAME1050.EXE"));
    EXPECT_LE(comparisons, 99 + 7) << "one pass over the order and a search by halves";
    list.sort();
    EXPECT_EQ(list.lines(), lines);
}
