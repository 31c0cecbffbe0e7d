// Record positioning: numbers and steps, the ends of the table, the record count taken
// from the file size, writes and the header written back on close.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "dbf/table/DBO_dBaseFld.h"
#include "tests/support/EncipherCopy.h"
#include "tests/support/FixtureManifest.h"
#include "tests/support/TableImage.h"

using dbf::DBO_dBaseDBF;
using dbf::DBO_dBaseFld;
using dbf::ETableError;
using testsupport::TableImage;
using testsupport::TempFolder;

namespace {

TableImage twelveNames() {
    TableImage img;
    img.fields = {{"NAME", 'C', 10}};
    for (int i = 1; i <= 12; ++i) img.records.push_back("REC" + std::to_string(i));
    return img;
}

std::string write(const TempFolder& folder, const std::string& name, const std::vector<uint8_t>& bytes) {
    std::string path = folder.file(name);
    testsupport::writeFileBytes(path, bytes);
    return path;
}

std::string recordText(const DBO_dBaseDBF& t) {
    return std::string(reinterpret_cast<const char*>(t.recordBuffer()), t.recordLength());
}

}  // namespace

TEST(DbfRecordTest, RecordCountComesFromFileSizeNotHeader) {
    TempFolder folder;
    auto bytes = twelveNames().bytes();
    bytes[4] = 10;   // the header claims 10 records over 12
    DBO_dBaseFld t(write(folder, "t.dbf", bytes), false, true);
    EXPECT_EQ(t.recordCount(), 12u);
    t.GetRec(12);
    EXPECT_EQ(t.fieldText(1), "REC12");
}

TEST(DbfRecordTest, BytesAfterTheLastWholeRecordAreNoRecord) {
    TempFolder folder;
    auto bytes = twelveNames().bytes();   // ends with 0x1A
    bytes.insert(bytes.end(), {'x', 'y', 'z'});
    DBO_dBaseFld t(write(folder, "t.dbf", bytes), false, true);
    EXPECT_EQ(t.recordCount(), 12u);
}

TEST(DbfRecordTest, RecordOneAfterCountSetsEndOfFileWithoutError) {
    DBO_dBaseFld t(testsupport::cdxFixture("a_tiny.dbf"), false, true);
    t.GetRec(3);
    std::string before = recordText(t);
    t.GetRec(7);
    EXPECT_TRUE(t.eof());
    EXPECT_EQ(t.recNo(), 3u);
    EXPECT_EQ(recordText(t), before);
    t.GetRec(6);
    t.GetRec(DBO_dBaseDBF::kNext);
    EXPECT_TRUE(t.eof());
}

TEST(DbfRecordTest, RecordTwoAfterCountRaisesBeyondEof) {
    DBO_dBaseFld t(testsupport::cdxFixture("a_tiny.dbf"), false, true);
    try {
        t.GetRec(8);
        FAIL() << "no error";
    } catch (const ETableError& e) {
        EXPECT_EQ(e.code(), dbf::kErrBeyondEof);
        EXPECT_EQ(e.subCode(), dbf::kSubRecordRead);
        EXPECT_EQ(std::string(e.what()), "dBase record request beyond EOF - " + t.fileName());
    }
}

TEST(DbfRecordTest, StepBelowMinusFiveRaisesBeyondEof) {
    DBO_dBaseFld t(testsupport::cdxFixture("a_tiny.dbf"), false, true);
    EXPECT_THROW(t.GetRec(-6), ETableError);
    EXPECT_THROW(t.GetRec(INT32_MIN), ETableError);
}

TEST(DbfRecordTest, PreviousOnRecordOneSetsBeginningAndKeepsBuffer) {
    DBO_dBaseFld t(testsupport::cdxFixture("a_tiny.dbf"), false, true);
    t.GetRec(DBO_dBaseDBF::kFirst);
    std::string before = recordText(t);
    t.GetRec(DBO_dBaseDBF::kPrevious);
    EXPECT_TRUE(t.bof());
    EXPECT_FALSE(t.eof());
    EXPECT_EQ(t.recNo(), 1u);
    EXPECT_EQ(recordText(t), before);
}

