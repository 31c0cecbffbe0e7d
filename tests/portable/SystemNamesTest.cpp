// Windows' own process names, the once-in-a-life report of an impostor, and the notice text
// of a scan.
#include "scan/SystemNames.h"

#include <gtest/gtest.h>

#include "scan/ScanRules.h"

using scan::CheckedProcesses;
using scan::SystemHome;
using scan::systemHomeOf;

TEST(SystemNamesTest, WindowsNamesAreKnownInAnyCaseAndExplorerAlsoLivesInTheWindowsFolder) {
    for (const char* name : {"lsass.exe", "LSASS.EXE", "Csrss.exe", "svchost.exe", "smss.exe", "wininit.exe",
                             "winlogon.exe", "services.exe", "spoolsv.exe", "taskhostw.exe", "dwm.exe", "conhost.exe"})
        EXPECT_EQ(systemHomeOf(name), SystemHome::SystemFolder) << name;
    EXPECT_EQ(systemHomeOf("Explorer.EXE"), SystemHome::SystemOrWindows);
    for (const char* name : {"lsass", "lsass.exe ", " lsass.exe", "lsass.exe.exe", "notepad.exe", "", "explorer"})
        EXPECT_EQ(systemHomeOf(name), SystemHome::None) << "'" << name << "'";
}

TEST(SystemNamesTest, AProcessIsLookedAtOnceWhileItRunsAndAgainOnlyAsAnotherProcess) {
    CheckedProcesses checked;
    EXPECT_TRUE(checked.firstTime({100, 4, "lsass.exe"}));
    checked.endScan();
    EXPECT_FALSE(checked.firstTime({100, 4, "lsass.exe"})) << "the next scan meets it again";
    EXPECT_TRUE(checked.firstTime({100, 5, "lsass.exe"})) << "the same id under another parent: another process";
    EXPECT_TRUE(checked.firstTime({100, 4, "csrss.exe"})) << "the same id under another name: another process";
    checked.endScan();
    checked.endScan();  // a scan that no longer meets them
    EXPECT_TRUE(checked.firstTime({100, 4, "lsass.exe"})) << "gone processes are forgotten";
}

TEST(SystemNamesTest, TheNoticeNamesEachKindOnALineOfItsOwn) {
    EXPECT_EQ(scan::scanNoticeText({}, {}, {}), "");
    EXPECT_EQ(scan::scanNoticeText({"a.exe", "b.exe"}, {}, {}), "Keylogger stopped: a.exe, b.exe");
    EXPECT_EQ(scan::scanNoticeText({"a.exe"}, {"c.exe"}, {"lsass.exe (C:\\x\\lsass.exe)"}),
              "Keylogger stopped: a.exe\nCould not be stopped: c.exe\n"
              "Windows process name running from another folder: lsass.exe (C:\\x\\lsass.exe)");
    EXPECT_EQ(scan::misplacedLogLine("lsass.exe", "C:\\x\\lsass.exe"),
              "Windows process name from another folder: lsass.exe runs from C:\\x\\lsass.exe");
}
