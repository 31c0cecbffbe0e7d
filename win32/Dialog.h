// A dialog created once, hidden, and shown modally as often as it is needed. Its state lives
// in its controls between showings, as a form's would. Most runs never show a given dialog,
// so its native window is made at its first need (the first showing, or the first look at
// its window or controls), not with the object.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "win32/DialogTemplate.h"

namespace win {

class Dialog {
public:
    Dialog() = default;
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // The native dialog, made (hidden) at the first call; raises win::Win32Error when the
    // system refuses to make it.
    HWND hwnd() const;

    // Shows the dialog centred over its owner, with the owner and the thread's other windows
    // (a dialog it was opened from, say) disabled, and runs a message loop until `close`
    // sets a result. Returns IDOK, IDCANCEL or another result.
    int showModal();
    void close(int result) noexcept { modalResult_ = result; }
    bool showing() const noexcept { return showing_; }

protected:
    // What the native dialog will be made of, and its owner.
    void prepare(DialogTemplate layout, HWND owner);

    // WM_INITDIALOG.
    virtual void initialize() {}
    // WM_COMMAND from a control; the default closes with IDOK and IDCANCEL.
    virtual void command(int id, int code);
    virtual INT_PTR handle(UINT msg, WPARAM wp, LPARAM lp);

    HWND item(int id) const { return GetDlgItem(hwnd(), id); }
    bool checked(int id) const { return IsDlgButtonChecked(hwnd(), id) == BST_CHECKED; }
    void setChecked(int id, bool on) { CheckDlgButton(hwnd(), id, on ? BST_CHECKED : BST_UNCHECKED); }
    std::string itemText(int id) const;
    void setItemText(int id, const std::string& text) { SetDlgItemTextA(hwnd(), id, text.c_str()); }

private:
    static INT_PTR CALLBACK trampoline(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void centreOverOwner();

    // Until the dialog is made.
    mutable std::optional<DialogTemplate> layout_;
    HWND owner_ = nullptr;
    // Set by WM_INITDIALOG, within the first hwnd().
    mutable HWND hwnd_ = nullptr;
    int modalResult_ = 0;
    bool showing_ = false;
};

}  // namespace win
