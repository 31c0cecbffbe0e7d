// The white-list editor "Ombrix White List": the names the scan never stops, from "wl.txt".
#pragma once

#include "settings/ListEditor.h"

namespace settings {

class Tsetupformw : public ListEditor {
public:
    explicit Tsetupformw(HWND owner);
    // The same editor over another file (tests).
    Tsetupformw(HWND owner, ListFile file);
};

}  // namespace settings
