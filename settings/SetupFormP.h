// The pass-through-list editor "Ombrix Pass-through List": the programs whose typed keys the
// keyboard encryption leaves on the ordinary path, from "pl.txt". The program keeps no copy
// of this list; the encryption library reads the file as it changes.
#pragma once

#include "settings/ListEditor.h"

namespace settings {

class Tsetupformp : public ListEditor {
public:
    explicit Tsetupformp(HWND owner);
    // The same editor over another file (tests).
    Tsetupformp(HWND owner, ListFile file);

protected:
    // Written whole: the library may read the file at any moment.
    void writeFile(std::string_view text) const override { file().replace(text); }
};

}  // namespace settings
