// The stored shape of a skinned window ("Mask2"): a rectangle list in the layout in which
// the system hands out a window region, read and written without any window at hand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace ui {

// A rectangle in window client coordinates; right and bottom are exclusive.
struct MaskRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    friend bool operator==(const MaskRect&, const MaskRect&) = default;
};

// The rectangles of a mask, ordered top to bottom and, within a horizontal band, left to
// right, and their bounding rectangle as stored.
struct MaskShape {
    MaskRect bounds;
    std::vector<MaskRect> rects;
};

// "Mask2" as stored (all integers little-endian):
//   OFFSET  SIZE    DESCRIPTION
//   0       4       N: byte count of the region data that follows; 0 means no mask
//   4       4       header size, 32
//   8       4       region type, 1 (a list of rectangles)
//   12      4       rectangle count R
//   16      4       byte count of the rectangle list, 16 x R
//   20      16      bounding rectangle: left, top, right, bottom (signed)
//   36      16 x R  the rectangles, each left, top, right, bottom (signed)
// so N = 32 + 16 x R, and bytes 4 onward are the system's RGNDATA.
constexpr size_t kMaskHeaderSize = 32;
constexpr uint32_t kMaskRectangleType = 1;

// The shape `data` describes, or nothing when the window is to stay rectangular: N is 0,
// the data is shorter than N says, or the list cannot make a region (a header field that
// disagrees with N, no rectangle at all, an empty rectangle, one outside the bounds, or
// rectangles out of band order or overlapping). Never reads past `size`; bytes after the
// N of the region data are not looked at.
std::optional<MaskShape> parseMask2(const uint8_t* data, size_t size);

// "Mask2" bytes for `rects` (in band order), with their bounding rectangle; N = 0 when
// there is no rectangle.
std::vector<uint8_t> encodeMask2(const std::vector<MaskRect>& rects);

// The rectangles covering the pixels of a width x height picture for which `opaque(x, y)`
// holds: each run of such pixels in a row is a rectangle, and rows whose runs are alike
// share one band, as the system keeps a region.
std::vector<MaskRect> maskFromPixels(int width, int height, const std::function<bool(int, int)>& opaque);

}  // namespace ui
