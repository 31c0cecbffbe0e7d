#include "ui/PackedBitmap.h"

namespace ui {

namespace {

constexpr uint32_t kRgb = 0;        // BI_RGB
constexpr uint32_t kBitFields = 3;  // BI_BITFIELDS
constexpr uint32_t kInfoHeaderSize = 40;

uint32_t u32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

uint16_t u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

}  // namespace

std::optional<PackedBitmap> packedBitmapLayout(const uint8_t* data, size_t size) {
    if (!data || size < kInfoHeaderSize) return std::nullopt;
    const uint32_t headerSize = u32(data);
    const auto width = static_cast<int32_t>(u32(data + 4));
    const auto height = static_cast<int32_t>(u32(data + 8));
    const uint16_t planes = u16(data + 12);
    const uint16_t bitCount = u16(data + 14);
    const uint32_t compression = u32(data + 16);
    const uint32_t coloursUsed = u32(data + 32);
    if (headerSize < kInfoHeaderSize || headerSize > size || width <= 0 || height <= 0 || planes != 1)
        return std::nullopt;
    uint64_t colours = 0;
    switch (bitCount) {
    case 1:
    case 4:
    case 8:
        if (compression != kRgb || coloursUsed > (1u << bitCount)) return std::nullopt;
        colours = coloursUsed != 0 ? coloursUsed : 1u << bitCount;
        break;
    case 16:
    case 24:
    case 32:
        if (compression != kRgb && !(compression == kBitFields && bitCount != 24)) return std::nullopt;
        colours = coloursUsed;
        break;
    default:
        return std::nullopt;
    }
    // The three masks follow an information header of exactly 40 bytes; longer headers hold them.
    const uint64_t masks = compression == kBitFields && headerSize == kInfoHeaderSize ? 12 : 0;
    const uint64_t offset = uint64_t{headerSize} + masks + 4 * colours;
    const uint64_t stride = (uint64_t{static_cast<uint32_t>(width)} * bitCount + 31) / 32 * 4;
    const uint64_t rows = stride * static_cast<uint32_t>(height);
    if (offset > size || rows > size - offset) return std::nullopt;
    return PackedBitmap{width, height, static_cast<size_t>(offset)};
}

}  // namespace ui
