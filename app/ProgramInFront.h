// The program in front: the one whose window the user had in front last, this program and
// the shell's taskbar and desktop apart. A click on the tray icon makes the taskbar the
// foreground window and the tray menu then takes the foreground, so the window is
// remembered each time the foreground moves rather than looked up as the menu opens.
// Where the system does not report the foreground's moves (Wine), the mouse coming over the
// tray icon is the last moment the user's window is surely still in front.
#pragma once

#include <windows.h>

#include <string>

namespace app {

class ProgramInFront {
public:
    // Starts watching the foreground; one object at a time, on a thread with a message loop
    // (the system calls it back there).
    ProgramInFront();
    ~ProgramInFront();
    ProgramInFront(const ProgramInFront&) = delete;
    ProgramInFront& operator=(const ProgramInFront&) = delete;

    // Remembers the foreground window now, if it is another program's. For the mouse over
    // the tray icon, before a click there can take the foreground.
    void notice();

    // The file name of that program's executable as the system reports it, in the ANSI code
    // page (notepad.exe); empty when there is no such program, its window is gone or its
    // process cannot be asked. Without a remembered window the foreground window counts,
    // when it is another program's.
    std::string fileName() const;

private:
    static void CALLBACK foregroundMoved(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG, DWORD, DWORD);

    HWINEVENTHOOK hook_ = nullptr;
    HWND last_ = nullptr;
};

}  // namespace app