TEST(DbfRecordTest, StepsResolveAgainstTheCurrentRecord) {
    DBO_dBaseFld t(testsupport::cdxFixture("a_tiny.dbf"), false, true);
    EXPECT_EQ(t.recNo(), 0u);
    EXPECT_TRUE(t.bof());
    t.GetRec(0);   // does nothing
    EXPECT_EQ(t.recNo(), 0u);
    t.GetRec(DBO_dBaseDBF::kNext);   // from no record: the first
    EXPECT_EQ(t.recNo(), 1u);
    EXPECT_EQ(t.fieldText(1), "MY APP.EXE");
    t.GetRec(DBO_dBaseDBF::kLast);
    EXPECT_EQ(t.recNo(), 6u);
    EXPECT_EQ(t.fieldText(1), "MY");
    t.GetRec(DBO_dBaseDBF::kPrevious);
    EXPECT_EQ(t.recNo(), 5u);
    EXPECT_EQ(t.fieldText(1), "KEYLOG.EXE");
    std::memset(t.recordBuffer() + 1, 'Z', 5);
    t.GetRec(DBO_dBaseDBF::kCurrent);   // reads the record again
    EXPECT_EQ(t.fieldText(1), "KEYLOG.EXE");
    t.GetRec(DBO_dBaseDBF::kFirst);
    EXPECT_EQ(t.recNo(), 1u);
    EXPECT_FALSE(t.bof());
}

TEST(DbfRecordTest, EmptyTableSetsBothEndsOnAnyRequest) {
    DBO_dBaseFld t(testsupport::cdxFixture("f_empty.dbf"), false, true);
    EXPECT_EQ(t.recordCount(), 0u);
    t.GetRec(DBO_dBaseDBF::kFirst);
    EXPECT_TRUE(t.eof());
    EXPECT_TRUE(t.bof());
    t.GetRec(5);   // no error on an empty table
    EXPECT_TRUE(t.eof());
    EXPECT_EQ(t.recNo(), 0u);
}

TEST(DbfRecordTest, RecordBufferIsBlankBeforeTheFirstRead) {
    DBO_dBaseFld t(testsupport::cdxFixture("a_tiny.dbf"), false, true);
    EXPECT_EQ(recordText(t), std::string(21, ' '));
    EXPECT_FALSE(t.isDeleted());
    EXPECT_EQ(t.recordBuffer()[21], 0x1A);
}

TEST(DbfRecordTest, DeletedRecordsAreReturnedAndMarked) {
    DBO_dBaseFld t(testsupport::cdxFixture("c_dups.dbf"), false, true);
    t.GetRec(1);
    EXPECT_TRUE(t.isDeleted());
    t.GetRec(DBO_dBaseDBF::kNext);
    EXPECT_EQ(t.recNo(), 2u);
    EXPECT_FALSE(t.isDeleted());
}

TEST(DbfRecordTest, SharedTableSeesRecordsAppendedByAnotherUser) {
    TempFolder folder;
    std::string path = write(folder, "t.dbf", twelveNames().bytes());
    DBO_dBaseFld reader(path, false, true);
    reader.GetRec(DBO_dBaseDBF::kLast);
    {
        DBO_dBaseFld writer(path, true, true);
        writer.blankRecord();
        std::memcpy(writer.recordBuffer() + 1, "REC13", 5);
        writer.writeRecord(13);
        EXPECT_EQ(writer.recordCount(), 13u);
    }
    reader.GetRec(DBO_dBaseDBF::kNext);   // past the known count: the header is read again
    EXPECT_FALSE(reader.eof());
    EXPECT_EQ(reader.recNo(), 13u);
    EXPECT_EQ(reader.fieldText(1), "REC13");
    EXPECT_TRUE(reader.changedByOther());
    EXPECT_EQ(reader.recordCount(), 13u);
}

TEST(DbfRecordTest, AppendWritesTheEndOfFileMarkerAndHeaderCount) {
    TempFolder folder;
    std::string path = write(folder, "t.dbf", twelveNames().bytes());
    {
        DBO_dBaseFld t(path, true, false);
        t.blankRecord();
        std::memcpy(t.recordBuffer() + 1, "NEW", 3);
        t.writeRecord(13);
    }
    auto bytes = testsupport::readFileBytes(path);
    const size_t expected = 66 + 13 * 11 + 1;
    ASSERT_EQ(bytes.size(), expected);
    EXPECT_EQ(bytes.back(), 0x1A);
    EXPECT_EQ(bytes[4], 13);   // the count written back on close
    EXPECT_EQ(std::string(bytes.begin() + 66 + 12 * 11, bytes.begin() + 66 + 12 * 11 + 4), " NEW");
}

