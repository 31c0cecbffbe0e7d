// Puts numbers into a block of bytes that the engine or its tools build (a table header, an
// index page, a whole file image): the counterpart of ByteView, the byte order in each
// method's name. The block is ours, so a write outside it is a fault of the caller: it
// raises std::out_of_range and writes nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace dbf {

class ByteWriter {
public:
    ByteWriter(uint8_t* data, size_t size) noexcept : d_(data), n_(size) {}
    explicit ByteWriter(std::span<uint8_t> bytes) noexcept : ByteWriter(bytes.data(), bytes.size()) {}

    size_t size() const noexcept { return n_; }

    void putU8(size_t off, uint8_t v) {
        need(off, 1);
        d_[off] = v;
    }
    void putU16le(size_t off, uint16_t v) { putUle(off, v, 2); }
    void putU32le(size_t off, uint32_t v) { putUle(off, v, 4); }
    // The low `width` (1 to 8) bytes of `v`, least significant first.
    void putUle(size_t off, uint64_t v, size_t width) {
        need(off, width);
        for (size_t i = 0; i < width; ++i, v >>= 8) d_[off + i] = static_cast<uint8_t>(v);
    }
    void putU32be(size_t off, uint32_t v) { putUbe(off, v, 4); }
    void putU64be(size_t off, uint64_t v) { putUbe(off, v, 8); }
    // `bytes` as they stand.
    void putBytes(size_t off, std::string_view bytes);

    // Raises unless [off, off + len) lies inside the block.
    void need(size_t off, size_t len) const {
        if (off > n_ || len > n_ - off) outOfBounds(off, len);
    }

private:
    void putUbe(size_t off, uint64_t v, size_t width) {
        need(off, width);
        for (size_t i = width; i-- > 0; v >>= 8) d_[off + i] = static_cast<uint8_t>(v);
    }
    [[noreturn]] void outOfBounds(size_t off, size_t len) const;

    uint8_t* d_;
    size_t n_;
};

}  // namespace dbf
