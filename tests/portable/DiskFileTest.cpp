// The named engine file (name expansion, the list of open files, short reads, share modes),
// the error table, and the byte view and writer that decode and build the files.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dbf/core/ByteView.h"
#include "dbf/core/ByteWriter.h"
#include "dbf/core/DBO_DiskFile.h"
#include "dbf/core/TableError.h"
#include "dbf/core/XbaseText.h"
#include "tests/support/EncipherCopy.h"
#include "tests/support/FixtureManifest.h"

using dbf::DBO_DiskFile;
using dbf::ETableError;
using testsupport::TempFolder;

namespace {

}  // namespace

TEST(DiskFileNameTest, TrimsUpperCasesAndAddsTheExtension) {
    std::string full = DBO_DiskFile::expandFileName("  keyloggerlist  ", ".DBF");
    EXPECT_EQ(DBO_DiskFile::baseName(full), "KEYLOGGERLIST.DBF");
    EXPECT_EQ(DBO_DiskFile::baseName(DBO_DiskFile::expandFileName("list.dat", ".DBF")), "LIST.DAT");
}

TEST(DiskFileNameTest, BareNameIsExpandedAgainstTheCurrentDirectory) {
    std::string full = DBO_DiskFile::expandFileName("table.dbf", ".DBF");
    std::string cwd = dbf::upperAscii(std::filesystem::current_path().string());
    EXPECT_EQ(full.rfind(cwd, 0), 0u) << full;
    EXPECT_GT(full.size(), cwd.size() + 9);
}

TEST(DiskFileNameTest, NameWithBackslashOrLateColonIsKeptAsItStands) {
    EXPECT_EQ(DBO_DiskFile::expandFileName("sub\\Table", ".DBF"), "SUB\\TABLE.DBF");
    EXPECT_EQ(DBO_DiskFile::expandFileName("ab:x", ".DBF"), "AB:X.DBF");
}

TEST(DiskFileNameTest, ExtensionIsLookedForInTheFilePartOnly) {
    EXPECT_EQ(DBO_DiskFile::expandFileName("dir.v2\\table", ".CDX"), "DIR.V2\\TABLE.CDX");
    EXPECT_EQ(DBO_DiskFile::baseName("C:\\A\\B.CDX"), "B.CDX");
    EXPECT_EQ(DBO_DiskFile::baseName("C:B.CDX"), "B.CDX");
}

TEST(DiskFileTest, OpenFilesAreListedWhileOpen) {
    std::string name = testsupport::cdxFixture("a_tiny.dbf");
    const size_t before = DBO_DiskFile::openFileCount();
    {
        DBO_DiskFile f(dbf::upperAscii(name), false, true);
        EXPECT_EQ(DBO_DiskFile::openFileCount(), before + 1);
        auto names = DBO_DiskFile::openFileNames();
        EXPECT_EQ(names.back(), dbf::upperAscii(name));
        EXPECT_EQ(f.fileName(), dbf::upperAscii(name));
    }
    EXPECT_EQ(DBO_DiskFile::openFileCount(), before);
}

TEST(DiskFileTest, ShortReadLeavesError221WithoutRaising) {
    DBO_DiskFile f(testsupport::cdxFixture("a_tiny.dbf"), false, true);
    char buf[64];
    EXPECT_EQ(f.read(180, buf, sizeof buf), 13u);
    EXPECT_EQ(f.lastError(), dbf::kErrShortRead);
    f.clearError();
    EXPECT_EQ(f.read(0, buf, 4), 4u);
    EXPECT_EQ(f.lastError(), 0);
    EXPECT_EQ(f.fileSize(), 193u);
}

TEST(DiskFileTest, ReadExactRaisesOnShortRead) {
    DBO_DiskFile f(testsupport::cdxFixture("a_tiny.dbf"), false, true);
    char buf[64];
    try {
        f.readExact(180, buf, sizeof buf, dbf::kSubRecordRead);
        FAIL() << "no error";
    } catch (const ETableError& e) {
        EXPECT_EQ(e.code(), dbf::kErrShortRead);
        EXPECT_EQ(e.subCode(), dbf::kSubRecordRead);
    }
}

