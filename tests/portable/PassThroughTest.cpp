// The pass-through list as the library reads it from the file the user edits, and the kinds
// of window whose keys always take the ordinary path.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "keyguard/core/PassThrough.h"

using keyguard::PassList;

namespace {

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

struct Case {
    const char* text;
    std::size_t textSize;  // 0: up to the first NUL of `text`
    const char* name;
    bool listed;
};

TEST(PassThroughTest, ListReadsLinesAsTheOtherListFilesDo) {
    const Case cases[] = {
        {"game.exe", 0, "GAME.EXE", true},
        {"a.exe\r\ngame.exe\r\n", 0, "game.exe", true},
        {"a.exe\rgame.exe", 0, "game.exe", true},
        {"a.exe\ngame.exe\n", 0, "game.exe", true},
        {"a.exe\n\r\ngame.exe", 0, "game.exe", true},  // LF, then an empty line
        {" game.exe\r\n", 0, "game.exe", false},       // a blank is part of the name
        {"c:\\games\\game.exe", 0, "game.exe", false},  // a folder matches nothing
        {"a.exe\0game.exe", 14, "game.exe", false},     // a NUL ends the file
        {"\r\n\r\n", 0, "", false},                     // empty lines name nobody
        {"", 0, "game.exe", false},
    };
    for (const Case& c : cases) {
        PassList list;
        list.assign(c.textSize ? std::string_view(c.text, c.textSize) : std::string_view(c.text));
        EXPECT_EQ(list.contains(c.name, sameIgnoringCase), c.listed) << '"' << c.text << "\" for " << c.name;
    }
}

TEST(PassThroughTest, AnOversizedFileIsReadOnlyAsFarAsItsLimits) {
    std::string text;
    while (text.size() < PassList::kMaxBytes + 100) text += "x.exe\r\n";
    PassList list;
    list.assign(text + "late.exe");
    EXPECT_FALSE(list.contains("late.exe", sameIgnoringCase));
    EXPECT_LE(list.size(), PassList::kMaxNames);
    list.assign("only.exe");
    EXPECT_EQ(list.size(), 1u);
    EXPECT_TRUE(list.contains("ONLY.exe", sameIgnoringCase));
}

TEST(PassThroughTest, ConsoleWindowsAreKnownByTheirClass) {
    for (const char* c : {"ConsoleWindowClass", "WineConsoleClass", "CASCADIA_HOSTING_WINDOW_CLASS",
                          "Windows.UI.Input.InputSite.WindowClass"})
        EXPECT_TRUE(keyguard::readsKeyPressesOnly(c)) << c;
    for (const char* c : {"Edit", "RICHEDIT50W", "SysTreeView32", "consolewindowclass", ""})
        EXPECT_FALSE(keyguard::readsKeyPressesOnly(c)) << c;
}

}  // namespace
