// The pass-through-list editor.
#include "settings/SetupFormP.h"

namespace settings {

Tsetupformp::Tsetupformp(HWND owner) : Tsetupformp(owner, ListFile::besideExecutable(kPassThroughListFile)) {}

Tsetupformp::Tsetupformp(HWND owner, ListFile file)
    : ListEditor(owner, "Ombrix Pass-through List", std::move(file)) {}

}  // namespace settings
