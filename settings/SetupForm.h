// The settings dialog "Ombrix Setting": four switches, the three list-editor buttons, Save
// and Cancel. Created once at start and reused; the settings command fills it before every
// showing.
#pragma once

#include <functional>

#include "settings/SettingsFile.h"
#include "settings/SettingsRules.h"
#include "win32/Dialog.h"

namespace settings {

class Tsetupform : public win::Dialog {
public:
    enum : int {
        CheckBox1 = 101,
        CheckBox2 = 102,
        CheckBox3 = 103,
        CheckBox4 = 104,
        SpeedButton1 = 111,
        SpeedButton2 = 112,
        SpeedButton3 = 113,
        OKBtn = IDOK,
        BitBtn3 = IDCANCEL,
    };

    explicit Tsetupform(HWND owner);

    void setChecks(const Switches& switches);
    Switches checks() const;

    // The list editors, bound by the main window.
    std::function<void()> OnEditWhiteList;
    std::function<void()> OnEditBlackList;
    std::function<void()> OnEditPassThroughList;

protected:
    void initialize() override;
    void command(int id, int code) override;

private:
    void CheckBox2Exit() { leave(CheckBoxLeft::Stop); }
    void CheckBox3Exit() { leave(CheckBoxLeft::White); }
    void CheckBox4Exit() { leave(CheckBoxLeft::Black); }
    void leave(CheckBoxLeft box);
    void focusMovedTo(int id);

    int focused_ = 0;
};

}  // namespace settings
