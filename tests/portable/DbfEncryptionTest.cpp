// The three refusals of an enciphered or plain table opened with the wrong kind of key.
#include <gtest/gtest.h>

#include <string>

#include "dbf/table/DBO_dBaseFld.h"
#include "tests/support/EncipherCopy.h"
#include "tests/support/FixtureManifest.h"

using dbf::DBO_DiskFile;
using dbf::DBO_dBaseFld;
using dbf::ETableEncryption;
using testsupport::TempFolder;

namespace {

std::string openMessage(const std::string& path, const std::string& key) {
    const size_t openBefore = DBO_DiskFile::openFileCount();
    try {
        DBO_dBaseFld t(path, false, true, key);
    } catch (const ETableEncryption& e) {
        EXPECT_EQ(DBO_DiskFile::openFileCount(), openBefore);
        return e.what();
    }
    return "opened";
}

}  // namespace

TEST(DbfEncryptionTest, EncipheredTableWithoutKeyIsRefused) {
    TempFolder folder;
    std::string table = testsupport::encipheredFixture(testsupport::cdxFixtures().string(), "a_tiny", folder, "k");
    EXPECT_EQ(openMessage(table, ""), "No Password for encrypted file " + DBO_DiskFile::expandFileName(table, ".DBF"));
}

TEST(DbfEncryptionTest, PlainTableWithKeyIsRefused) {
    std::string table = testsupport::cdxFixture("a_tiny.dbf");
    EXPECT_EQ(openMessage(table, "k"),
              "A Password is included for unencrypted file " + DBO_DiskFile::expandFileName(table, ".DBF"));
}

TEST(DbfEncryptionTest, WrongKeyIsRefusedWithTheFileName) {
    TempFolder folder;
    std::string table =
        testsupport::encipheredFixture(testsupport::cdxFixtures().string(), "b_multi", folder, "right key");
    EXPECT_EQ(openMessage(table, "wrong key"),
              "Invalid Password for encrypted file " + DBO_DiskFile::expandFileName(table, ".DBF"));
}

TEST(DbfEncryptionTest, EncryptionFlagIsCheckedBeforeTheDescriptors) {
    // A plain table whose flag byte says enciphered: no key is refused before anything
    // else; a key deciphers the plain descriptors into noise and is refused as wrong.
    TempFolder folder;
    auto bytes = testsupport::readFileBytes(testsupport::cdxFixture("b_multi.dbf"));
    bytes[15] = 1;
    std::string path = folder.file("flagged.dbf");
    testsupport::writeFileBytes(path, bytes);
    EXPECT_EQ(openMessage(path, "").rfind("No Password for encrypted file ", 0), 0u);
    EXPECT_EQ(openMessage(path, "xyz").rfind("Invalid Password for encrypted file ", 0), 0u);
}

TEST(DbfEncryptionTest, EmptyKeyOnPlainTableReadsBytesAsStored) {
    DBO_dBaseFld t(testsupport::cdxFixture("a_tiny.dbf"), false, true, "");
    t.GetRec(1);
    auto bytes = testsupport::readFileBytes(testsupport::cdxFixture("a_tiny.dbf"));
    EXPECT_TRUE(std::equal(bytes.begin() + 66, bytes.begin() + 66 + 21, t.recordBuffer()));
}

TEST(DbfEncryptionTest, TableHoldsTheKeyForReadingAndWriting) {
    TempFolder folder;
    std::string table = testsupport::encipheredFixture(testsupport::cdxFixtures().string(), "a_tiny", folder, "k!");
    DBO_dBaseFld t(table, false, true, "k!");
    EXPECT_EQ(t.readKey(), "k!");
    EXPECT_EQ(t.writeKey(), "k!");
}
