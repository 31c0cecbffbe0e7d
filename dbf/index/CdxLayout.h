// Where each number of a CDX compound index stands. The tags read them through a ByteView
// and the writers put them through a ByteWriter, both at these offsets. The file is made of
// 512-byte pages; offsets in it count from the start of the file; integers are little-endian
// unless marked big-endian.
//
// Tag header, 1024 bytes: the header page, then the expression page. The tag directory's
// is at offset 0, every other tag's where the directory says.
//   OFFSET  SIZE  DESCRIPTION
//   0       4     root page offset; 0 makes the tag unusable
//   4       4     free-page list (not read)
//   8       4     change counter; the directory's tells that another user wrote the file
//   12      2     key length, at most 240
//   14      1     options: 0x01 unique, 0x08 FOR condition, 0x20 compact, 0x40 compound,
//                 0x80 tag directory
//   15      1     signature (written as 1, not read)
//   494     8     collation name, NUL-terminated: "GENERAL", "MACHINE" or none
//   502     2     order: 0 ascending, otherwise descending
//   504     2     start of the FOR expression in the expression page (not read)
//   506     2     length of the FOR expression with its NUL (not read)
//   508     2     start of the key expression (not read)
//   510     2     length of the key expression with its NUL (not read)
//   512     512   key expression, NUL-terminated; then the FOR expression when 0x08 is set
//
// Every node page starts with:
//   OFFSET  SIZE  DESCRIPTION
//   0       2     attributes: 0 interior, 1 interior root, 2 leaf, 3 leaf root
//   2       2     number of keys in the page
//   4       4     left sibling offset, -1 for none
//   8       4     right sibling offset, -1 for none
//
// Interior page, from offset 12, `count` entries of keyLength + 8 bytes (at most
// 500 / (keyLength + 8) fit):
//   OFFSET        SIZE       DESCRIPTION
//   0             keyLength  the highest key of the child's subtree, padded (blanks or zeros)
//   keyLength     4          its record number, big-endian
//   keyLength+4   4          child page offset, big-endian
//
// Leaf page:
//   OFFSET  SIZE  DESCRIPTION
//   12      2     free bytes left in the entry area
//   14      4     record-number mask
//   18      1     duplicate-count mask
//   19      1     trailing-count mask
//   20      1     bits of the record number
//   21      1     bits of the duplicate count
//   22      1     bits of the trailing count
//   23      1     bytes per entry (E)
//   24      488   entry area: entries of E bytes from the front, key pieces from the back
// Entry i holds, from its lowest bit, the record number, the duplicate count and the
// trailing count; the two counts sit in the entry's top 16 bits. The key is the previous
// key's first `dup` bytes, then the piece stored for it, then `trail` pad bytes that are not
// stored. Pieces are laid down backwards: entry 0's piece ends at offset 512, entry 1's
// where entry 0's begins, and so on.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dbf {

constexpr uint32_t kCdxPageSize = 512;
constexpr uint32_t kCdxHeaderSize = 1024;
constexpr uint16_t kCdxMaxKeyLength = 240;
constexpr uint32_t kCdxNoPage = 0xFFFFFFFF;

struct CdxTagHeader {
    static constexpr size_t kRoot = 0;
    static constexpr size_t kFreeList = 4;
    static constexpr size_t kChangeCounter = 8;
    static constexpr size_t kKeyLength = 12;
    static constexpr size_t kOptions = 14;
    static constexpr size_t kSignature = 15;
    static constexpr size_t kCollation = 494;
    static constexpr size_t kCollationSize = 8;
    static constexpr size_t kOrder = 502;
    static constexpr size_t kForStart = 504;
    static constexpr size_t kForLength = 506;
    static constexpr size_t kKeyStart = 508;
    static constexpr size_t kKeyExpressionLength = 510;
    static constexpr size_t kExpressions = 512;
    static constexpr size_t kExpressionsSize = kCdxHeaderSize - kExpressions;

    static constexpr uint8_t kOptionUnique = 0x01;
    static constexpr uint8_t kOptionFor = 0x08;
    static constexpr uint8_t kOptionCompact = 0x20;
    static constexpr uint8_t kOptionCompound = 0x40;
    static constexpr uint8_t kOptionDirectory = 0x80;
    // The options of the tag directory, and of every tag a writer makes (plus unique, FOR).
    static constexpr uint8_t kDirectoryOptions = kOptionCompact | kOptionCompound | kOptionDirectory;
    static constexpr uint8_t kTagOptions = kOptionCompact | kOptionCompound;
    static constexpr uint8_t kSignatureValue = 1;
    // The directory's keys are tag names of at most 10 characters.
    static constexpr uint16_t kDirectoryKeyLength = 10;
};

struct CdxNode {
    static constexpr size_t kAttributes = 0;
    static constexpr size_t kKeyCount = 2;
    static constexpr size_t kLeftSibling = 4;
    static constexpr size_t kRightSibling = 8;

    static constexpr uint16_t kAttributeRoot = 1;
    static constexpr uint16_t kAttributeLeaf = 2;
};

struct CdxInterior {
    static constexpr size_t kFirstEntry = 12;
    static constexpr size_t kArea = 500;
    // After the key of an entry: its record number and its child's offset.
    static constexpr size_t kEntryNumbers = 8;
};

struct CdxLeaf {
    static constexpr size_t kFreeBytes = 12;
    static constexpr size_t kRecNoMask = 14;
    static constexpr size_t kDupMask = 18;
    static constexpr size_t kTrailMask = 19;
    static constexpr size_t kRecNoBits = 20;
    static constexpr size_t kDupBits = 21;
    static constexpr size_t kTrailBits = 22;
    static constexpr size_t kEntryBytes = 23;
    static constexpr size_t kFirstEntry = 24;
    static constexpr size_t kArea = kCdxPageSize - kFirstEntry;   // 488
};

}  // namespace dbf
