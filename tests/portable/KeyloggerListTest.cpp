// The shipped keylogger list: its source format and checks, the list itself held against the
// names of Windows' own processes and of widely used applications, and the database built
// from it beside the program.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "dbf/core/XbaseText.h"
#include "dbf/dataset/TTableDataSet.h"
#include "scan/KeyloggerDatabase.h"
#include "scan/KeyloggerList.h"
#include "tests/support/DataSetFiles.h"
#include "tests/support/ErrorText.h"

using scan::KeyloggerList;

using testsupport::messageOf;

namespace {

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string shippedSource() { return std::string(OMBRIX_DATA_DIR) + "/keyloggers.txt"; }

// Processes that a stop would harm: Windows' own, the program itself, and applications in
// wide use (keyboard tools, password managers and remote-access programs included, which
// see keys for good reasons).
const std::set<std::string> kNeverStopped = {
    "system", "smss.exe", "csrss.exe", "wininit.exe", "winlogon.exe", "services.exe", "lsass.exe", "lsm.exe",
    "lsaiso.exe", "svchost.exe", "explorer.exe", "spoolsv.exe", "taskhost.exe", "taskhostw.exe", "taskeng.exe",
    "dwm.exe", "conhost.exe", "rundll32.exe", "dllhost.exe", "ctfmon.exe", "userinit.exe", "taskmgr.exe",
    "msiexec.exe", "wuauclt.exe", "searchindexer.exe", "searchui.exe", "searchapp.exe", "sihost.exe",
    "fontdrvhost.exe", "runtimebroker.exe", "audiodg.exe", "cmd.exe", "powershell.exe", "pwsh.exe",
    "notepad.exe", "calc.exe", "mspaint.exe", "wordpad.exe", "regedit.exe", "mmc.exe", "wmiprvse.exe",
    "alg.exe", "msmpeng.exe", "nissrv.exe", "securityhealthservice.exe", "smartscreen.exe",
    "applicationframehost.exe", "shellexperiencehost.exe", "startmenuexperiencehost.exe", "textinputhost.exe",
    "osk.exe", "narrator.exe", "magnify.exe", "utilman.exe", "sethc.exe", "tabtip.exe", "wscript.exe",
    "cscript.exe", "mshta.exe", "wermgr.exe", "werfault.exe", "consent.exe", "logonui.exe", "lockapp.exe",
    "winword.exe", "excel.exe", "powerpnt.exe", "outlook.exe", "onenote.exe", "msaccess.exe", "iexplore.exe",
    "msedge.exe", "chrome.exe", "firefox.exe", "opera.exe", "brave.exe", "vivaldi.exe", "thunderbird.exe",
    "skype.exe", "teams.exe", "ms-teams.exe", "zoom.exe", "slack.exe", "discord.exe", "telegram.exe",
    "whatsapp.exe", "spotify.exe", "vlc.exe", "wmplayer.exe", "acrord32.exe", "acrobat.exe", "winrar.exe",
    "7zfm.exe", "7zg.exe", "putty.exe", "filezilla.exe", "keepass.exe", "keepassxc.exe", "1password.exe",
    "bitwarden.exe", "lastpass.exe", "steam.exe", "code.exe", "devenv.exe", "notepad++.exe", "dropbox.exe",
    "onedrive.exe", "googledrivesync.exe", "teamviewer.exe", "anydesk.exe", "mstsc.exe", "vmware.exe",
    "virtualbox.exe", "autohotkey.exe", "sharpkeys.exe", "powertoys.exe", "ombrix.exe", "ombrix-db.exe",
    "keylogger.exe", "keylog.exe", "logger.exe", "monitor.exe", "spy.exe", "agent.exe", "update.exe",
    "setup.exe", "install.exe", "service.exe", "host.exe", "hook.exe"};

}  // namespace

