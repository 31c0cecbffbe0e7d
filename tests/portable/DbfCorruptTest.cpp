// Damaged and hostile table files: every one is refused with the engine's error and a
// message that says what was wrong, and nothing stays open.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dbf/table/DBO_dBaseFld.h"
#include "tests/support/EncipherCopy.h"
#include "tests/support/FixtureManifest.h"
#include "tests/support/TableImage.h"

using dbf::DBO_DiskFile;
using dbf::DBO_dBaseFld;
using dbf::ETableError;
using dbf::DbfDescriptor;
using dbf::DbfHeader;
using testsupport::TableImage;
using testsupport::TempFolder;

namespace {

TableImage sample() {
    TableImage img;
    img.fields = {{"NAME", 'C', 10}, {"QTY", 'N', 5}};
    img.records = {"FIRST        1", "SECOND       2"};
    return img;
}

struct Refusal {
    int code = 0;
    int subCode = 0;
    std::string message;
};

// Opens `bytes` as a table and returns what the engine raised; fails the test when it
// opened or raised something other than ETableError.
Refusal refuse(const std::vector<uint8_t>& bytes) {
    TempFolder folder;
    std::string path = folder.file("bad.dbf");
    testsupport::writeFileBytes(path, bytes);
    const size_t openBefore = DBO_DiskFile::openFileCount();
    Refusal r;
    try {
        DBO_dBaseFld t(path, false, true);
        ADD_FAILURE() << "opened";
    } catch (const ETableError& e) {
        r = {e.code(), e.subCode(), e.what()};
    }
    EXPECT_EQ(DBO_DiskFile::openFileCount(), openBefore);
    return r;
}

// The sample with the 16-bit header number at `offset` set to `value`.
std::vector<uint8_t> sampleWith(size_t offset, uint16_t value) {
    auto bytes = sample().bytes();
    dbf::ByteWriter(bytes).putU16le(offset, value);
    return bytes;
}

// The open of `bytes` is refused as an invalid header whose message says `what`.
void expectInvalidHeader(const std::vector<uint8_t>& bytes, const std::string& what) {
    Refusal r = refuse(bytes);
    EXPECT_EQ(r.code, dbf::kErrHeaderInvalid);
    EXPECT_NE(r.message.find(what), std::string::npos) << r.message;
}

}  // namespace

TEST(DbfCorruptTest, VersionFourIsAnInvalidHeaderWithTheFileName) {
    TempFolder folder;
    auto bytes = sample().bytes();
    bytes[0] = 0x04;
    std::string path = folder.file("v4.dbf");
    testsupport::writeFileBytes(path, bytes);
    try {
        DBO_dBaseFld t(path, false, true);
        FAIL() << "opened";
    } catch (const ETableError& e) {
        EXPECT_EQ(e.code(), dbf::kErrHeaderInvalid);
        EXPECT_EQ(e.subCode(), dbf::kSubHeaderCheck);
        EXPECT_EQ(std::string(e.what()),
                  "dBase DBF file header invalid - " + DBO_DiskFile::expandFileName(path, ".DBF"));
    }
}

TEST(DbfCorruptTest, AcceptsEveryKnownVersion) {
    for (int v : {0x03, 0x83, 0x8B, 0xF5}) {
        TempFolder folder;
        auto bytes = sample().bytes();
        bytes[0] = static_cast<uint8_t>(v);
        std::string path = folder.file("v.dbf");
        testsupport::writeFileBytes(path, bytes);
        DBO_dBaseFld t(path, false, true);
        EXPECT_EQ(t.recordCount(), 2u);
    }
}

TEST(DbfCorruptTest, RejectsFileShorterThanItsHeader) {
    auto bytes = sample().bytes();
    bytes.resize(20);
    expectInvalidHeader(bytes, "less than the 32-byte table header");
    EXPECT_EQ(refuse({}).code, dbf::kErrHeaderInvalid);
}

TEST(DbfCorruptTest, RejectsHeaderLengthBelow33) {
    for (uint16_t hl : {0, 20, 32})
        expectInvalidHeader(sampleWith(DbfHeader::kHeaderLength, hl),
                            "header length " + std::to_string(hl) + " is below 33");
}

