// The settings file name rule and how stored values read.
#include <gtest/gtest.h>

#include "settings/SettingsRules.h"

using namespace settings;

TEST(SettingsFileNameTest, LowerCasesTheFileNameAndReplacesItsLastThreeCharacters) {
    EXPECT_EQ(iniFileNameFor("D:\\Apps\\Guard.EXE"), "D:\\Apps\\guard.ini");
    EXPECT_EQ(iniFileNameFor("C:\\Program Files\\Ombrix\\ombrix.exe"), "C:\\Program Files\\Ombrix\\ombrix.ini");
    EXPECT_EQ(iniFileNameFor("C:\\Tools\\A.B.exe"), "C:\\Tools\\a.b.ini");
}

TEST(SettingsFileNameTest, KeepsTheFolderAsItStands) {
    EXPECT_EQ(iniFileNameFor("C:\\MyApps\\TOOLS\\X.EXE"), "C:\\MyApps\\TOOLS\\x.ini");
}

TEST(SettingsFileNameTest, DropsThreeCharactersWhateverTheyAre) {
    EXPECT_EQ(iniFileNameFor("D:\\Apps\\guard"), "D:\\Apps\\guini");
    EXPECT_EQ(iniFileNameFor("D:\\Apps\\ab"), "D:\\Apps\\ini");
}

// The executable's path as the system gives it wide: a folder named after a user may hold
// characters that the ANSI code page lacks, and they stay as they are.
TEST(SettingsFileNameTest, WidePathFollowsTheSameRuleAndKeepsItsFolderWhole) {
    EXPECT_EQ(iniFileNameFor(L"C:\\Users\\\u0394\u00e9\\Programs\\Ombrix\\Ombrix.EXE"),
              L"C:\\Users\\\u0394\u00e9\\Programs\\Ombrix\\ombrix.ini");
    EXPECT_EQ(iniFileNameFor(L"D:\\Apps\\guard"), L"D:\\Apps\\guini");
    EXPECT_EQ(iniFileNameFor(L"\u0394.exe"), L"\u0394.ini");
}

TEST(SettingsValueTest, ReadsDecimalAndHexadecimalNumbers) {
    EXPECT_EQ(parseIniInteger("0"), 0);
    EXPECT_EQ(parseIniInteger("2"), 2);
    EXPECT_EQ(parseIniInteger("-1"), -1);
    EXPECT_EQ(parseIniInteger("0x10"), 16);
    EXPECT_EQ(parseIniInteger("0XfF"), 255);
    EXPECT_EQ(parseIniInteger("0x0"), 0);
    EXPECT_EQ(parseIniInteger("0xFFFFFFFF"), -1);
}

TEST(SettingsValueTest, RefusesTextThatIsNotANumber) {
    EXPECT_FALSE(parseIniInteger(""));
    EXPECT_FALSE(parseIniInteger("yes"));
    EXPECT_FALSE(parseIniInteger("0x"));  // two characters: not hexadecimal, and not decimal
    EXPECT_FALSE(parseIniInteger("1 "));
    EXPECT_FALSE(parseIniInteger("0x1G"));
    EXPECT_FALSE(parseIniInteger("-"));
    EXPECT_FALSE(parseIniInteger("2147483648"));
    EXPECT_FALSE(parseIniInteger("0x100000000"));
}

TEST(SettingsValueTest, AnyNonZeroNumberIsOnAndAnythingElseTheDefault) {
    EXPECT_FALSE(parseIniBool("0", true));
    EXPECT_FALSE(parseIniBool("0x0", true));
    EXPECT_TRUE(parseIniBool("2", false));
    EXPECT_TRUE(parseIniBool("0x10", false));
    EXPECT_TRUE(parseIniBool("yes", true));
    EXPECT_TRUE(parseIniBool("", true));
    EXPECT_FALSE(parseIniBool("yes", false));
}

TEST(SettingsDialogRuleTest, LeavingStopKeyloggerUncheckedClearsBothListsSilently) {
    Switches c{true, false, true, true};
    EXPECT_EQ(leaveCheckBox(CheckBoxLeft::Stop, c), "");
    EXPECT_FALSE(c.enabledWhite);
    EXPECT_FALSE(c.enabledBlack);
    EXPECT_TRUE(c.enabledEnc);
}

TEST(SettingsDialogRuleTest, ListsNeedStopKeylogger) {
    Switches c{true, false, true, true};
    EXPECT_EQ(leaveCheckBox(CheckBoxLeft::White, c), "Enable white process list must enabled stop key logger first");
    EXPECT_FALSE(c.enabledWhite);
    EXPECT_TRUE(c.enabledBlack);
    EXPECT_EQ(leaveCheckBox(CheckBoxLeft::Black, c), "Enable black list must enabled stop key logger first");
    EXPECT_FALSE(c.enabledBlack);
}

TEST(SettingsDialogRuleTest, ChangesNothingWhileStopKeyloggerIsOn) {
    Switches c{false, true, true, false};
    for (CheckBoxLeft box : {CheckBoxLeft::Stop, CheckBoxLeft::White, CheckBoxLeft::Black})
        EXPECT_EQ(leaveCheckBox(box, c), "");
    EXPECT_TRUE(c.enabledWhite);
    EXPECT_FALSE(c.enabledBlack);
    EXPECT_FALSE(c.enabledEnc);
}
