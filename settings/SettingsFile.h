// The four switches and their place in the settings file: section "main", one key each,
// written as "1" or "0", on by default.
#pragma once

#include "settings/IniFile.h"
#include "settings/Switches.h"

namespace settings {

// Reads "enabledenc", "stopkeylog", "enabledblack", "enabledwhite", in that order. Never
// fails: a missing or unreadable file gives every switch on.
Switches loadSwitches(const IniFile& file);

// Writes "enabledenc", "stopkeylog", "enabledwhite", "enabledblack", in that order; the
// first key that cannot be written raises "Unable to write to <path>" and stops there.
void saveSwitches(const IniFile& file, const Switches& switches);

}  // namespace settings
