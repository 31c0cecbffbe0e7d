// The Windows half of a skinned window's stored shape: the region made from "Mask2" data
// and handed to the window.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ui/MaskData.h"
#include "win32/UniqueHandle.h"

namespace ui {

// The region of `shape`, built from the rectangle list as the system keeps a region; an
// empty handle when the system refuses it.
win::UniqueGdiObject createMaskRegion(const MaskShape& shape);

// Cuts `window` to the mask in `data` ("Mask2" as stored) and returns whether it did. Data
// that asks for no mask or cannot make a region leaves the window rectangular, without a
// message. A region handed over belongs to the window from then on.
bool applyMask(HWND window, const uint8_t* data, size_t size);

// The bytes of the raw-data resource `id` of `module`; empty when there is none.
std::vector<uint8_t> loadResourceData(HMODULE module, int id);

}  // namespace ui
