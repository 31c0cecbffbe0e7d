// The layout of a packed bitmap, as a bitmap resource holds it: an information header, the
// colour masks or table, then the pixel rows. Read without any window at hand, so that a
// resource is drawn from where it lies only when every row it claims is there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace ui {

struct PackedBitmap {
    int32_t width = 0;
    int32_t height = 0;
    size_t bitsOffset = 0;  // where the pixel rows start
};

// The layout of the `size` bytes at `data`, or nothing unless they are a bottom-up,
// uncompressed (or bit-field) bitmap with an information header of 40 bytes or more, whose
// colour table and rows all lie within them.
std::optional<PackedBitmap> packedBitmapLayout(const uint8_t* data, size_t size);

}  // namespace ui
