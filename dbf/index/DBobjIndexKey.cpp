// Decoding of CDX node pages. A page is 512 bytes; integers are little-endian unless marked.
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
#include "dbf/index/DBobjIndexKey.h"

#include <algorithm>
#include <cstring>

#include "dbf/core/ByteView.h"
#include "dbf/core/TableError.h"
#include "dbf/index/CdxKeyCompare.h"

namespace dbf {

namespace {

constexpr size_t kInteriorFirstEntry = 12;
constexpr size_t kInteriorArea = 500;
constexpr size_t kLeafFirstEntry = 24;
constexpr size_t kLeafArea = kCdxPageSize - kLeafFirstEntry;   // 488

}  // namespace

void raiseIndexDamage(const std::string& fileName, uint64_t offset, const std::string& detail) {
    raiseCorrupt(kErrIndexUnreadable, kSubIndexUnreadable, fileName,
                 "index page at offset " + std::to_string(offset) + ": " + detail);
}

void DBobjIndexKey::damaged(const std::string& fileName, const std::string& what) const {
    raiseIndexDamage(fileName, offset_, what);
}

void DBobjIndexKey::decode(const uint8_t* page, uint32_t pageOffset, const CdxKeyFormat& format,
                           const std::string& fileName) {
    offset_ = pageOffset;
    format_ = format;
    begin(0);
    common_ = 0;
    ByteView v(page, kCdxPageSize, &fileName, pageOffset);
    uint16_t attributes = v.u16le(0);
    uint16_t count = v.u16le(2);
    left_ = v.u32le(4);
    right_ = v.u32le(8);
    leaf_ = attributes >= 2;
    if (format.keyLength == 0 || format.keyLength > kCdxMaxKeyLength)
        damaged(fileName, "key length " + std::to_string(format.keyLength) + " is not usable");
    if (leaf_)
        decodeLeaf(page, count, fileName);
    else
        decodeInterior(page, count, fileName);
    finish();
}

void DBobjIndexKey::finish() noexcept {
    common_ = 0;
    if (count_ < 2) return;
    std::string_view first = key(0), last = key(count_ - 1);
    size_t n = std::min(first.size(), last.size());
    size_t common = 0;
    while (common < n && first[common] == last[common]) ++common;
    common_ = static_cast<uint8_t>(common);   // keys are at most 240 bytes
    for (size_t i = 0; i < count_; ++i) {
        std::string_view k = key(i);
        // A key shorter than the common prefix can only be met on a page out of order.
        uint64_t p = cdxKeyPrefix(k.substr(std::min(common, k.size())));
        std::memcpy(data_ + i * sizeof(uint64_t), &p, sizeof p);
    }
}

void DBobjIndexKey::resizeStore(size_t size) {
    if (size > capacity_) {
        size_t capacity = std::max(size, capacity_ * 2);
        auto bigger = std::make_unique<uint8_t[]>(capacity);
        std::memcpy(bigger.get(), data_, size_);
        heap_ = std::move(bigger);
        data_ = heap_.get();
        capacity_ = capacity;
    }
    size_ = size;
}

void DBobjIndexKey::begin(size_t count) {
    count_ = static_cast<uint32_t>(count);
    added_ = 0;
    size_ = 0;
    resizeStore(keysBase());
}

// The held form of a key: trailing pad bytes go, and for the "GENERAL" collation bytes up to
// 15 at the end (scanning back from `scanFrom`, never touching byte 0) get 0xF0 added first.
void DBobjIndexKey::addKey(const char* bytes, size_t length, size_t scanFrom, uint32_t recNo, uint32_t child) {
    size_t at = size_;
    resizeStore(at + length);
    std::memcpy(data_ + at, bytes, length);
    char* k = reinterpret_cast<char*>(data_) + at;
    if (format_.general && format_.character && scanFrom > 0) {
        for (size_t i = std::min(scanFrom, length) - 1; i > 0; --i) {
            auto b = static_cast<uint8_t>(k[i]);
            if (b > 15) break;
            k[i] = static_cast<char>(b | 0xF0);
        }
    }
    char pad = format_.character ? ' ' : '\0';
    while (length > 0 && k[length - 1] == pad) --length;
    size_ = at + length;
    uint64_t prefix = cdxKeyPrefix({k, length});
    DBobjIndexKeyData e{recNo, child, static_cast<uint16_t>(at - keysBase()), static_cast<uint8_t>(length), 0};
    std::memcpy(data_ + added_ * sizeof(uint64_t), &prefix, sizeof prefix);
    std::memcpy(data_ + count_ * sizeof(uint64_t) + added_ * sizeof e, &e, sizeof e);
    ++added_;
}

void DBobjIndexKey::decodeInterior(const uint8_t* page, uint16_t count, const std::string& fileName) {
    const size_t keyLength = format_.keyLength;
    const size_t entrySize = keyLength + 8;
    const size_t maxEntries = kInteriorArea / entrySize;
    if (count == 0) damaged(fileName, "interior page holds no keys");
    if (count > maxEntries)
        damaged(fileName, "interior page claims " + std::to_string(count) + " keys of length " +
                              std::to_string(keyLength) + ", at most " + std::to_string(maxEntries) + " fit");
    ByteView v(page, kCdxPageSize, &fileName, offset_);
    begin(count);
    for (size_t i = 0; i < count; ++i) {
        size_t at = kInteriorFirstEntry + i * entrySize;
        std::string_view key = v.bytes(at, keyLength);
        uint32_t recNo = v.u32be(at + keyLength);
        uint32_t child = v.u32be(at + keyLength + 4);
        if (child == offset_) damaged(fileName, "entry " + std::to_string(i) + " points to its own page");
        if (child % kCdxPageSize != 0 || child < kCdxHeaderSize)
            damaged(fileName, "entry " + std::to_string(i) + " has child offset " + std::to_string(child) +
                                  ", not a page of the tree");
        // The "GENERAL" scan of an interior key starts at its last non-blank byte.
        size_t scanFrom = key.size();
        while (scanFrom > 0 && key[scanFrom - 1] == ' ') --scanFrom;
        addKey(key.data(), key.size(), scanFrom, recNo, child);
    }
}

void DBobjIndexKey::decodeLeaf(const uint8_t* page, uint16_t count, const std::string& fileName) {
    ByteView v(page, kCdxPageSize, &fileName, offset_);
    const uint32_t recMask = v.u32le(14);
    const uint32_t dupMask = v.u8(18);
    const uint32_t trailMask = v.u8(19);
    const unsigned recBits = v.u8(20);
    const unsigned dupBits = v.u8(21);
    const unsigned trailBits = v.u8(22);
    const size_t entryBytes = v.u8(23);
    if (count == 0) return;
    if (entryBytes < 2 || recBits > 32 || dupBits + trailBits > 16 || recBits + dupBits + trailBits > entryBytes * 8)
        damaged(fileName, "leaf bit widths " + std::to_string(recBits) + "/" + std::to_string(dupBits) + "/" +
                              std::to_string(trailBits) + " do not fit entries of " + std::to_string(entryBytes) +
                              " bytes");
    if (size_t{count} * entryBytes > kLeafArea)
        damaged(fileName, "leaf claims " + std::to_string(count) + " entries of " + std::to_string(entryBytes) +
                              " bytes, more than the page holds");

    const size_t keyLength = format_.keyLength;
    const char pad = format_.character ? ' ' : '\0';
    // Holds the previous key in full, pad bytes included: a duplicate count may reach into
    // the previous key's trailing blanks (after "MY", 3 bytes of "MY APP.EXE" come from it).
    char work[kCdxKeyBufferSize];
    std::memset(work, ' ', sizeof work);
    const size_t entriesEnd = kLeafFirstEntry + size_t{count} * entryBytes;
    size_t pieceEnd = kCdxPageSize;
    begin(count);
    for (size_t i = 0; i < count; ++i) {
        size_t at = kLeafFirstEntry + i * entryBytes;
        uint32_t raw = 0;
        for (size_t b = 0; b < std::min<size_t>(entryBytes, 4); ++b) raw |= uint32_t{page[at + b]} << (8 * b);
        uint32_t recNo = raw & recMask;
        uint32_t w = v.u16le(at + entryBytes - 2);
        uint32_t trail = (w >> (16 - trailBits)) & trailMask;
        uint32_t dup = (w >> (16 - trailBits - dupBits)) & dupMask;
        if (dup + trail > keyLength)
            damaged(fileName, "leaf entry " + std::to_string(i) + " shares " + std::to_string(dup) + " and pads " +
                                  std::to_string(trail) + " bytes of a key of length " + std::to_string(keyLength));
        size_t piece = keyLength - dup - trail;
        if (piece > pieceEnd - entriesEnd)
            damaged(fileName, "key bytes of leaf entry " + std::to_string(i) + " run into the entry area");
        if (recNo == 0) damaged(fileName, "leaf entry " + std::to_string(i) + " has record number 0");
        pieceEnd -= piece;
        std::memcpy(work + dup, page + pieceEnd, piece);
        std::memset(work + keyLength - trail, pad, trail);
        size_t length = keyLength - trail;
        addKey(work, length, length, recNo, 0);
    }
}

size_t DBobjIndexKey::footprint() const noexcept {
    return sizeof(*this) + (heap_ ? capacity_ : 0);
}

}  // namespace dbf
