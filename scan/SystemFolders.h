// Whether a process with one of Windows' own names runs from where Windows keeps it.
// Folders are compared as the file system knows them (volume and file index), so that short
// names, letter case and the 32-bit file-system redirection do not count as differences.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "scan/SystemNames.h"

namespace scan {

// The full path of process `pid`'s executable, or nothing when it cannot be read (access
// denied, gone).
std::optional<std::wstring> imagePathOf(DWORD pid);

class SystemFolders {
public:
    // Looks the folders up once: the system folder, its 32-bit twin where there is one, and
    // the Windows folder.
    SystemFolders();
    // Whether `imagePath`'s folder is one where Windows keeps processes of `home`; true too
    // when the folder cannot be looked at (no report without proof).
    bool holds(const std::wstring& imagePath, SystemHome home) const;

private:
    struct Identity {
        DWORD volume = 0, high = 0, low = 0;
        bool operator==(const Identity&) const = default;
    };
    static std::optional<Identity> identityOf(const std::wstring& folder);

    std::vector<Identity> system_;
    std::optional<Identity> windows_;
};

}  // namespace scan
