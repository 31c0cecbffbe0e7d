// How a process-list file reads into lines, and the text the editor shows and saves.
#include <gtest/gtest.h>

#include "dbf/core/XbaseText.h"
#include "settings/ListText.h"

using settings::splitListLines;
using settings::withCrLfBreaks;
using Lines = std::vector<std::string>;

TEST(StringListFileTest, LinesEndAtCrLfOrCrLf) {
    EXPECT_EQ(splitListLines("a.exe\r\nb.exe\rc.exe\nd.exe"), (Lines{"a.exe", "b.exe", "c.exe", "d.exe"}));
}

TEST(StringListFileTest, LfBeforeCrIsTwoBreaks) {
    EXPECT_EQ(splitListLines("a.exe\n\rb.exe"), (Lines{"a.exe", "", "b.exe"}));
}

TEST(StringListFileTest, DuplicatesEmptyLinesAndBlanksAreKept) {
    EXPECT_EQ(splitListLines("notepad.exe\r\n\r\nnotepad.exe\r\n"), (Lines{"notepad.exe", "", "notepad.exe"}));
    EXPECT_EQ(splitListLines(" notepad.exe \r\nKeyLogger.EXE\r\n\t\r\n"),
              (Lines{" notepad.exe ", "KeyLogger.EXE", "\t"}));
}

TEST(StringListFileTest, FinalBreakAddsNoLineButAnEmptyLastLineBeforeItStays) {
    EXPECT_EQ(splitListLines("a.exe\r\n"), Lines{"a.exe"});
    EXPECT_EQ(splitListLines("a.exe\r\n\r\n"), (Lines{"a.exe", ""}));
    EXPECT_EQ(splitListLines("\r\n"), Lines{""});
    EXPECT_EQ(splitListLines(""), Lines{});
}

TEST(StringListFileTest, NulEndsTheFile) {
    using namespace std::string_literals;
    EXPECT_EQ(splitListLines("a.exe\r\nb.e\0xe\r\nc.exe"s), (Lines{"a.exe", "b.e"}));
    EXPECT_EQ(splitListLines("\0a.exe"s), Lines{});
}

TEST(StringListFileTest, EightBitCharactersPassUnchanged) {
    EXPECT_EQ(splitListLines("\xe9t\xe9.exe\r\n\xff.exe"), (Lines{"\xe9t\xe9.exe", "\xff.exe"}));
}

TEST(StringListFileTest, EditorTextHasCrLfForEveryLoneCrOrLf) {
    EXPECT_EQ(withCrLfBreaks("a\nb\rc\r\nd"), "a\r\nb\r\nc\r\nd");
    EXPECT_EQ(withCrLfBreaks("a\n\rb"), "a\r\n\r\nb");
    EXPECT_EQ(withCrLfBreaks("\n\n"), "\r\n\r\n");
}

TEST(StringListFileTest, EditorTextEndsWithABreakOnlyWhereTheTextDid) {
    EXPECT_EQ(withCrLfBreaks("a\r\nb"), "a\r\nb");
    EXPECT_EQ(withCrLfBreaks("a\r\nb\n"), "a\r\nb\r\n");
    EXPECT_EQ(withCrLfBreaks(""), "");
}

TEST(StringListFileTest, EditorTextStopsAtNul) {
    using namespace std::string_literals;
    EXPECT_EQ(withCrLfBreaks("a\nb\0c\n"s), "a\r\nb");
}

TEST(StringListFileTest, SavedEditorTextReadsBackAsTheSameLines) {
    for (const char* text : {"a.exe\r\n\r\n b.exe", "a.exe\nb.exe\n", "x\r\r\ny", "\n"}) {
        std::string saved = withCrLfBreaks(text);
        EXPECT_EQ(splitListLines(saved), splitListLines(text)) << text;
        EXPECT_EQ(withCrLfBreaks(saved), saved) << "shown again unchanged: " << text;
    }
}

// The tray menu's changes to the pass-through list: a name added as the last line, and every
// line naming it removed, the rest byte for byte as it was.
TEST(StringListFileTest, LineIsAddedAfterTheLastLineAndRemovedWithItsOwnBreak) {
    using namespace std::string_literals;
    // Equality is all that removing asks of the comparison.
    auto noCase = [](std::string_view a, std::string_view b) { return dbf::equalNoCase(a, b) ? 0 : 1; };
    const struct {
        std::string text, added, removed;
    } cases[] = {
        {"", "pad.exe\r\n", ""},
        {"a.exe", "a.exe\r\npad.exe\r\n", "a.exe"},
        {"a.exe\r\n", "a.exe\r\npad.exe\r\n", "a.exe\r\n"},
        {"a.exe\r", "a.exe\rpad.exe\r\n", "a.exe\r"},
        {"a.exe\nPAD.EXE\rb.exe\r\npad.exe", "a.exe\nPAD.EXE\rb.exe\r\npad.exe\r\npad.exe\r\n", "a.exe\nb.exe\r\n"},
        {"pad.exe\n\n pad.exe\r\nc:\\pad.exe", "pad.exe\n\n pad.exe\r\nc:\\pad.exe\r\npad.exe\r\n",
         "\n pad.exe\r\nc:\\pad.exe"},
        {"a.exe\0junk"s, "a.exe\r\npad.exe\r\n", "a.exe"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(settings::withLineAdded(c.text, "pad.exe"), c.added) << c.text;
        EXPECT_EQ(settings::withLinesRemoved(c.text, "Pad.exe", noCase), c.removed) << c.text;
    }
}
