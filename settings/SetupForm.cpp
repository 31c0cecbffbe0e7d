// The settings dialog and its focus rules.
#include "settings/SetupForm.h"

#include "win32/Application.h"

namespace settings {

namespace {

win::DialogTemplate layout() {
    win::DialogTemplate t("Ombrix Setting", DS_MODALFRAME | WS_POPUP | WS_CAPTION, WS_EX_TOPMOST, 210, 152);
    t.checkBox(Tsetupform::CheckBox1, "Real-time Keyboard Encryption Protection", 12, 10, 186, 12);
    t.checkBox(Tsetupform::CheckBox2, "Stop Keylogger", 12, 26, 186, 12);
    t.checkBox(Tsetupform::CheckBox3, "Enabled White Process List (Don't stop)", 24, 42, 174, 12);
    t.checkBox(Tsetupform::CheckBox4, "Enabled Black Process List (Custem Stop)", 24, 58, 174, 12);
    t.button(Tsetupform::SpeedButton1, "Edit White List", 24, 78, 80, 16, BS_PUSHBUTTON);
    t.button(Tsetupform::SpeedButton2, "Edit Black  List", 112, 78, 80, 16, BS_PUSHBUTTON);
    // A row of its own below the scan's two lists: its list is the encryption's.
    t.button(Tsetupform::SpeedButton3, "Edit Pass-through List", 24, 98, 168, 16, BS_PUSHBUTTON);
    t.button(Tsetupform::OKBtn, "Save", 50, 126, 50, 16, BS_DEFPUSHBUTTON);
    t.button(Tsetupform::BitBtn3, "Cancel", 110, 126, 50, 16, BS_PUSHBUTTON);
    return t;
}

}  // namespace

Tsetupform::Tsetupform(HWND owner) { prepare(layout(), owner); }

void Tsetupform::setChecks(const Switches& s) {
    setChecked(CheckBox1, s.enabledEnc);
    setChecked(CheckBox2, s.stopKeylog);
    setChecked(CheckBox3, s.enabledWhite);
    setChecked(CheckBox4, s.enabledBlack);
    focused_ = 0;
}

Switches Tsetupform::checks() const {
    return Switches{checked(CheckBox1), checked(CheckBox2), checked(CheckBox3), checked(CheckBox4)};
}

void Tsetupform::initialize() { focused_ = 0; }

void Tsetupform::command(int id, int code) {
    if (code == BN_SETFOCUS) {
        focusMovedTo(id);
        return;
    }
    if (code != BN_CLICKED) return;
    switch (id) {
    case SpeedButton1:
        if (OnEditWhiteList) OnEditWhiteList();
        break;
    case SpeedButton2:
        if (OnEditBlackList) OnEditBlackList();
        break;
    case SpeedButton3:
        if (OnEditPassThroughList) OnEditPassThroughList();
        break;
    default:
        Dialog::command(id, code);
    }
}

// A control's exit rule runs when the focus moves to another control of this dialog, not
// when another window (a message box, say) takes the focus for a while.
void Tsetupform::focusMovedTo(int id) {
    int left = focused_;
    focused_ = id;
    if (left == id) return;
    switch (left) {
    case CheckBox2: CheckBox2Exit(); break;
    case CheckBox3: CheckBox3Exit(); break;
    case CheckBox4: CheckBox4Exit(); break;
    default: break;
    }
}

void Tsetupform::leave(CheckBoxLeft box) {
    Switches c = checks();
    std::string message = leaveCheckBox(box, c);
    if (!message.empty()) win::Application::showMessage(message, hwnd());
    setChecked(CheckBox3, c.enabledWhite);
    setChecked(CheckBox4, c.enabledBlack);
}

}  // namespace settings
