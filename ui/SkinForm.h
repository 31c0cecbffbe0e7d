// The skinned face of a borderless window: the skin picture drawn at its natural size from
// the top left, the window cut to the stored shape ("Mask2"), and a drag of the whole
// window by a left press anywhere on the skin. The window owns one and feeds it its
// messages first, after its image buttons.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "win32/UniqueHandle.h"

namespace ui {

class TSkinForm {
public:
    // Placed on `form`: the form loses any border and caption.
    explicit TSkinForm(HWND form);
    ~TSkinForm();
    TSkinForm(const TSkinForm&) = delete;
    TSkinForm& operator=(const TSkinForm&) = delete;

    // The skin as a bitmap the form keeps. A new picture forgets the mask; the window keeps
    // the shape it has.
    void setPicture(win::UniqueGdiObject bitmap);
    // The bitmap resource `id` of `module` as the picture, drawn straight from the resource
    // (no copy of it is made): `module` must stay loaded while the form has the picture, as
    // the program's own executable does. False when there is no such bitmap, or its data is
    // not a bitmap that can be drawn; the picture is then left as it was.
    bool loadPicture(HMODULE module, int id);
    bool hasPicture() const noexcept { return picture_ || resourceBits_; }
    SIZE pictureSize() const noexcept { return pictureSize_; }

    // Loads "Mask2" bytes: keeps them and cuts the window to their region. N = 0, short
    // data or a list that makes no region leave the window as it is, without a message.
    // Answers whether the window got the region.
    bool loadMask(std::vector<uint8_t> data);
    // "Mask2" bytes of the mask held (N = 0 without one).
    std::vector<uint8_t> saveMask() const;
    const std::vector<uint8_t>& maskData() const noexcept { return maskData_; }
    bool hasMask() const noexcept { return !maskData_.empty(); }

    // Whether a left press on the skin drags the window; when false the press does nothing.
    bool Draggable = true;

    // Drawn over the skin in every painting (the window's image buttons).
    std::function<void(HDC)> OnPaintOver;

    // A message of the form: painting and the drag press. True when it was answered.
    bool ownerMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

    // Draws the skin into `dc` (client coordinates).
    void paint(HDC dc) const;

private:
    void forgetMask();
    void pictureChanged();

    HWND form_;

    // One of the two: a bitmap of the form's own, or a packed bitmap in a resource.
    win::UniqueGdiObject picture_;
    const BITMAPINFO* resourceInfo_ = nullptr;
    const void* resourceBits_ = nullptr;
    SIZE pictureSize_{0, 0};
    std::vector<uint8_t> maskData_;
    // A region built but not handed to the window; one handed over belongs to the window.
    win::UniqueGdiObject ownRegion_;
    bool handedOver_ = false;
};

}  // namespace ui