TEST(KeyloggerListTest, ReadsNamesProductsAndSkipsCommentsAndBlankLines) {
    KeyloggerList list = KeyloggerList::parse(
        "# comment\r\n\r\nspy-1.exe\tSpy One\r\n   \nKL.EXE\n#x.exe\tnot listed\nlast.exe\t  Last  ", "t.txt");
    ASSERT_EQ(list.entries().size(), 3u);
    EXPECT_EQ(list.entries()[0].name, "spy-1.exe");
    EXPECT_EQ(list.entries()[0].product, "Spy One");
    EXPECT_EQ(list.entries()[0].line, 3);
    EXPECT_EQ(list.entries()[1].name, "KL.EXE");
    EXPECT_EQ(list.entries()[1].product, "");
    EXPECT_EQ(list.entries()[2].product, "Last");
    EXPECT_EQ(list.entries()[2].line, 7);
}

TEST(KeyloggerListTest, RefusesNamesTheTableCannotHoldWithTheirLine) {
    EXPECT_EQ(messageOf([] { KeyloggerList::parse("a.exe\n\tproduct only\n", "s"); }),
              "s:2: no executable name before the tab");
    EXPECT_EQ(messageOf([] { KeyloggerList::parse(std::string(100, 'a') + "\n", "s"); }),
              "s:1: the name is longer than 99 characters");
    EXPECT_NO_THROW(KeyloggerList::parse(std::string(99, 'a') + "\n", "s"));
    EXPECT_EQ(messageOf([] { KeyloggerList::parse(" a.exe\n", "s"); }), "s:1: the name begins or ends with a blank");
    EXPECT_EQ(messageOf([] { KeyloggerList::parse("a.exe \n", "s"); }), "s:1: the name begins or ends with a blank");
    EXPECT_EQ(messageOf([] { KeyloggerList::parse("caf\xE9.exe\n", "s"); }),
              "s:1: the name holds a character outside printable ASCII");
    EXPECT_EQ(messageOf([] { KeyloggerList::parse("a\\b.exe\n", "s"); }),
              "s:1: the name holds \"\\\", which no file name may hold");
    EXPECT_EQ(messageOf([] { KeyloggerList::parse("a.exe\nb.exe\na.exe\n", "s"); }), "s:3: a.exe is listed twice");
    EXPECT_NO_THROW(KeyloggerList::parse("a.exe\nA.EXE\n", "s")) << "each case is its own key";
    EXPECT_EQ(messageOf([] { KeyloggerList::parse("a.exe\t" + std::string(61, 'p') + "\n", "s"); }),
              "s:1: the product is longer than 60 characters");
    EXPECT_EQ(messageOf([] { KeyloggerList::fromFile("/no/such/list.txt"); }), "cannot read /no/such/list.txt");
}

TEST(KeyloggerListTest, ShippedListNamesOnlyExecutablesThatNoCommonProgramUses) {
    KeyloggerList list = KeyloggerList::fromFile(shippedSource());
    ASSERT_FALSE(list.entries().empty());
    for (const auto& e : list.entries()) {
        const std::string name = lower(e.name);
        EXPECT_EQ(kNeverStopped.count(name), 0u) << e.name << " (line " << e.line << ") is a common program's name";
        EXPECT_TRUE(name.size() > 4 && name.substr(name.size() - 4) == ".exe") << e.name << " is not an executable";
        EXPECT_FALSE(e.product.empty()) << e.name << " names no product";
    }
}

TEST(KeyloggerListTest, DatabaseBesideTheProgramHoldsExactlyTheShippedList) {
    KeyloggerList list = KeyloggerList::fromFile(shippedSource());
    testsupport::CurrentDirectory here(OMBRIX_PROGRAM_DIR);
    dbf::TTableDataSet table;
    scan::KeyloggerDatabase db(table);
    db.open();
    for (const auto& e : list.entries()) EXPECT_TRUE(db.isKeylogger(e.name)) << e.name;
    EXPECT_EQ(table.RecordCount(), list.entries().size());
    for (const auto& e : list.entries()) {
        std::string other = e.name;
        std::transform(other.begin(), other.end(), other.begin(),
                       [](char c) { return c == dbf::upperAscii(c) ? dbf::lowerAscii(c) : dbf::upperAscii(c); });
        bool listedToo = std::any_of(list.entries().begin(), list.entries().end(),
                                     [&](const auto& x) { return x.name == other; });
        if (!listedToo) EXPECT_FALSE(db.isKeylogger(other)) << other;
    }
}
