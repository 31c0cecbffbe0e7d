// Row buffers and bookmarks of the table data set.
#include "dbf/dataset/TRecordBuffer.h"

#include <cstring>

#include "dbf/core/XbaseText.h"

namespace dbf {

TRecordBuffer::TRecordBuffer(uint32_t recordLength, uint32_t calcSize)
    : bytes_(size_t{recordLength} + calcSize + kInfoSize + kBookmarkSize, 0),
      recordLength_(recordLength),
      calcSize_(calcSize) {}

uint32_t TRecordBuffer::recNo() const noexcept {
    if (bytes_.empty()) return 0;
    int32_t n;
    std::memcpy(&n, bytes_.data() + infoOffset(), sizeof n);
    return n > 0 ? static_cast<uint32_t>(n) : 0;
}

void TRecordBuffer::setRecNo(uint32_t recNo) noexcept {
    if (bytes_.empty()) return;
    auto n = static_cast<int32_t>(recNo);
    std::memcpy(bytes_.data() + infoOffset(), &n, sizeof n);
}

void TRecordBuffer::setBookmarkFlag(uint8_t flag) noexcept {
    if (!bytes_.empty()) bytes_[infoOffset() + kBookmarkFlagOffset] = flag;
}

std::string TRecordBuffer::bookmark() const {
    if (bytes_.empty()) return std::string(kBookmarkSize, '\0');
    const auto* p = reinterpret_cast<const char*>(bytes_.data() + infoOffset() + kInfoSize);
    return std::string(p, kBookmarkSize);
}

void TRecordBuffer::writeBookmark() noexcept {
    if (bytes_.empty()) return;
    std::string b = bookmarkOf(recNo());
    std::memcpy(bytes_.data() + infoOffset() + kInfoSize, b.data(), kBookmarkSize);
}

void TRecordBuffer::clear() noexcept {
    if (bytes_.empty()) return;
    std::memset(bytes_.data() + infoOffset(), 0, kInfoSize + kBookmarkSize);
}

std::string TRecordBuffer::bookmarkOf(uint32_t recNo) {
    std::string b(kBookmarkSize, ' ');
    b[kBookmarkSize - 1] = '\0';
    size_t i = kBookmarkSize - 1;
    do {
        b[--i] = static_cast<char>('0' + recNo % 10);
        recNo /= 10;
    } while (recNo != 0 && i > 0);
    return b;
}

uint32_t TRecordBuffer::recNoOf(std::string_view bookmark) noexcept {
    size_t end = bookmark.find('\0');
    if (end != std::string_view::npos) bookmark = bookmark.substr(0, end);
    bookmark = trimLeft(bookmark);
    if (bookmark.empty() || bookmark.size() > 10) return 0;
    uint64_t n = 0;
    for (char c : bookmark) {
        if (c < '0' || c > '9') return 0;
        n = n * 10 + static_cast<uint64_t>(c - '0');
    }
    return n > 0x7FFFFFFFu ? 0 : static_cast<uint32_t>(n);
}

}  // namespace dbf
