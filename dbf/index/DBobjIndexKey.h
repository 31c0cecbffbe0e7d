// One decoded page of a CDX tag: an interior page with its children or a leaf with its
// keys, decoded once and then searched and walked without touching the raw bytes again.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/index/CdxLayout.h"

namespace dbf {

// The size of the work buffer that holds the previous key while a leaf is decoded.
constexpr size_t kCdxKeyBufferSize = 256;

// How a tag's keys look, which is all a page needs to be decoded.
struct CdxKeyFormat {
    uint16_t keyLength = 0;
    bool character = true;   // 'C' keys: blank-padded; otherwise (N, D) zero-padded
    bool general = false;    // "GENERAL" collation: low bytes at the end of a key carry 0xF0

    bool operator==(const CdxKeyFormat&) const = default;
};

// One entry of a decoded page. The key bytes live in the page's key area.
struct DBobjIndexKeyData {
    uint32_t recNo = 0;
    uint32_t child = 0;       // interior pages only
    uint16_t keyOffset = 0;   // within the key area (a page holds at most 244 × 240 key bytes)
    uint8_t keyLength = 0;    // held form: trailing blanks (C) or zero bytes (N, D) removed
    uint8_t unused = 0;
};

class DBobjIndexKey {
public:
    DBobjIndexKey() = default;
    DBobjIndexKey(const DBobjIndexKey&) = delete;
    DBobjIndexKey& operator=(const DBobjIndexKey&) = delete;

    // Decodes the 512 bytes of `page`, read (and deciphered) from `pageOffset` of the file
    // `fileName`. Every count, bit width and key piece is checked against the page, and
    // child offsets against the page grid (whether they lie inside the file is checked when
    // they are entered); damage raises ETableError kErrIndexUnreadable naming the file and
    // the page offset. The object may be decoded again into (its storage is reused).
    void decode(const uint8_t* page, uint32_t pageOffset, const CdxKeyFormat& format, const std::string& fileName);

    uint32_t offset() const noexcept { return offset_; }
    bool isLeaf() const noexcept { return leaf_; }
    uint32_t leftSibling() const noexcept { return left_; }
    uint32_t rightSibling() const noexcept { return right_; }
    const CdxKeyFormat& format() const noexcept { return format_; }

    size_t count() const noexcept { return count_; }
    DBobjIndexKeyData entry(size_t i) const noexcept {
        DBobjIndexKeyData e;
        std::memcpy(&e, data_ + count_ * sizeof(uint64_t) + i * sizeof(DBobjIndexKeyData), sizeof e);
        return e;
    }
    std::string_view key(size_t i) const noexcept {
        DBobjIndexKeyData e = entry(i);
        return {reinterpret_cast<const char*>(data_) + keysBase() + e.keyOffset, e.keyLength};
    }
    uint32_t recNo(size_t i) const noexcept { return entry(i).recNo; }
    uint32_t child(size_t i) const noexcept { return entry(i).child; }
    // Length of the prefix that the first and the last key share, and so every key of a
    // sorted page.
    size_t commonPrefix() const noexcept { return common_; }
    // The first 8 bytes of key i past the common prefix, as a big-endian number
    // (cdxKeyPrefix). A binary search runs over these, which lie together at the front of
    // the page's one block of memory.
    uint64_t prefix(size_t i) const noexcept {
        uint64_t p;
        std::memcpy(&p, data_ + i * sizeof(uint64_t), sizeof p);
        return p;
    }

    // Roughly what the decoded page occupies in memory, for the page cache's budget.
    size_t footprint() const noexcept;

private:
    friend class CdxPageCache;
    friend class CdxPageRef;
    // The page cache's bookkeeping of this page.
    struct CacheState {
        uint32_t pins = 0;   // search paths holding it
        uint32_t slot = 0;   // position among the cache's resident pages
        uint32_t bytes = 0;
        bool held = false;   // in the cache
        bool used = false;   // used since the clock hand last passed
    };

    void decodeInterior(const uint8_t* page, uint16_t count, const std::string& fileName);
    void decodeLeaf(const uint8_t* page, uint16_t count, const std::string& fileName);
    void begin(size_t count);
    void finish() noexcept;
    void addKey(const char* bytes, size_t length, size_t scanFrom, uint32_t recNo, uint32_t child);
    size_t keysBase() const noexcept { return count_ * (sizeof(uint64_t) + sizeof(DBobjIndexKeyData)); }
    [[noreturn]] void damaged(const std::string& fileName, const std::string& what) const;

    // Grows the store to `size` bytes, keeping its contents.
    void resizeStore(size_t size);

    // What every search touches comes first, so that it shares the first cache line with
    // the prefixes at the start of the store.
    uint8_t* data_ = inline_;
    uint32_t offset_ = 0;
    uint32_t count_ = 0;
    CdxKeyFormat format_;
    bool leaf_ = false;
    uint8_t common_ = 0;
    CacheState cacheState_;
    // One block: count_ prefixes, count_ entries, then the key bytes. It starts inside the
    // object, so a search meets the page's header and its prefixes in neighbouring cache
    // lines; a page whose keys do not fit moves it to the heap.
    static constexpr size_t kInlineStore = 1024;
    alignas(8) uint8_t inline_[kInlineStore];
    uint32_t left_ = kCdxNoPage;
    uint32_t right_ = kCdxNoPage;
    size_t added_ = 0;
    size_t size_ = 0;
    size_t capacity_ = kInlineStore;
    std::unique_ptr<uint8_t[]> heap_;
};

// Raises the engine's error for an unreadable index file (kErrIndexUnreadable) with
// `detail` saying what was wrong and the file offset where it was found.
[[noreturn]] void raiseIndexDamage(const std::string& fileName, uint64_t offset, const std::string& detail);

// True when `offset` can be a node page of a file of `fileSize` bytes: on a 512-byte
// boundary, past the directory header and wholly inside the file.
inline bool isNodePageOffset(uint64_t offset, uint64_t fileSize) noexcept {
    return offset % kCdxPageSize == 0 && offset >= kCdxHeaderSize && offset <= fileSize &&
           fileSize - offset >= kCdxPageSize;
}

}  // namespace dbf
