// Program entry: one copy per logon. A second copy brings the running one forward and ends.
#include <windows.h>

#include "app/Abouts.h"
#include "app/Form1.h"
#include "app/SingleInstance.h"
#include "app/StartupPhases.h"
#include "settings/SetupForm.h"
#include "settings/SetupFormB.h"
#include "settings/SetupFormP.h"
#include "settings/SetupFormW.h"
#include "win32/Application.h"

namespace {

// How long a second copy waits for the first one's window to appear.
constexpr DWORD kWaitForFirstCopyMs = 10000;
constexpr DWORD kPollMs = 50;

void activate(HWND first) { PostMessageA(first, app::WM_ACTIVATE_INSTANCE, 0, 0); }

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    app::startupPhase("process start to entry");
    if (HWND first = app::findRunningCopy()) {
        activate(first);
        return 0;
    }
    // The window test alone lets two copies started together both run; the mutex, held for
    // the life of the process, tells the later one that it is a second copy even before the
    // first one's window exists.
    // The handle is never closed: the mutex lives as long as the process.
    // A name held by a process that shows no copy's window in that time is no copy: this
    // one starts all the same, so that no other program can keep protection from starting.
    HANDLE mutex = CreateMutexA(nullptr, FALSE, "Ombrix");
    if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
        for (DWORD waited = 0; waited < kWaitForFirstCopyMs; waited += kPollMs) {
            if (HWND first = app::findRunningCopy()) {
                activate(first);
                return 0;
            }
            Sleep(kPollMs);
        }
    }

    app::startupPhase("single-instance check");
    win::Application::setTitle("Ombrix");
    app::TForm1 Form1;
    app::TAbouts Abouts(Form1.hwnd());
    app::startupPhase("about box");
    settings::Tsetupform setupform(Form1.hwnd());
    settings::Tsetupformb setupformb(Form1.hwnd());
    settings::Tsetupformw setupformw(Form1.hwnd());
    settings::Tsetupformp setupformp(Form1.hwnd());
    Form1.setDialogs(&setupform, &Abouts);
    // The lists are gone once the window has closed; no edit can start after that.
    setupform.OnEditWhiteList = [&] {
        if (Form1.WhiteList) setupformw.edit(*Form1.WhiteList);
    };
    setupform.OnEditBlackList = [&] {
        if (Form1.BlackList) setupformb.edit(*Form1.BlackList);
    };
    // The program keeps no copy of this list: the library reads the file.
    setupform.OnEditPassThroughList = [&] { setupformp.edit(); };
    app::startupPhase("settings dialogs");
    Form1.Show();
    app::startupPhase("first show");
    app::writeStartupPhases();
    win::Application::run();
    return 0;
}
