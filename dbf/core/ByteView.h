// A bounds-checked window onto bytes read from a table or index file. Every number in
// those files is hostile until checked; all decoding goes through here. ByteWriter.h is its
// counterpart for the bytes the engine writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "dbf/core/TableError.h"

namespace dbf {

// A read-only view of `size` bytes that came from `file` at file offset `base`. A read that
// would leave the view raises ETableError naming the file and the offset, never reads past.
class ByteView {
public:
    ByteView() = default;
    ByteView(const uint8_t* data, size_t size, const std::string* file = nullptr, uint64_t base = 0) noexcept
        : d_(data), n_(size), file_(file), base_(base) {}
    explicit ByteView(std::span<const uint8_t> bytes, const std::string* file = nullptr, uint64_t base = 0) noexcept
        : ByteView(bytes.data(), bytes.size(), file, base) {}
    // The bytes of a text, such as a field's bytes in a record.
    explicit ByteView(std::string_view bytes) noexcept
        : ByteView(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()) {}

    size_t size() const noexcept { return n_; }
    const uint8_t* data() const noexcept { return d_; }
    uint64_t base() const noexcept { return base_; }

    uint8_t u8(size_t off) const { need(off, 1); return d_[off]; }
    uint16_t u16le(size_t off) const {
        need(off, 2);
        return static_cast<uint16_t>(d_[off] | d_[off + 1] << 8);
    }
    uint32_t u32le(size_t off) const {
        need(off, 4);
        return uint32_t{d_[off]} | uint32_t{d_[off + 1]} << 8 | uint32_t{d_[off + 2]} << 16 |
               uint32_t{d_[off + 3]} << 24;
    }
    uint64_t u64le(size_t off) const { return ule(off, 8); }
    // The `width`-byte (1 to 8) little-endian number at `off`, as the entries of a CDX leaf
    // hold their record numbers.
    uint64_t ule(size_t off, size_t width) const {
        need(off, width);
        uint64_t v = 0;
        for (size_t i = width; i-- > 0;) v = v << 8 | d_[off + i];
        return v;
    }
    uint32_t u32be(size_t off) const {
        need(off, 4);
        return uint32_t{d_[off]} << 24 | uint32_t{d_[off + 1]} << 16 | uint32_t{d_[off + 2]} << 8 |
               d_[off + 3];
    }
    uint64_t u64be(size_t off) const {
        need(off, 8);
        uint64_t v = 0;
        for (size_t i = 0; i < 8; ++i) v = v << 8 | d_[off + i];
        return v;
    }
    // `len` bytes at `off` as they stand.
    std::string_view bytes(size_t off, size_t len) const {
        need(off, len);
        return {reinterpret_cast<const char*>(d_ + off), len};
    }
    // The NUL-terminated text at `off`, at most `maxLen` bytes and never past the view.
    std::string_view cstr(size_t off, size_t maxLen) const {
        need(off, 0);
        size_t len = 0;
        while (len < maxLen && off + len < n_ && d_[off + len] != 0) ++len;
        return {reinterpret_cast<const char*>(d_ + off), len};
    }
    ByteView sub(size_t off, size_t len) const {
        need(off, len);
        return ByteView(d_ + off, len, file_, base_ + off);
    }

    // Raises unless [off, off + len) lies inside the view.
    void need(size_t off, size_t len) const {
        if (off > n_ || len > n_ - off) outOfBounds(off, len);
    }

private:
    [[noreturn]] void outOfBounds(size_t off, size_t len) const;

    const uint8_t* d_ = nullptr;
    size_t n_ = 0;
    const std::string* file_ = nullptr;
    uint64_t base_ = 0;
};

}  // namespace dbf
