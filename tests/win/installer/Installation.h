// Test driver for the installer that scripts/package makes: a silent installation into a
// folder of its own, what it leaves for the user (shortcuts, the uninstall record), the
// installed program started as a shortcut starts it, and the silent uninstallation. Whatever
// a test leaves installed or running is removed when the object goes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/win/ProgramUnderTest.h"

namespace testing_support {

// The uninstall record below HKEY_CURRENT_USER.
inline constexpr const char* kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Ombrix";

bool uninstallRecordExists();
// A string value of the record; "<none>" when it is missing or not a string.
std::string uninstallString(const char* name);
// A REG_DWORD value of the record; -1 when it is missing or not a DWORD.
long long uninstallDword(const char* name);
void setUninstallDword(const char* name, DWORD value);

// A folder of the current user's shell (CSIDL_...), with its trailing backslash.
std::string shellFolder(int csidl);

struct Shortcut {
    bool exists = false;
    std::string target, arguments, workingFolder;
};
Shortcut readShortcut(const std::string& path);

// True when the PE file carries an Authenticode signature (a certificate table).
bool hasSignature(const std::string& path);

// The files below `folder`, as relative paths with backslashes, sorted.
std::vector<std::string> filesBelow(const std::string& folder);

// Runs a command line and waits for it to end: its exit code, or STILL_ACTIVE on time-out.
DWORD runAndWait(const std::string& commandLine, DWORD timeoutMs = 60000);

// The text of each message box (caption "Ombrix") that process `pid` shows.
std::vector<std::string> messageBoxTexts(DWORD pid);

class Installation {
public:
    // Into a fresh temporary folder, or into the installer's default folder.
    enum class Where { TemporaryFolder, DefaultFolder };
    explicit Installation(Where where = Where::TemporaryFolder);
    ~Installation();
    Installation(const Installation&) = delete;
    Installation& operator=(const Installation&) = delete;

    // With its trailing backslash.
    const std::string& folder() const noexcept { return folder_; }
    std::string path(const std::string& name) const { return folder_ + name; }
    bool exists(const std::string& name) const;
    void writeFile(const std::string& name, const std::string& content) const;
    std::string readFile(const std::string& name) const { return fileText(path(name)); }

    // Runs the installer silently: "/S", then `args`, then "/D=folder" unless `chooseFolder`
    // is false (the installer then picks the folder itself). The installer's exit code.
    DWORD install(const std::string& args = "", bool chooseFolder = true);
    // Runs the installed uninstaller silently with `args`. It hands the work to a copy of
    // itself and ends at once, so this waits for the record to go, which is its last step.
    // False when it did not go in time.
    bool uninstall(const std::string& args = "");

    // Starts the installed program as the shortcut `link` starts it: its target with its
    // arguments in its start-in folder (the current folder when the link names none).
    Process& startAsShortcut(const std::string& link);
    // Starts the installed program with the current folder `currentFolder`.
    Process& start(const std::string& args, const std::string& currentFolder);
    // The main window of the running copy, once it exists.
    HWND waitForMainWindow(DWORD timeoutMs = 15000) const;

    // The files that an installation puts in its folder: the build's program folder without
    // the user's files, and the uninstaller.
    static std::vector<std::string> shippedFiles();

private:
    Process& launch(const std::string& exe, const std::string& args, const std::string& currentFolder);

    std::string folder_;
    std::vector<Process> processes_;
};

// Asks a running copy to end as a logoff does; its exit code, or STILL_ACTIVE.
DWORD endAsAtLogoff(HWND window, Process& process, DWORD timeoutMs = 15000);

}  // namespace testing_support
