// Window regions from stored masks.
#include "ui/MaskRegion.h"

namespace ui {

win::UniqueGdiObject createMaskRegion(const MaskShape& shape) {
    // The stored list was checked; it is written out again so that the header the system
    // reads is the one that belongs to the rectangles.
    const std::vector<uint8_t> bytes = encodeMask2(shape.rects);
    if (bytes.size() <= 4) return {};
    const auto* data = reinterpret_cast<const RGNDATA*>(bytes.data() + 4);
    return win::UniqueGdiObject(ExtCreateRegion(nullptr, static_cast<DWORD>(bytes.size() - 4), data));
}

bool applyMask(HWND window, const uint8_t* data, size_t size) {
    const std::optional<MaskShape> shape = parseMask2(data, size);
    if (!shape) return false;
    win::UniqueGdiObject region = createMaskRegion(*shape);
    if (!region) return false;
    if (!SetWindowRgn(window, static_cast<HRGN>(region.get()), TRUE)) return false;
    region.release();
    return true;
}

std::vector<uint8_t> loadResourceData(HMODULE module, int id) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), RT_RCDATA);
    if (!found) return {};
    HGLOBAL loaded = LoadResource(module, found);
    const DWORD size = SizeofResource(module, found);
    const auto* bytes = loaded ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
    if (!bytes) return {};
    return {bytes, bytes + size};
}

}  // namespace ui