TEST(DbfRecordTest, WrittenRecordIsEncipheredButBufferStaysPlain) {
    TempFolder folder;
    const std::string key = "secret";
    std::string path = folder.file("t.dbf");
    testsupport::writeFileBytes(path, testsupport::encipherTableImage(twelveNames().bytes(), key));
    {
        DBO_dBaseFld t(path, true, false, key);
        t.GetRec(2);
        std::memcpy(t.recordBuffer() + 1, "CHANGED   ", 10);
        t.writeRecord(2);
        EXPECT_EQ(t.fieldText(1), "CHANGED");
        t.GetRec(1);
        t.GetRec(2);   // through the read-ahead, which the write updated
        EXPECT_EQ(t.fieldText(1), "CHANGED");
    }
    auto bytes = testsupport::readFileBytes(path);
    std::string expected = " CHANGED   ";
    std::vector<uint8_t> sealed(expected.begin(), expected.end());
    testsupport::encipherUnit(key, sealed.data(), sealed.size());
    EXPECT_TRUE(std::equal(sealed.begin(), sealed.end(), bytes.begin() + 66 + 11));
    DBO_dBaseFld again(path, false, true, key);
    again.GetRec(2);
    EXPECT_EQ(again.fieldText(1), "CHANGED");
}

TEST(DbfRecordTest, IdenticalRecordsAreStoredIdenticallyWhenEnciphered) {
    TableImage img;
    img.fields = {{"NAME", 'C', 10}};
    img.records = {"SAME", "SAME"};
    auto bytes = testsupport::encipherTableImage(img.bytes(), "k3y");
    EXPECT_TRUE(std::equal(bytes.begin() + 66, bytes.begin() + 77, bytes.begin() + 77));
}

TEST(DbfRecordTest, HeaderIsWrittenBackOnlyWhenChanged) {
    TempFolder folder;
    std::string path = write(folder, "t.dbf", twelveNames().bytes());
    auto before = testsupport::readFileBytes(path);
    { DBO_dBaseFld t(path, true, false); }
    EXPECT_EQ(testsupport::readFileBytes(path), before);
    {
        DBO_dBaseFld t(path, true, false);
        t.setUserId(77);
        t.setTableFlags(0x01);
    }
    auto after = testsupport::readFileBytes(path);
    EXPECT_EQ(after[28], 0x01);
    EXPECT_EQ(after[20], 77);
    EXPECT_EQ(after[4], 12);
    EXPECT_EQ(after[15], 0);
    EXPECT_TRUE(std::equal(before.begin() + 32, before.end(), after.begin() + 32));
}

TEST(DbfRecordTest, ReadOnlyTableRefusesWritesAndKeepsItsHeader) {
    TempFolder folder;
    std::string path = write(folder, "t.dbf", twelveNames().bytes());
    auto before = testsupport::readFileBytes(path);
    {
        DBO_dBaseFld t(path, false, true);
        t.GetRec(1);
        EXPECT_THROW(t.writeRecord(1), ETableError);
        t.setTableFlags(0x05);
    }
    EXPECT_EQ(testsupport::readFileBytes(path), before);
}

TEST(DbfRecordTest, LockOffsetsFollowTheProtocol) {
    DBO_dBaseFld t(testsupport::cdxFixture("a_tiny.dbf"), false, true);
    EXPECT_EQ(t.recordLockOffset(1), 0x40000000u + 66);
    EXPECT_EQ(t.recordLockOffset(3), 0x40000000u + 66 + 2 * 21);
    t.setIndexOpen(true);
    EXPECT_EQ(t.recordLockOffset(3), 0x7FFFFFFEu - 3);
    t.setLockProtocol(dbf::TdbLokProtocol::DB4Lock);
    EXPECT_EQ(t.headerLockOffset(), 0xEFFFFFFFu);
    EXPECT_EQ(t.fileLockLength(), 0xB0000000u);
    t.setLockProtocol(dbf::TdbLokProtocol::ClipLock);
    EXPECT_EQ(t.lockBase(), 1000000000u);
    EXPECT_EQ(t.headerLockOffset(), 1000000000u);
    EXPECT_EQ(t.fileLockLength(), 1000000000u);
}

TEST(DbfRecordTest, RecordLockHeldByOneUserIsRefusedToAnother) {
    TempFolder folder;
    std::string path = write(folder, "t.dbf", twelveNames().bytes());
    DBO_dBaseFld a(path, true, true), b(path, true, true);
    ASSERT_TRUE(a.lockRecord(4));
    EXPECT_FALSE(b.lockRecord(4));
    EXPECT_EQ(b.lastError(), dbf::kErrLockViolation);
    EXPECT_TRUE(b.lockRecord(5));
    a.unlockRecord(4);
    EXPECT_TRUE(b.lockRecord(4));
    b.unlockRecord(4);
    b.unlockRecord(5);
    ASSERT_TRUE(a.lockTable());
    EXPECT_FALSE(b.lockRecord(1));
    a.unlockTable();
}
