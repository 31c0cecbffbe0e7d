// "comctl32.dll", loaded at its first use instead of with the program. Only the image buttons'
// tips and glyph cells need it, most runs never show them, and loading it costs a process
// under Wine most of a megabyte of private memory and milliseconds of start-up.
#pragma once

#include <windows.h>

#include <commctrl.h>

namespace ui::comctl {

// Loads the library and registers its standard classes, once; false when it cannot be had.
bool ready() noexcept;

// The image-list calls used here; each fails as the library's own would (null, -1, FALSE)
// when the library cannot be had.
HIMAGELIST imageListCreate(int cx, int cy, UINT flags, int initial, int grow) noexcept;
BOOL imageListDestroy(HIMAGELIST list) noexcept;
int imageListAddMasked(HIMAGELIST list, HBITMAP bitmap, COLORREF mask) noexcept;
BOOL imageListDraw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style) noexcept;

}  // namespace ui::comctl
