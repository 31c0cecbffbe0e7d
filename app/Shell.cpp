// The shell requests of the window commands.
#include "app/Shell.h"

#include <windows.h>
#include <shellapi.h>

namespace app {

void openInShell(const std::string& target) {
    ShellExecuteA(GetDesktopWindow(), "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void openIfExists(const std::wstring& path) {
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    ShellExecuteW(nullptr, nullptr, path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace app
