// The skinned face of a borderless window.
#include "ui/SkinForm.h"

#include <optional>
#include <utility>

#include "ui/MaskData.h"
#include "ui/MaskRegion.h"
#include "ui/PackedBitmap.h"

namespace ui {

namespace {

// The system's move command with the caption hit-test code in its low bits: the system
// then moves the window with the mouse as if its caption bar had been grabbed.
constexpr WPARAM kDragMove = SC_MOVE | HTCAPTION;

}  // namespace

TSkinForm::TSkinForm(HWND form) : form_(form) {
    const LONG_PTR style = GetWindowLongPtrA(form_, GWL_STYLE);
    const LONG_PTR borderless = style & ~static_cast<LONG_PTR>(WS_CAPTION | WS_THICKFRAME | WS_BORDER | WS_DLGFRAME);
    if (borderless != style) {
        SetWindowLongPtrA(form_, GWL_STYLE, borderless);
        SetWindowPos(form_, nullptr, 0, 0, 0, 0,
                     SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

TSkinForm::~TSkinForm() = default;

void TSkinForm::setPicture(win::UniqueGdiObject bitmap) {
    picture_ = std::move(bitmap);
    resourceInfo_ = nullptr;
    resourceBits_ = nullptr;
    pictureSize_ = {0, 0};
    BITMAP info{};
    if (picture_ && GetObjectA(picture_.get(), sizeof info, &info)) pictureSize_ = {info.bmWidth, info.bmHeight};
    pictureChanged();
}

// A decoded copy of the skin would hold over half a megabyte for as long as the program runs,
// most of it with the window hidden; the resource is in memory anyway.
bool TSkinForm::loadPicture(HMODULE module, int id) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(2) /* RT_BITMAP */);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return false;
    const std::optional<PackedBitmap> packed =
        packedBitmapLayout(static_cast<const uint8_t*>(data), SizeofResource(module, found));
    if (!packed) {
        // A kind this form does not draw from the resource (compressed, top-down): a copy.
        win::UniqueGdiObject bitmap(LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        if (!bitmap) return false;
        setPicture(std::move(bitmap));
        return true;
    }
    picture_.reset();
    resourceInfo_ = static_cast<const BITMAPINFO*>(data);
    resourceBits_ = static_cast<const uint8_t*>(data) + packed->bitsOffset;
    pictureSize_ = {packed->width, packed->height};
    pictureChanged();
    return true;
}

void TSkinForm::pictureChanged() {
    forgetMask();
    if (form_) InvalidateRect(form_, nullptr, FALSE);
}

bool TSkinForm::loadMask(std::vector<uint8_t> data) {
    forgetMask();
    const std::optional<MaskShape> shape = parseMask2(data.data(), data.size());
    if (!shape) return false;
    win::UniqueGdiObject region = createMaskRegion(*shape);
    if (!region) return false;
    maskData_ = std::move(data);
    if (SetWindowRgn(form_, static_cast<HRGN>(region.get()), TRUE)) {
        region.release();
        handedOver_ = true;
    } else {
        ownRegion_ = std::move(region);
    }
    return handedOver_;
}

std::vector<uint8_t> TSkinForm::saveMask() const {
    // A region the window holds is the window's to change, so the bytes it was made from are
    // written; a region never handed over is asked for its own data.
    if (ownRegion_) {
        const auto region = static_cast<HRGN>(ownRegion_.get());
        const DWORD size = GetRegionData(region, 0, nullptr);
        std::vector<uint8_t> out(4 + size);
        if (size != 0 && GetRegionData(region, size, reinterpret_cast<RGNDATA*>(out.data() + 4)) == size) {
            for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(size >> (8 * i));
            return out;
        }
    }
    if (!maskData_.empty()) return maskData_;
    return std::vector<uint8_t>(4, 0);
}

void TSkinForm::forgetMask() {
    maskData_.clear();
    ownRegion_.reset();
    handedOver_ = false;
}

void TSkinForm::paint(HDC dc) const {
    if (resourceBits_) {
        SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(pictureSize_.cx), static_cast<DWORD>(pictureSize_.cy), 0, 0,
                          0, static_cast<UINT>(pictureSize_.cy), resourceBits_, resourceInfo_, DIB_RGB_COLORS);
        return;
    }
    if (!picture_) return;
    HDC source = CreateCompatibleDC(dc);
    if (!source) return;
    HGDIOBJ old = SelectObject(source, picture_.get());
    BitBlt(dc, 0, 0, pictureSize_.cx, pictureSize_.cy, source, 0, 0, SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
}

bool TSkinForm::ownerMessage(UINT msg, WPARAM, LPARAM, LRESULT& result) {
    switch (msg) {
    case WM_ERASEBKGND:
        if (!hasPicture()) return false;
        // The skin covers what it can; the rest of a larger window is erased as usual.
        {
            RECT client;
            GetClientRect(form_, &client);
            if (client.right > pictureSize_.cx || client.bottom > pictureSize_.cy) return false;
        }
        result = 1;
        return true;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(form_, &ps);
        paint(dc);
        if (OnPaintOver) OnPaintOver(dc);
        EndPaint(form_, &ps);
        result = 0;
        return true;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        // Presses on a button never get here: the buttons take them first. The second press
        // of a double click is a press like the first.
        if (!Draggable) return false;
        ReleaseCapture();
        SendMessageA(form_, WM_SYSCOMMAND, kDragMove, 0);
        result = 0;
        return true;
    default:
        return false;
    }
}

}  // namespace ui
