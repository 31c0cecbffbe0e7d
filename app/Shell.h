// Opening documents and web addresses with the shell.
#pragma once

#include <string>

namespace app {

// Asks the shell to open `target` (a document or a web address) with the verb "open", the
// desktop window as owner and the normal show state. The shell's answer is not examined: a
// missing browser or file association is not the program's to report.
void openInShell(const std::string& target);

// Opens a file with the shell's default verb and no owner when it exists; does nothing,
// and says nothing, when it does not. Wide: the file may lie in a folder whose name the
// ANSI code page cannot hold.
void openIfExists(const std::wstring& path);

}  // namespace app
