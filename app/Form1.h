// The main window: owns every other object of the running program and drives it through
// its creation, show, close and destroy handlers and its two timers.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "dbf/dataset/TTableDataSet.h"
#include "hook/HookBinding.h"
#include "scan/KeyloggerDatabase.h"
#include "scan/KeyloggerScanner.h"
#include "scan/TmLog.h"
#include "settings/ProcessList.h"
#include "settings/Switches.h"
#include "ui/IconList.h"
#include "ui/SkinButton.h"
#include "ui/SkinForm.h"
#include "ui/TrayIcon.h"
#include "win32/Timer.h"
#include "win32/Window.h"

namespace settings {
class Tsetupform;
}

namespace app {

class TAbouts;
class ProgramInFront;

// Posted by a second copy of the program to bring the running one forward.
constexpr UINT WM_ACTIVATE_INSTANCE = WM_USER + 0x1000;

// The main window's class name: what a second copy looks for.
constexpr const char* kMainWindowClass = "Ombrix";

// Identifiers of the main window's timers (the WM_TIMER first parameter).
constexpr UINT_PTR kTimertrayiconId = 1;
constexpr UINT_PTR kTimer2Id = 2;

// Commands of the tray menu.
enum MenuCommand : UINT {
    About1 = 201,
    MainScreen1,
    OpenKeyloggerEncryption1,
    Help1,
    AuthorSite1,
    LogFile1,
    Exit1,
    // Placed after the encryption item.
    PassThrough1,
};

// The operation log's file, in the current directory.
constexpr const char* kLogFileName = "keyloggerstop.log";

class TForm1 : public win::Window {
public:
    // Creates the window and its components, then runs FormCreate.
    TForm1();
    ~TForm1() override;

    // The dialogs that the entry creates after the main window.
    void setDialogs(settings::Tsetupform* setupform, TAbouts* abouts) {
        setupform_ = setupform;
        abouts_ = abouts;
    }

    // Shows the window for the first time (FormShow runs).
    void Show();

    // The apply step: brings the hook, the scan timer, the menu caption and the tray icon in
    // line with the switches. A showing of the window never stops the hook.
    void ApplySettings(bool mayStopHook = true);

    // State other parts read and write.
    bool settingsLoaded = false;
    bool exitRequested = false;
    bool shutdownPending = false;
    std::wstring iniFileName;
    settings::Switches switches;
    // True from a start of the keyboard hook until it is stopped again.
    bool hooked = false;
    // The lists the scan consults: `contains` sorts a list in place and searches it.
    std::unique_ptr<settings::ProcessList> BlackList;
    std::unique_ptr<settings::ProcessList> WhiteList;
    // The operation log the scan writes to.
    std::unique_ptr<scan::TmLog> mLog1;
    std::string siteAddress;

    win::Timer Timertrayicon;
    win::Timer Timer2;

    // The keylogger table (TableDataSet2) and the lookup the scan asks; the second table
    // data set was designed for a spyware table that the program never opens.
    dbf::TTableDataSet TableDataSet1;
    dbf::TTableDataSet TableDataSet2;
    scan::KeyloggerDatabase keyloggerDatabase{TableDataSet2};

protected:
    LRESULT handle(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void createComponents();
    void createLog();

    // Handlers.
    void FormCreate();
    void FormShow();
    bool FormCloseQuery();
    void FormClose();
    void FormDestroy();
    void TimertrayiconTimer();
    void Timer2Timer();
    void WMQueryEndSession(LRESULT& result);
    void WMActivateInstance();
    void PopupMenu1Popup();
    void menuCommand(UINT id);

    // Commands.
    void SkinButton1Click();
    void SkinButton3Click();
    void SkinButton4Click();
    void SkinButton5Click();
    void SkinButton6Click();
    void TrayIcon1DblClick();
    void OpenKeyloggerEncryption1Click();
    void PassThrough1Click();
    void About1Click();
    void LogFile1Click();
    void Exit1Click();

    // Steps that later parts of the program fill.
    void loadLists();
    void bindHookLibrary();
    void startHooking();
    void endHooking();
    void releaseHookLibrary();
    void configureTables();
    void openKeyloggerTable();
    void closeKeyloggerTable();
    void btnStartClick();
    void reportScanError(const std::exception& e);

    void hookStateReported(WPARAM running, LPARAM session);
    void setMenuCaption();
    void setTrayDisplay();
    void setEncryptionDisplay();

    ui::IconList iconlist_;
    std::unique_ptr<ui::TTrayIcon> TrayIcon1;
    win::UniqueMenu PopupMenu1;
    // Who is in front; and the program the pass-through item named as the menu opened, with
    // whether the list held it then, so that the choice acts on what the item said.
    std::unique_ptr<ProgramInFront> programInFront_;
    std::string passThroughName_;
    bool passThroughListed_ = false;
    std::unique_ptr<ui::TSkinForm> SkinForm1;
    std::unique_ptr<ui::SkinButtonHost> skin_;
    ui::TSkinButton SkinButton1{152, 296, 84, 25, "Setting"};
    ui::TSkinButton SkinButton5{163, 333, 73, 26, "About"};
    ui::TSkinButton SkinButton4{180, 371, 56, 24, "Help File"};
    ui::TSkinButton SkinButton6{186, 405, 50, 21, "Close to tray"};
    ui::TSkinButton SkinButton3{73, 481, 157, 38, "Go to  Site"};
    // Zero width: the mouse never reaches it; only the scan timer runs its handler.
    ui::TSkinButton btnStart{0, 0, 0, 25, ""};

    settings::Tsetupform* setupform_ = nullptr;
    TAbouts* abouts_ = nullptr;
    // The log file the program writes: opened by bare name in the folder that was current
    // at start, which the program never changes.
    std::wstring logPath_;

    // The keyboard-encryption library, its shared block and the hot key.
    hook::HookBinding hookBinding_;
    // The library's word on its hook: the message it reports with, the running start's
    // token (its reports carry it; a report without it is not the library's), and whether
    // the running start's hook could not be set or was lost.
    UINT hookStateMessage_ = RegisterWindowMessageA(hook::kHookStateMessageName);
    DWORD hookToken_ = 0;
    bool hookDown_ = false;

    // Creation is over (FormCreate has run): from then on the window may be shown.
    bool created_ = false;
    // Why the log's registry record could not be written, until it is shown.
    std::string recordFailure_;

    std::unique_ptr<scan::KeyloggerScanner> scanner_;
    // An error box of the scan is on screen, and the message last shown since the last scan
    // that ran to its end.
    bool scanErrorOpen_ = false;
    std::string scanErrorShown_;
};

// Whether the program's first command-line argument asks for a start in the tray.
bool startsHidden(int argc, char** argv);

}  // namespace app
