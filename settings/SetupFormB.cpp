// The black-list editor.
#include "settings/SetupFormB.h"

namespace settings {

Tsetupformb::Tsetupformb(HWND owner) : Tsetupformb(owner, ListFile::besideExecutable(kBlackListFile)) {}

Tsetupformb::Tsetupformb(HWND owner, ListFile file) : ListEditor(owner, "Ombrix  Blacklist", std::move(file)) {}

}  // namespace settings
