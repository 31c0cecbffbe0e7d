// How a process-list file reads and writes as text, apart from the file calls so that it is
// tested natively: the lines a list takes from the file, the text the editor shows, and the
// one-line changes the tray menu makes to the pass-through list.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "settings/ProcessList.h"

namespace settings {

// The lines of a list file: a line ends at CR, LF or CR LF, a NUL ends the file, and a break
// at the very end adds no empty line. Lines are kept exactly: blanks, empty lines,
// duplicates and letter case stay as they stand.
std::vector<std::string> splitListLines(std::string_view fileText);

// `text` with every line break (CR, LF or CR LF) written as CR LF, up to the first NUL. Both
// what the editor shows of a file and what Save writes of the editor's text: the breaks a
// list file holds are CR LF, and a final break stays only where the text had one.
std::string withCrLfBreaks(std::string_view text);

// The file's text with `line` as a new last line, ended by CR LF. A last line without a break
// gets a CR LF first, so that the two are not joined. As everywhere, the text ends at a NUL.
std::string withLineAdded(std::string_view fileText, std::string_view line);

// The file's text without every line that `compare` finds equal to `line`, each together
// with the break that ends it; the other lines, their order and their breaks stay exactly as
// they were. The text ends at a NUL.
std::string withLinesRemoved(std::string_view fileText, std::string_view line, ProcessList::Compare compare);

}  // namespace settings
