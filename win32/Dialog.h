// A dialog created once, hidden, and shown modally as often as it is needed. Its state lives
// in its controls between showings, as a form's would.
#pragma once

#include <windows.h>

#include <string>

#include "win32/DialogTemplate.h"

namespace win {

class Dialog {
public:
    Dialog() = default;
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    HWND hwnd() const noexcept { return hwnd_; }

    // Shows the dialog centred over its owner, with the owner and the thread's other windows
    // (a dialog it was opened from, say) disabled, and runs a message loop until `close`
    // sets a result. Returns IDOK, IDCANCEL or another result.
    int showModal();
    void close(int result) noexcept { modalResult_ = result; }
    bool showing() const noexcept { return showing_; }

protected:
    // Creates the native dialog, hidden.
    void create(const DialogTemplate& layout, HWND owner);

    // WM_INITDIALOG.
    virtual void initialize() {}
    // WM_COMMAND from a control; the default closes with IDOK and IDCANCEL.
    virtual void command(int id, int code);
    virtual INT_PTR handle(UINT msg, WPARAM wp, LPARAM lp);

    HWND item(int id) const { return GetDlgItem(hwnd_, id); }
    bool checked(int id) const { return IsDlgButtonChecked(hwnd_, id) == BST_CHECKED; }
    void setChecked(int id, bool on) { CheckDlgButton(hwnd_, id, on ? BST_CHECKED : BST_UNCHECKED); }
    std::string itemText(int id) const;
    void setItemText(int id, const std::string& text) { SetDlgItemTextA(hwnd_, id, text.c_str()); }

private:
    static INT_PTR CALLBACK trampoline(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void centreOverOwner();

    HWND hwnd_ = nullptr;
    int modalResult_ = 0;
    bool showing_ = false;
};

}  // namespace win
