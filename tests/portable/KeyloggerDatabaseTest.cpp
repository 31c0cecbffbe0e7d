// The keylogger database as the program uses it: the character exchange of the table key,
// the open sequence from the current directory under the program's key, and the lookup.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "dbf/dataset/DatabaseError.h"
#include "dbf/dataset/TTableDataSet.h"
#include "scan/KeyloggerDatabase.h"
#include "scan/SecretText.h"
#include "tests/support/DataSetFiles.h"
#include "tests/support/ErrorText.h"

using scan::KeyloggerDatabase;
using namespace testsupport;

namespace {

// A database of `names` under the program's key, with the current directory on it.
struct Installed {
    TempFolder folder;
    std::unique_ptr<CurrentDirectory> here;
    explicit Installed(const std::vector<ListedName>& names) {
        writeKeyloggerDatabase(folder, names, scan::keyloggerTableKey());
        here = std::make_unique<CurrentDirectory>(folder.path());
    }
};

}  // namespace

TEST(KeyloggerKeyTest, ExchangesDigitsHyphenStopSlashAndTheirLetters) {
    EXPECT_EQ(KeyloggerDatabase::tableKey("-./0123456789"), "t/.ofghijklmn");
    EXPECT_EQ(KeyloggerDatabase::tableKey("to/fghijklmn"), "-0.123456789");
    EXPECT_EQ(KeyloggerDatabase::tableKey("abc"), "abc");
    EXPECT_EQ(KeyloggerDatabase::tableKey("keylog.exe"), "6ey702/exe");
    EXPECT_EQ(KeyloggerDatabase::tableKey("KEYLOG.EXE"), "KEYLOG/EXE") << "capitals stay";
    EXPECT_EQ(KeyloggerDatabase::tableKey(""), "");
}

TEST(KeyloggerKeyTest, ExchangeKeepsTheLengthAndAppliedTwiceGivesTheNameBack) {
    std::string every;
    for (int c = 1; c < 256; ++c) every += static_cast<char>(c);
    const std::string once = KeyloggerDatabase::tableKey(every);
    EXPECT_EQ(once.size(), every.size());
    EXPECT_EQ(KeyloggerDatabase::tableKey(once), every);
    int changed = 0;
    for (size_t i = 0; i < every.size(); ++i) changed += once[i] != every[i];
    EXPECT_EQ(changed, 24) << "twelve pairs";
}

TEST(KeyloggerDatabaseTest, DesignTimeSettingsOfTheTable) {
    dbf::TTableDataSet table;
    KeyloggerDatabase db(table);
    EXPECT_EQ(table.TableName(), "keyloggerlist.dbf");
    EXPECT_EQ(table.IndexFiles, std::vector<std::string>{"KEYLOGGERLIST.CDX"});
    EXPECT_EQ(table.DatabaseName(), "");
    EXPECT_FALSE(table.Exclusive);
    EXPECT_FALSE(table.ReadOnly);
    EXPECT_TRUE(table.TranslateASCII);
    EXPECT_FALSE(table.UseDeleted);
    EXPECT_FALSE(table.AutoFlush);
    EXPECT_EQ(table.LockProtocol, dbf::TdbLokProtocol::Default);
    EXPECT_EQ(table.UserID, 0u);
    EXPECT_FALSE(db.isOpen());
}

TEST(KeyloggerDatabaseTest, ListedNameIsAHitOnlyInTheCaseItIsListed) {
    Installed db({{"keylog.exe"}, {"KEYLOGGER.EXE"}, {"spy-2.exe"}});
    dbf::TTableDataSet table;
    KeyloggerDatabase keyloggers(table);
    keyloggers.open();
    EXPECT_TRUE(keyloggers.isOpen());
    EXPECT_EQ(table.DBFObject()->activeTagName(), "SPDLL");
    EXPECT_TRUE(keyloggers.isKeylogger("keylog.exe"));
    EXPECT_FALSE(keyloggers.isKeylogger("KEYLOG.EXE")) << "looked up under KEYLOG/EXE, which is not listed";
    EXPECT_TRUE(keyloggers.isKeylogger("KEYLOGGER.EXE"));
    EXPECT_FALSE(keyloggers.isKeylogger("keylogger.exe"));
    EXPECT_TRUE(keyloggers.isKeylogger("spy-2.exe"));
    EXPECT_FALSE(keyloggers.isKeylogger("keylog")) << "only the beginning of a listed key";
    EXPECT_FALSE(keyloggers.isKeylogger("keylog.ex"));
    EXPECT_FALSE(keyloggers.isKeylogger("keylog.exe.exe"));
    EXPECT_FALSE(keyloggers.isKeylogger(""));
    EXPECT_FALSE(keyloggers.isKeylogger("zzz.exe"));
    EXPECT_TRUE(keyloggers.isKeylogger("keylog.exe")) << "the cursor's place after a miss does not matter";
    keyloggers.close();
    EXPECT_FALSE(keyloggers.isOpen());
}

