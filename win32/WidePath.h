// Paths between the program's ANSI texts and the wide calls that open them. A folder may
// hold characters that the ANSI code page cannot (a user's own folder bears the user's
// name), so paths are kept and opened wide; they become ANSI only to be shown or handed to
// an interface that takes ANSI.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace win {

// ANSI text (the code page's) as UTF-16.
std::wstring widen(std::string_view ansi);
// UTF-16 as ANSI as best the code page can: what it lacks becomes a near character or its
// default character. For texts that only show a path.
std::string narrow(std::wstring_view wide);
// UTF-16 as ANSI exactly, or nothing when the code page lacks one of its characters.
std::optional<std::string> narrowExactly(std::wstring_view wide);

// A name of the existing file or folder `path` that the ANSI code page holds exactly and
// that names the same file: `path` itself when the code page can hold it, otherwise its
// short (8.3) form. A trailing backslash is kept. When neither can be held (short names
// switched off), `path` as best the code page can.
std::string ansiPathOf(const std::wstring& path);

}  // namespace win
