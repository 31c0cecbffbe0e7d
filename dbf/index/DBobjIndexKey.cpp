// Decoding of CDX node pages; their layout is in CdxLayout.h.
#include "dbf/index/DBobjIndexKey.h"

#include <algorithm>
#include <cstring>

#include "dbf/core/ByteView.h"
#include "dbf/core/TableError.h"
#include "dbf/core/XbaseText.h"
#include "dbf/index/CdxKeyCompare.h"

namespace dbf {

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
    uint16_t attributes = v.u16le(CdxNode::kAttributes);
    uint16_t count = v.u16le(CdxNode::kKeyCount);
    left_ = v.u32le(CdxNode::kLeftSibling);
    right_ = v.u32le(CdxNode::kRightSibling);
    leaf_ = attributes >= CdxNode::kAttributeLeaf;
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
    const size_t entrySize = keyLength + CdxInterior::kEntryNumbers;
    const size_t maxEntries = CdxInterior::kArea / entrySize;
    if (count == 0) damaged(fileName, "interior page holds no keys");
    if (count > maxEntries)
        damaged(fileName, "interior page claims " + std::to_string(count) + " keys of length " +
                              std::to_string(keyLength) + ", at most " + std::to_string(maxEntries) + " fit");
    ByteView v(page, kCdxPageSize, &fileName, offset_);
    begin(count);
    for (size_t i = 0; i < count; ++i) {
        size_t at = CdxInterior::kFirstEntry + i * entrySize;
        std::string_view key = v.bytes(at, keyLength);
        uint32_t recNo = v.u32be(at + keyLength);
        uint32_t child = v.u32be(at + keyLength + 4);
        if (child == offset_) damaged(fileName, "entry " + std::to_string(i) + " points to its own page");
        if (child % kCdxPageSize != 0 || child < kCdxHeaderSize)
            damaged(fileName, "entry " + std::to_string(i) + " has child offset " + std::to_string(child) +
                                  ", not a page of the tree");
        // The "GENERAL" scan of an interior key starts at its last non-blank byte.
        addKey(key.data(), key.size(), trimRight(key).size(), recNo, child);
    }
}

void DBobjIndexKey::decodeLeaf(const uint8_t* page, uint16_t count, const std::string& fileName) {
    ByteView v(page, kCdxPageSize, &fileName, offset_);
    const uint32_t recMask = v.u32le(CdxLeaf::kRecNoMask);
    const uint32_t dupMask = v.u8(CdxLeaf::kDupMask);
    const uint32_t trailMask = v.u8(CdxLeaf::kTrailMask);
    const unsigned recBits = v.u8(CdxLeaf::kRecNoBits);
    const unsigned dupBits = v.u8(CdxLeaf::kDupBits);
    const unsigned trailBits = v.u8(CdxLeaf::kTrailBits);
    const size_t entryBytes = v.u8(CdxLeaf::kEntryBytes);
    if (count == 0) return;
    if (entryBytes < 2 || recBits > 32 || dupBits + trailBits > 16 || recBits + dupBits + trailBits > entryBytes * 8)
        damaged(fileName, "leaf bit widths " + std::to_string(recBits) + "/" + std::to_string(dupBits) + "/" +
                              std::to_string(trailBits) + " do not fit entries of " + std::to_string(entryBytes) +
                              " bytes");
    if (size_t{count} * entryBytes > CdxLeaf::kArea)
        damaged(fileName, "leaf claims " + std::to_string(count) + " entries of " + std::to_string(entryBytes) +
                              " bytes, more than the page holds");

    const size_t keyLength = format_.keyLength;
    const char pad = format_.character ? ' ' : '\0';
    // Holds the previous key in full, pad bytes included: a duplicate count may reach into
    // the previous key's trailing blanks (after "MY", 3 bytes of "MY APP.EXE" come from it).
    char work[kCdxKeyBufferSize];
    std::memset(work, ' ', sizeof work);
    const size_t entriesEnd = CdxLeaf::kFirstEntry + size_t{count} * entryBytes;
    size_t pieceEnd = kCdxPageSize;
    begin(count);
    for (size_t i = 0; i < count; ++i) {
        size_t at = CdxLeaf::kFirstEntry + i * entryBytes;
        // An entry may be shorter than 4 bytes; the mask removes what follows the number.
        uint32_t recNo = static_cast<uint32_t>(v.ule(at, std::min<size_t>(entryBytes, 4))) & recMask;
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
        std::memcpy(work + dup, v.bytes(pieceEnd, piece).data(), piece);
        std::memset(work + keyLength - trail, pad, trail);
        size_t length = keyLength - trail;
        addKey(work, length, length, recNo, 0);
    }
}

size_t DBobjIndexKey::footprint() const noexcept {
    return sizeof(*this) + (heap_ ? capacity_ : 0);
}

}  // namespace dbf
