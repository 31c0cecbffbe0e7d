// The four switches of the program: held by the main window, shown by the settings dialog's
// check boxes and kept in the settings file.
#pragma once

namespace settings {

struct Switches {
    bool enabledEnc = false;    // "Real-time Keyboard Encryption Protection"
    bool stopKeylog = false;    // "Stop Keylogger"
    bool enabledWhite = false;  // "Enabled White Process List (Don't stop)"
    bool enabledBlack = false;  // "Enabled Black Process List (Custem Stop)"

    bool operator==(const Switches&) const = default;
};

}  // namespace settings
