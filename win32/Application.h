// The little the program needs of an application object: its title, its main window, the
// standard error box, the message loop and the executable's own path.
#pragma once

#include <windows.h>

#include <exception>
#include <string>

namespace win {

class Application {
public:
    static const std::string& title();
    static void setTitle(std::string title);

    // The main window: its closing ends the message loop.
    static HWND mainWindow();
    static void setMainWindow(HWND hwnd);
    // Whether the main window is shown at start (true unless a component asks for a start
    // in the tray).
    static bool showMainForm();
    static void setShowMainForm(bool show);

    // The standard error box: caption the application title, error icon, and the message
    // with a full stop added when its last character sorts after ".".
    static void showException(const std::exception& e);
    static void showError(const std::string& message);
    // A plain message box: no icon, one OK button, the application title as caption.
    static void showMessage(const std::string& text, HWND owner);

    // Modal loops (dialogs, message boxes, menus) run inside the handler that opened them;
    // the code after one must find its window alive. While any runs, the main window's end
    // waits: closeWhenModalLoopsEnd() ends every modal dialog and box of the thread (as
    // Cancel) and the open menu, and posts WM_CLOSE to the main window once the outermost
    // loop has returned.
    class ModalLoop {
    public:
        ModalLoop() noexcept;
        ~ModalLoop();
        ModalLoop(const ModalLoop&) = delete;
        ModalLoop& operator=(const ModalLoop&) = delete;
    };
    static int modalDepth();
    static void closeWhenModalLoopsEnd();

    // Handles the messages waiting in the queue, then returns.
    static void processMessages();
    // Runs the message loop until WM_QUIT; returns its exit code.
    static int run();
    // Whether WM_QUIT has been seen (a nested loop passes it on to the outer one).
    static bool terminated();
    static void setTerminated(int exitCode);

    // The executable's full path as the system reports it, and its folder with the
    // trailing backslash. Wide: the folder may be one whose name the ANSI code page cannot
    // hold (see win32/WidePath.h).
    static std::wstring exePath();
    static std::wstring exeFolder();
};

// The full-stop rule of the error box.
std::string withFullStop(std::string message);

}  // namespace win