TEST(DbfCorruptTest, RejectsFoxProHeaderLengthBelow296) {
    auto bytes = sample().bytes();   // 98 bytes of header: fine for 0x03, too short for 0x30
    bytes[DbfHeader::kVersion] = DbfHeader::kVisualFoxPro;
    expectInvalidHeader(bytes, "is below 296");
}

TEST(DbfCorruptTest, RejectsHeaderWithoutRoomForADescriptor) {
    expectInvalidHeader(sampleWith(DbfHeader::kHeaderLength, 60), "no room for a field descriptor");
}

TEST(DbfCorruptTest, RejectsZeroRecordLength) {
    expectInvalidHeader(sampleWith(DbfHeader::kRecordLength, 0), "record length is 0");
}

TEST(DbfCorruptTest, RejectsRecordLengthShorterThanFields) {
    expectInvalidHeader(sampleWith(DbfHeader::kRecordLength, 12),
                        "the fields need 16 bytes but the record length is 12");
}

TEST(DbfCorruptTest, RejectsFieldLengthsBeyondRecordLength) {
    auto bytes = sample().bytes();
    bytes[DbfHeader::kSize + DbfDescriptor::kLength] = 255;     // NAME claims 255 bytes
    bytes[DbfHeader::kSize + DbfDescriptor::kDecimals] = 255;   // and 255 * 256 more
    expectInvalidHeader(bytes, "the fields need");
}

TEST(DbfCorruptTest, RejectsDescriptorsCutOffByTheEndOfFile) {
    // Descriptors claimed far past the file.
    expectInvalidHeader(sampleWith(DbfHeader::kHeaderLength, 65535), "the file ends inside the field descriptors");
    auto bytes = sample().bytes();
    bytes.resize(70);
    EXPECT_EQ(refuse(bytes).code, dbf::kErrHeaderInvalid);
}

TEST(DbfCorruptTest, HugeRecordLengthOverSmallFileHoldsNoRecords) {
    auto bytes = sampleWith(DbfHeader::kRecordLength, 65535);
    TempFolder folder;
    std::string path = folder.file("big.dbf");
    testsupport::writeFileBytes(path, bytes);
    DBO_dBaseFld t(path, false, true);
    EXPECT_EQ(t.recordCount(), 0u);
    t.GetRec(1);
    EXPECT_TRUE(t.eof());
}

TEST(DbfCorruptTest, MessageOfDamagedHeaderNamesTheFile) {
    Refusal r = refuse(sampleWith(DbfHeader::kRecordLength, 0));
    EXPECT_EQ(r.message.rfind("dBase DBF file header invalid - ", 0), 0u) << r.message;
    EXPECT_NE(r.message.find("BAD.DBF"), std::string::npos) << r.message;
}

TEST(DbfCorruptTest, MissingFileIsFileNotFoundWithFullName) {
    TempFolder folder;
    std::string path = folder.file("absent.dbf");
    try {
        DBO_dBaseFld t(path, false, true);
        FAIL() << "opened";
    } catch (const ETableError& e) {
        EXPECT_EQ(e.code(), dbf::kErrFileNotFound);
        EXPECT_EQ(e.subCode(), dbf::kSubOpen);
        EXPECT_EQ(std::string(e.what()), "File not found - " + DBO_DiskFile::expandFileName(path, ".DBF"));
    }
}

TEST(DbfCorruptTest, FileThatShrinksUnderTheTableGivesAnErrorNotStaleData) {
    TempFolder folder;
    std::string path = folder.file("t.dbf");
    testsupport::writeFileBytes(path, sample().bytes());
    DBO_dBaseFld t(path, false, true);
    t.setReadAhead(false);
    auto bytes = sample().bytes();
    bytes.resize(bytes.size() - 10);   // record 2 is cut
    testsupport::writeFileBytes(path, bytes);
    try {
        t.GetRec(2);
        FAIL() << "no error";
    } catch (const ETableError& e) {
        EXPECT_EQ(e.code(), dbf::kErrShortRead);
        EXPECT_NE(std::string(e.what()).find("the file ends inside record 2"), std::string::npos) << e.what();
    }
}
