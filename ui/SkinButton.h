// Windowless image buttons. On the main window each one is an invisible click area laid
// over a button drawn into the skin, with a hand cursor, a tool tip and an OnClick. The
// window that holds them routes its mouse messages through a SkinButtonHost.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace ui {

class TSkinButton {
public:
    TSkinButton(int left, int top, int width, int height, std::string hint);

    const RECT& bounds() const noexcept { return bounds_; }
    const std::string& hint() const noexcept { return hint_; }
    bool Enabled = true;
    std::function<void()> OnClick;

    // Whether `pt` (host client coordinates) lies on the button. Right and bottom exclusive,
    // so a zero-width button is never hit.
    bool contains(POINT pt) const noexcept { return PtInRect(&bounds_, pt) != FALSE; }
    bool heldDown() const noexcept { return heldDown_; }

    // The press/release rule: a press on the button and a release inside its rectangle make
    // one click; a release elsewhere makes none.
    void mouseDown();
    // Returns whether the release counts as a click (OnClick is then due).
    bool mouseUp(POINT pt);

private:
    RECT bounds_;
    std::string hint_;
    bool heldDown_ = false;
};

class SkinButtonHost {
public:
    explicit SkinButtonHost(HWND host);
    ~SkinButtonHost();
    SkinButtonHost(const SkinButtonHost&) = delete;
    SkinButtonHost& operator=(const SkinButtonHost&) = delete;

    // Adds a button; the host does not own it.
    void add(TSkinButton& button);

    // Routes a mouse message of the host window; true when a button took it.
    bool mouseMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

    TSkinButton* buttonAt(POINT pt) const;

private:
    HWND host_;
    HWND tooltip_ = nullptr;
    std::vector<TSkinButton*> buttons_;
    TSkinButton* captured_ = nullptr;
};

}  // namespace ui
