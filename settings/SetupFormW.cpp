// The white-list editor.
#include "settings/SetupFormW.h"

namespace settings {

Tsetupformw::Tsetupformw(HWND owner) : Tsetupformw(owner, ListFile::besideExecutable(kWhiteListFile)) {}

Tsetupformw::Tsetupformw(HWND owner, ListFile file) : ListEditor(owner, "Ombrix White List", std::move(file)) {}

}  // namespace settings
