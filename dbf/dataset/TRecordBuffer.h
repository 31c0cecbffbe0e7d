// One row buffer of a table data set, laid out as the data-access framework expects:
//   OFFSET                 SIZE          DESCRIPTION
//   0                      recordLength  the record image (deletion flag first)
//   recordLength           calcSize      calculated fields
//   recordLength+calcSize  8             record information: record number (int32, host
//                                        order) at 0, bookmark flag at 5
//   recordLength+calcSize+8  11          bookmark: the record number right-aligned in 10
//                                        characters, then NUL
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dbf {

class TRecordBuffer {
public:
    static constexpr size_t kInfoSize = 8;
    static constexpr size_t kBookmarkFlagOffset = 5;
    static constexpr size_t kBookmarkSize = 11;
    // The record and the calculated fields together must stay below this.
    static constexpr size_t kMaxDataSize = 65528;

    TRecordBuffer() = default;
    // A zeroed buffer; the caller has checked the sizes against kMaxDataSize.
    TRecordBuffer(uint32_t recordLength, uint32_t calcSize);

    uint8_t* record() noexcept { return bytes_.data(); }
    const uint8_t* record() const noexcept { return bytes_.data(); }
    uint32_t recordLength() const noexcept { return recordLength_; }

    // 0 while the buffer holds no record.
    uint32_t recNo() const noexcept;
    void setRecNo(uint32_t recNo) noexcept;
    uint8_t bookmarkFlag() const noexcept { return bytes_.empty() ? 0 : bytes_[infoOffset() + kBookmarkFlagOffset]; }
    void setBookmarkFlag(uint8_t flag) noexcept;

    // The bookmark as stored (11 bytes, NUL included); writeBookmark() stores the one of
    // the buffer's record number.
    std::string bookmark() const;
    void writeBookmark() noexcept;
    // Forgets the record (number 0, blank bookmark).
    void clear() noexcept;

    // The bookmark of a record number: right-aligned in 10 characters, then NUL. Two
    // bookmarks compare as strings in the order of their record numbers.
    static std::string bookmarkOf(uint32_t recNo);
    // The record number a bookmark holds, 0 when it holds none.
    static uint32_t recNoOf(std::string_view bookmark) noexcept;

private:
    size_t infoOffset() const noexcept { return size_t{recordLength_} + calcSize_; }

    std::vector<uint8_t> bytes_;
    uint32_t recordLength_ = 0;
    uint32_t calcSize_ = 0;
};

}  // namespace dbf
