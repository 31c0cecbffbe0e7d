// The black-list editor "Ombrix  Blacklist": the names the scan always stops, from "bl.txt".
#pragma once

#include "settings/ListEditor.h"

namespace settings {

class Tsetupformb : public ListEditor {
public:
    explicit Tsetupformb(HWND owner);
    // The same editor over another file (tests).
    Tsetupformb(HWND owner, ListFile file);
};

}  // namespace settings