TEST(KeyloggerDatabaseTest, BothFormsListedAreBothHits) {
    Installed db({{"keylog.exe"}, {"KEYLOG.EXE"}});
    dbf::TTableDataSet table;
    KeyloggerDatabase keyloggers(table);
    keyloggers.open();
    EXPECT_TRUE(keyloggers.isKeylogger("keylog.exe"));
    EXPECT_TRUE(keyloggers.isKeylogger("KEYLOG.EXE"));
    EXPECT_FALSE(keyloggers.isKeylogger("Keylog.exe"));
}

TEST(KeyloggerDatabaseTest, DeletedOrAbsentRecordsAnswerNo) {
    Installed db({{"gone.exe", true}});
    dbf::TTableDataSet table;
    KeyloggerDatabase keyloggers(table);
    keyloggers.open();
    EXPECT_FALSE(keyloggers.isKeylogger("gone.exe"));
    keyloggers.close();
    Installed empty({});
    keyloggers.open();
    EXPECT_FALSE(keyloggers.isKeylogger("gone.exe"));
}

TEST(KeyloggerDatabaseTest, MissingFilesGiveTheOpenErrorAndALaterOpenTriesAgain) {
    TempFolder folder;
    CurrentDirectory here(folder.path());
    dbf::TTableDataSet table;
    KeyloggerDatabase keyloggers(table);
    EXPECT_EQ(messageOf([&] { keyloggers.open(); }), "Cannot find file keyloggerlist.dbf");
    EXPECT_FALSE(keyloggers.isOpen());
    EXPECT_EQ(messageOf([&] { keyloggers.isKeylogger("keylog.exe"); }),
              "Cannot perform this operation on a closed dataset");

    writeKeyloggerDatabase(folder, {{"keylog.exe"}}, scan::keyloggerTableKey());
    std::filesystem::remove(folder.path() / "keyloggerlist.cdx");
    EXPECT_EQ(messageOf([&] { keyloggers.open(); }), "Cannot find file KEYLOGGERLIST.CDX");
    EXPECT_FALSE(keyloggers.isOpen());

    writeKeyloggerDatabase(folder, {{"keylog.exe"}}, scan::keyloggerTableKey());
    keyloggers.open();
    EXPECT_TRUE(keyloggers.isKeylogger("keylog.exe"));
}

TEST(KeyloggerDatabaseTest, TableWithoutTheTagIsClosedAgainSoTheNextOpenStartsAfresh) {
    TempFolder folder;
    copyFixture("a_tiny", folder, "keyloggerlist");
    encipheredFixture(folder.path().string(), "keyloggerlist", folder, scan::keyloggerTableKey());
    CurrentDirectory here(folder.path());
    dbf::TTableDataSet table;
    KeyloggerDatabase keyloggers(table);
    EXPECT_EQ(messageOf([&] { keyloggers.open(); }), "Cannot find index tag SPDLL");
    EXPECT_FALSE(keyloggers.isOpen());
    EXPECT_EQ(messageOf([&] { keyloggers.open(); }), "Cannot find index tag SPDLL")
        << "the same error again, not a refused key on an open data set";
}

TEST(KeyloggerDatabaseTest, TableNotEncipheredUnderTheProgramsKeyIsRefused) {
    TempFolder folder;
    writeKeyloggerDatabase(folder, {{"keylog.exe"}}, "");
    CurrentDirectory here(folder.path());
    dbf::TTableDataSet table;
    KeyloggerDatabase keyloggers(table);
    EXPECT_THROW(keyloggers.open(), dbf::ETableEncryption);
    writeKeyloggerDatabase(folder, {{"keylog.exe"}}, "another key of the same kind");
    // Either the open refuses the key, with the encryption error and no other, or a wrong
    // key that passes the length check deciphers to other bytes: no hit, and no error.
    bool opened = false;
    try {
        keyloggers.open();
        opened = true;
    } catch (const dbf::ETableEncryption&) {
        EXPECT_FALSE(keyloggers.isOpen());
    }
    if (opened) EXPECT_FALSE(keyloggers.isKeylogger("keylog.exe"));
}

TEST(KeyloggerDatabaseTest, OpensFilesTheUserMayNotWrite) {
    Installed db({{"keylog.exe"}});
    namespace fs = std::filesystem;
    for (const char* name : {"keyloggerlist.dbf", "keyloggerlist.cdx"})
        fs::permissions(fs::path(db.folder.path()) / name, fs::perms::owner_write | fs::perms::group_write |
                                                              fs::perms::others_write, fs::perm_options::remove);
    dbf::TTableDataSet table;
    KeyloggerDatabase keyloggers(table);
    keyloggers.open();
    EXPECT_TRUE(keyloggers.isKeylogger("keylog.exe"));
    keyloggers.close();
    for (const char* name : {"keyloggerlist.dbf", "keyloggerlist.cdx"})
        fs::permissions(fs::path(db.folder.path()) / name, fs::perms::owner_write, fs::perm_options::add);
}