TEST(DiskFileTest, ExclusiveOpenIsRefusedWhileTheFileIsOpen) {
    TempFolder folder;
    std::string path = folder.file("x.dbf");
    testsupport::writeFileBytes(path, {1, 2, 3});
    DBO_DiskFile shared(path, true, true);
    try {
        DBO_DiskFile exclusive(path, true, false);
        FAIL() << "opened";
    } catch (const ETableError& e) {
        EXPECT_EQ(e.code(), dbf::kErrSharingViolation);
        EXPECT_EQ(e.subCode(), dbf::kSubOpen);
        EXPECT_EQ(std::string(e.what()), "File access denied - " + path);
    }
    DBO_DiskFile another(path, false, true);
    EXPECT_EQ(another.fileSize(), 3u);
}

TEST(DiskFileTest, WritesAreReadBack) {
    TempFolder folder;
    std::string path = folder.file("w.bin");
    testsupport::writeFileBytes(path, {0, 0, 0, 0});
    DBO_DiskFile f(path, true, false);
    f.write(2, "abcd", 4);
    char buf[6];
    f.readExact(0, buf, 6, dbf::kSubRead);
    EXPECT_EQ(std::string(buf + 2, 4), "abcd");
    EXPECT_EQ(f.fileSize(), 6u);
}

TEST(DiskFileTest, MissingFolderIsPathNotFound) {
    TempFolder folder;
    std::string path = (folder.path() / "no" / "such.dbf").string();
    try {
        DBO_DiskFile f(path, false, true);
        FAIL() << "opened";
    } catch (const ETableError& e) {
        EXPECT_EQ(e.code(), dbf::kErrPathNotFound);
        EXPECT_EQ(std::string(e.what()), "Path not found - " + path);
    }
}

TEST(TableErrorTest, KnownCodeIsTextSeparatorAndFileName) {
    EXPECT_EQ(dbf::tableErrorMessage(2, 1107, "C:\\X\\K.CDX"), "File not found - C:\\X\\K.CDX");
    EXPECT_EQ(dbf::tableErrorMessage(1269, 1101, "C:\\T.DBF"), " - C:\\T.DBF");
}

// The error table as the user reads it: every code with its text, exactly.
TEST(TableErrorTest, EveryCodeOfTheTableKeepsItsText) {
    const std::pair<int, const char*> table[] = {
        {2, "File not found"},
        {3, "Path not found"},
        {4, "Too many open files"},
        {5, "File access denied"},
        {12, "Invalid file access code"},
        {15, "Invalid drive number"},
        {32, "File access denied"},
        {33, "Record locked by another user"},
        {100, "Disk read error"},
        {101, "Disk write error"},
        {102, "File not assigned"},
        {103, "File not open"},
        {104, "File not open for input"},
        {105, "File not open for output"},
        {106, "Invalid numeric format"},
        {150, "Disk is write-protected"},
        {152, "Drive not ready"},
        {162, "Hardware failure"},
        {183, "File already exists"},
        {1001, "dBase DBF file header invalid"},
        {1002, "dBase record request beyond EOF"},
        {1003, "dBase field name is invalid"},
        {1004, "dBase field is of incorrect type"},
        {1005, "dBase memo record has format error"},
        {1006, "Formula expression cannot be translated"},
        {1011, "Number too large to fit in field"},
        {1269, ""},
        {1270, ""},
        {1271, ""},
    };
    for (const auto& [code, text] : table)
        EXPECT_EQ(dbf::tableErrorMessage(code, dbf::kNoSubCode, "T.DBF"), std::string(text) + " - T.DBF") << code;
    for (int code : {0, 1, 6, 31, 221, 1000, 1007, 2112})
        EXPECT_EQ(dbf::tableErrorMessage(code, dbf::kNoSubCode, "").rfind("Table Error ", 0), 0u) << code;
}

