// How a process-list file reads and writes as text, apart from the file calls so that it is
// tested natively: the lines a list takes from the file, and the text the editor shows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace settings {

// The lines of a list file: a line ends at CR, LF or CR LF, a NUL ends the file, and a break
// at the very end adds no empty line. Lines are kept exactly: blanks, empty lines,
// duplicates and letter case stay as they stand.
std::vector<std::string> splitListLines(std::string_view fileText);

// `text` with every line break (CR, LF or CR LF) written as CR LF, up to the first NUL. Both
// what the editor shows of a file and what Save writes of the editor's text: the breaks a
// list file holds are CR LF, and a final break stays only where the text had one.
std::string withCrLfBreaks(std::string_view text);

}  // namespace settings
