// One decoded page of a CDX tag: an interior page with its children or a leaf with its
// keys, decoded once and then searched and walked without touching the raw bytes again.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dbf {

constexpr uint32_t kCdxPageSize = 512;
constexpr uint32_t kCdxHeaderSize = 1024;
constexpr uint16_t kCdxMaxKeyLength = 240;
// The size of the work buffer that holds the previous key while a leaf is decoded.
constexpr size_t kCdxKeyBufferSize = 256;
constexpr uint32_t kCdxNoPage = 0xFFFFFFFF;

// How a tag's keys look, which is all a page needs to be decoded.
struct CdxKeyFormat {
    uint16_t keyLength = 0;
    bool character = true;   // 'C' keys: blank-padded; otherwise (N, D) zero-padded
    bool general = false;    // "GENERAL" collation: low bytes at the end of a key carry 0xF0

    bool operator==(const CdxKeyFormat&) const = default;
};

// One entry of a decoded page. The key bytes live in the page's key store.
struct DBobjIndexKeyData {
    uint32_t keyOffset = 0;
    uint16_t keyLength = 0;   // held form: trailing blanks (C) or zero bytes (N, D) removed
    uint32_t recNo = 0;
    uint32_t child = 0;       // interior pages only
};

class DBobjIndexKey {
public:
    // Decodes the 512 bytes of `page`, read (and deciphered) from `pageOffset` of the file
    // `fileName`. Every count, bit width and key piece is checked against the page, and
    // child offsets against the page grid (whether they lie inside the file is checked when
    // they are entered); damage raises ETableError 2112 naming the file and the page
    // offset. The object may be decoded again into (its storage is reused).
    void decode(const uint8_t* page, uint32_t pageOffset, const CdxKeyFormat& format, const std::string& fileName);

    uint32_t offset() const noexcept { return offset_; }
    bool isLeaf() const noexcept { return leaf_; }
    uint32_t leftSibling() const noexcept { return left_; }
    uint32_t rightSibling() const noexcept { return right_; }
    const CdxKeyFormat& format() const noexcept { return format_; }

    size_t count() const noexcept { return entries_.size(); }
    const DBobjIndexKeyData& entry(size_t i) const noexcept { return entries_[i]; }
    std::string_view key(size_t i) const noexcept {
        const DBobjIndexKeyData& e = entries_[i];
        return {keys_.data() + e.keyOffset, e.keyLength};
    }
    uint32_t recNo(size_t i) const noexcept { return entries_[i].recNo; }
    uint32_t child(size_t i) const noexcept { return entries_[i].child; }

    // Roughly what the decoded page occupies in memory, for the page cache's budget.
    size_t footprint() const noexcept;

private:
    void decodeInterior(const uint8_t* page, uint16_t count, const std::string& fileName);
    void decodeLeaf(const uint8_t* page, uint16_t count, const std::string& fileName);
    void addKey(const char* bytes, size_t length, size_t scanFrom, uint32_t recNo, uint32_t child);
    [[noreturn]] void damaged(const std::string& fileName, const std::string& what) const;

    uint32_t offset_ = 0;
    bool leaf_ = false;
    uint32_t left_ = kCdxNoPage;
    uint32_t right_ = kCdxNoPage;
    CdxKeyFormat format_;
    std::vector<DBobjIndexKeyData> entries_;
    std::vector<char> keys_;
};

// Raises the engine's error for an unreadable index file (code 2112) with `detail` saying
// what was wrong and the file offset where it was found.
[[noreturn]] void raiseIndexDamage(const std::string& fileName, uint64_t offset, const std::string& detail);

// True when `offset` can be a node page of a file of `fileSize` bytes: on a 512-byte
// boundary, past the directory header and wholly inside the file.
inline bool isNodePageOffset(uint64_t offset, uint64_t fileSize) noexcept {
    return offset % kCdxPageSize == 0 && offset >= kCdxHeaderSize && offset <= fileSize &&
           fileSize - offset >= kCdxPageSize;
}

}  // namespace dbf