TEST(TableErrorTest, UnknownCodeIsTableErrorFormWithSubcodeTwice) {
    EXPECT_EQ(dbf::tableErrorMessage(2112, 1107, "C:\\X\\K.CDX"), "Table Error 2112, SubCode 1107.\r C:\\X\\K.CDX>1107");
    EXPECT_EQ(dbf::tableErrorMessage(2112, dbf::kNoSubCode, ""), "Table Error 2112.\r");
}

TEST(TableErrorTest, RaisedErrorCarriesCodeAndSubcode) {
    try {
        dbf::raiseTableError(33, 1207, "T.DBF");
    } catch (const ETableError& e) {
        EXPECT_EQ(e.code(), 33);
        EXPECT_EQ(e.subCode(), 1207);
        EXPECT_STREQ(e.what(), "Record locked by another user - T.DBF");
    }
}

TEST(ByteViewTest, ReadOutsideTheBlockRaisesWithTheFileOffset) {
    const uint8_t bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    std::string file = "C:\\X.CDX";
    dbf::ByteView v(bytes, sizeof bytes, &file, 1024);
    EXPECT_EQ(v.u32le(4), 0x08070605u);
    EXPECT_EQ(v.u32be(0), 0x01020304u);
    try {
        v.u32le(6);
        FAIL() << "no error";
    } catch (const ETableError& e) {
        EXPECT_NE(std::string(e.what()).find("at file offset 1030"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find(file), std::string::npos);
    }
    EXPECT_THROW(v.sub(9, 0), ETableError);
    EXPECT_THROW(v.bytes(2, SIZE_MAX), ETableError);
}

TEST(ByteViewTest, NumbersOfAnyWidthReadLeastSignificantByteFirst) {
    const uint8_t bytes[8] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x88};
    dbf::ByteView v(bytes, sizeof bytes);
    EXPECT_EQ(v.ule(0, 1), 0x01u);
    EXPECT_EQ(v.ule(1, 3), 0x040302u);
    EXPECT_EQ(v.u64le(0), 0x8807060504030201u);
    EXPECT_EQ(dbf::ByteView(std::string_view("\xFF\xFF\xFF\x7F", 4)).u32le(0), 0x7FFFFFFFu);
    EXPECT_THROW(v.ule(6, 3), ETableError);
}

TEST(ByteWriterTest, WritesWhatTheViewReadsBack) {
    std::vector<uint8_t> bytes(16, 0);
    dbf::ByteWriter w(bytes);
    w.putU8(0, 0xAB);
    w.putU16le(1, 0x1234);
    w.putU32le(3, 0xDEADBEEF);
    w.putU32be(7, 0x01020304);
    w.putUle(11, 0x0A0B0C, 3);
    w.putBytes(14, "xy");
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0xAB, 0x34, 0x12, 0xEF, 0xBE, 0xAD, 0xDE, 0x01, 0x02, 0x03, 0x04, 0x0C,
                                           0x0B, 0x0A, 'x', 'y'}));
    dbf::ByteView v(bytes);
    EXPECT_EQ(v.u16le(1), 0x1234u);
    EXPECT_EQ(v.u32le(3), 0xDEADBEEFu);
    EXPECT_EQ(v.u32be(7), 0x01020304u);
    EXPECT_EQ(v.ule(11, 3), 0x0A0B0Cu);
}

TEST(ByteWriterTest, WriteOutsideTheBlockRaisesAndWritesNothing) {
    std::vector<uint8_t> bytes(4, 0);
    dbf::ByteWriter w(bytes);
    EXPECT_THROW(w.putU32le(1, 0xFFFFFFFF), std::out_of_range);
    EXPECT_THROW(w.putU8(4, 1), std::out_of_range);
    EXPECT_THROW(w.putBytes(3, "ab"), std::out_of_range);
    EXPECT_THROW(w.putU16le(SIZE_MAX, 1), std::out_of_range);
    EXPECT_EQ(bytes, std::vector<uint8_t>(4, 0));
}
