// The settings rules that need no window: where the settings file lies and how its values
// read. Kept apart from the Win32 calls so they are tested natively.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "settings/Switches.h"

namespace settings {

// The settings file beside the executable: its folder (with the trailing backslash) as it
// stands, then its file name lower-cased with the last three characters dropped, then
// "ini". C:\Tools\Guard.EXE gives C:\Tools\guard.ini; C:\Tools\guard gives C:\Tools\guini.
// The wide form is for the path as the system gives it, whose folder the ANSI code page may
// not hold.
std::string iniFileNameFor(std::string_view exePath);
std::wstring iniFileNameFor(std::wstring_view exePath);

// An INI value as a whole number: decimal, or hexadecimal when the text is longer than two
// characters and starts with "0x" or "0X". Nothing for an empty text or one that is not a
// number that fits in 32 bits.
std::optional<long> parseIniInteger(std::string_view text);

// A switch as stored: any non-zero number is on, zero is off, anything else the default.
bool parseIniBool(std::string_view text, bool defaultValue);

}  // namespace settings

namespace settings {

enum class CheckBoxLeft { Stop, White, Black };

// What leaving a check box does: the lists make sense only while keyloggers are stopped.
// Adjusts the dialog's `checks` and returns the message to show first, or an empty text for none.
std::string leaveCheckBox(CheckBoxLeft box, Switches& checks);

}  // namespace settings
