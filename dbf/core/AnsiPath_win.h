// The engine names its files in ANSI, and the Windows halves open them with the ANSI calls.
// A folder whose name the ANSI code page cannot hold (a user's own folder, named after the
// user) is named by its short form, which the code page holds.
#pragma once

#include <string>

namespace dbf {

// The full path `path` as ANSI that opens the same file: as it stands when the code page
// holds it, else with its folder in short (8.3) form and the file name as it stands, so that
// the name shown in the engine's messages is still the file's. As best the code page can
// when neither holds (short names switched off, a file name the code page lacks).
std::string ansiPathOf(const std::wstring& path);

// An ANSI name (the code page's) as UTF-16, for the wide calls.
std::wstring widePathOf(const std::string& ansi);

}  // namespace dbf
