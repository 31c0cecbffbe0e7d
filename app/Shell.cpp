// The shell requests of the window commands.
#include "app/Shell.h"

#include <windows.h>
#include <shellapi.h>

namespace app {

void openInShell(const std::string& target) {
    ShellExecuteA(GetDesktopWindow(), "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void openIfExists(const std::string& path) {
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    ShellExecuteA(nullptr, nullptr, path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace app
