// Starts ombrix.exe, beside its keylogger database and a recording stand-in for its
// keyboard-encryption library, from a fresh temporary program folder and
// talks to it from outside: window messages, real mouse clicks and keys, its message boxes and
// its exit code. Every process it started is ended and the folder removed when the object goes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "settings/Switches.h"

namespace testing_support {

// A process started by a test; ended on destruction if still running.
class Process {
public:
    Process() = default;
    Process(PROCESS_INFORMATION pi) : process_(pi.hProcess), pid_(pi.dwProcessId) { CloseHandle(pi.hThread); }
    ~Process();
    Process(Process&& o) noexcept;
    Process& operator=(Process&& o) noexcept;

    DWORD pid() const noexcept { return pid_; }
    bool running() const;
    // The exit code, or STILL_ACTIVE when it did not end within `timeoutMs`.
    DWORD waitForExit(DWORD timeoutMs) const;
    void kill();

private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
};

// The name of the temporary program folder: plain ASCII, or one holding "Δ" (U+0394), which
// the ANSI code page cannot hold, as a user's own folder named after the user may.
enum class FolderName { Ansi, BeyondAnsi };

class ProgramUnderTest {
public:
    explicit ProgramUnderTest(const std::string& exeName = "ombrix.exe", FolderName name = FolderName::Ansi);
    ~ProgramUnderTest();
    ProgramUnderTest(const ProgramUnderTest&) = delete;
    ProgramUnderTest& operator=(const ProgramUnderTest&) = delete;

    // The folder with its trailing backslash, as the ANSI calls of the tests reach it: its
    // name, or its short form when the ANSI code page cannot hold the name.
    const std::string& folder() const noexcept { return folder_; }
    // Its real (long) name, with the trailing backslash; the program is started from it.
    const std::wstring& wideFolder() const noexcept { return wideFolder_; }
    std::string path(const std::string& name) const { return folder_ + name; }
    void writeFile(const std::string& name, const std::string& content) const;
    // Writes the settings file the copy reads (named after its executable) with `switches`.
    void writeSwitches(const settings::Switches& switches) const;
    std::string readFile(const std::string& name) const;
    bool exists(const std::string& name) const;

    // Starts a copy with `args`, the program folder as its current directory.
    Process& start(const std::string& args = "");
    // Starts a copy with `currentFolder` as its current directory and, when `path` is not
    // empty, an environment holding only PATH=`path`.
    Process& startIn(const std::string& currentFolder, const std::string& path = "");
    Process& process(size_t i = 0) { return processes_.at(i); }

    // The top-level window of class "Ombrix" of any copy started here, once it exists.
    HWND waitForMainWindow(DWORD timeoutMs = 15000) const;
    // A top-level window of a started copy with this caption (and class, when given).
    HWND waitForWindow(const std::string& caption, const char* className = nullptr, DWORD timeoutMs = 10000) const;
    // All top-level windows of class "Ombrix" on the desktop.
    static std::vector<HWND> mainWindows();

    // Chooses the item `command` of the running copy's tray menu as a user does: a right
    // click on its icon in the notification area, then the item by the keyboard. Returns once
    // the menu has closed and the command's handler has run; false when the menu did not
    // open or close.
    bool chooseFromTrayMenu(UINT command);
    // Chooses Exit from the tray menu of `window`'s copy and waits for it to end: the exit
    // code, or STILL_ACTIVE when it did not end in time.
    DWORD exitByMenu(HWND window, DWORD timeoutMs = 20000);

    // Waits for a message box (caption "Ombrix") of a started copy and returns its text.
    std::string waitForMessageBox(DWORD timeoutMs = 10000) const;
    HWND messageBox() const;
    // Presses the message box's OK button and waits until the box is destroyed.
    void dismissMessageBox() const;

    // Waits until `pred` holds, polling; false on time-out. Every wait of the tests is this:
    // a condition with a limit, never a fixed time.
    template <typename Pred>
    static bool waitUntil(Pred pred, DWORD timeoutMs = 10000) {
        for (DWORD t = 0;; t += 50) {
            if (pred()) return true;
            if (t >= timeoutMs) return false;
            Sleep(50);
        }
    }

    // Returns once the thread of `window` has answered a message sent now, twice over: what
    // it was busy with (a handler, a box that has just closed) is over, and a box that such
    // a handler opened is on screen, since a modal box shows itself only when its queue is
    // first empty, after the first answer. False when the window did not answer in time or
    // is gone.
    static bool settled(HWND window, DWORD timeoutMs = 10000);
    // Waits until `window` is visible and settled: its showing is over, and with it every
    // box that start-up shows, since they all come before the window becomes visible.
    static bool waitUntilShown(HWND window, DWORD timeoutMs = 10000);

    // Puts the cursor at a point of the screen, where a press or a release then lands.
    static void placeCursor(POINT screen);
    // A real left click at a point of `window`'s client area.
    static void click(HWND window, POINT client);
    // Real key strokes: a virtual key pressed and released.
    static void pressKey(WORD vk);
    // A real right click at a point of the screen.
    static void rightClickAt(POINT screen);

private:
    Process& launch(const std::string& args, const std::wstring& currentFolder, const std::string& pathVariable);
    bool ownedByUs(HWND window) const;

    std::wstring wideFolder_;
    std::string folder_;
    std::string exeName_;
    std::vector<Process> processes_;
};

// The text of a child control (cross-process safe).
std::string windowText(HWND window);
std::string fileText(const std::string& path);

}  // namespace testing_support
