// Where each number of a dBASE/FoxPro table file stands. The table reads them through a
// ByteView and the writers put them through a ByteWriter, both at these offsets. Integers
// are little-endian.
//
// Table header, the first 32 bytes (never enciphered):
//   OFFSET SIZE DESCRIPTION
//   0      1    version: 0x03, 0x30 (Visual FoxPro), 0x83, 0x8B, 0xF5
//   1      3    date of the last header write: year mod 100, month, day
//   4      4    record count as last written (not trusted: the file size decides)
//   8      2    header length = offset of record 1
//   10     2    record length, deletion flag included
//   12     3    not used
//   15     1    encryption flag: non-zero when descriptors and records are enciphered
//   16     4    change stamp: ((hour * 64 + minute) * 64 + second) * 1024 + milliseconds
//   20     4    number of the user who last wrote the header
//   24     4    not used
//   28     1    table flags: 1 structural index, 2 memo (0x30 only), 4 database container
//   29     3    not used (no code page is read)
//
// Field descriptors, 32 bytes each, from offset 32; (header length - 33) / 32 of them, or
// (header length - 296) / 32 for 0x30 tables, whose 0x0D terminator is followed by a
// 263-byte area:
//   OFFSET SIZE DESCRIPTION
//   0      11   name, NUL-padded
//   11     1    type letter
//   12     4    not read: the engine computes each field's offset itself
//   16     1    length
//   17     1    decimals; for "C" the length is length + 256 * decimals
//   18     14   not read
//
// Record n (from 1) lies at header length + (n - 1) * record length. Its first byte is "*"
// for a deleted record and a blank otherwise; the fields follow packed in descriptor order.
// An end-of-file byte 0x1A may follow the last record.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dbf {

struct DbfHeader {
    static constexpr size_t kVersion = 0;
    static constexpr size_t kDate = 1;   // year mod 100, month, day
    static constexpr size_t kRecordCount = 4;
    static constexpr size_t kHeaderLength = 8;
    static constexpr size_t kRecordLength = 10;
    static constexpr size_t kEncrypted = 15;
    static constexpr size_t kChangeStamp = 16;
    static constexpr size_t kUserId = 20;
    static constexpr size_t kTableFlags = 28;
    static constexpr size_t kSize = 32;

    static constexpr uint8_t kDbase = 0x03;
    static constexpr uint8_t kVisualFoxPro = 0x30;
    static constexpr uint8_t kDbaseMemo = 0x83;
    static constexpr uint8_t kDbase4Memo = 0x8B;
    static constexpr uint8_t kFoxProMemo = 0xF5;

    static constexpr uint8_t kFlagStructuralIndex = 0x01;
    static constexpr uint8_t kFlagMemo = 0x02;
    static constexpr uint8_t kFlagContainer = 0x04;

    // Header bytes that are no descriptor: the 32 above, the terminator and, for Visual
    // FoxPro, its 263-byte area.
    static constexpr uint32_t reservedBytes(uint8_t version) noexcept { return version == kVisualFoxPro ? 296 : 33; }
};

struct DbfDescriptor {
    static constexpr size_t kName = 0;
    static constexpr size_t kNameSize = 11;
    static constexpr size_t kType = 11;
    static constexpr size_t kLength = 16;
    static constexpr size_t kDecimals = 17;
    static constexpr size_t kSize = 32;
};

constexpr uint8_t kDbfDescriptorsEnd = 0x0D;
constexpr uint8_t kDbfEndOfFile = 0x1A;
constexpr char kDbfDeletedFlag = '*';

}  // namespace dbf
