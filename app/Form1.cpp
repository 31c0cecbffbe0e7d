// The main window's lifecycle: creation, showing, hiding to the tray, closing.
#include "app/Form1.h"

#include <utility>

#include "app/Abouts.h"
#include "app/ProgramInFront.h"
#include "app/Shell.h"
#include "app/StartupPhases.h"
#include "app/resource.h"
#include "hook/HookBinding.h"
#include "scan/SecretText.h"
#include "settings/IniFile.h"
#include "settings/ListFile.h"
#include "settings/PassThroughList.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsRules.h"
#include "settings/SetupForm.h"
#include "settings/TextCompare.h"
#include "ui/MaskRegion.h"
#include "win32/Application.h"
#include "win32/WidePath.h"

namespace app {

namespace {

constexpr int kClientWidth = 268;
constexpr int kClientHeight = 558;
constexpr int kLeft = 295;
constexpr int kTop = 77;

constexpr const char* kHintRunning = "Ombrix - Keyboard Encryption Protection Running ...";
constexpr const char* kHintClosing = "Ombrix - Keyboard Encryption Protection Closing ...";
constexpr const char* kCaptionClose = "Close Keyboard Encryption (Ctrl+E)";
constexpr const char* kCaptionOpen = "Open Keyboard Encryption (Ctrl+E)";
// The pass-through item while no program of the user's is in front.
constexpr const char* kCaptionNoProgram = "Pass Keys to the Program in Front Unprotected";
// Encryption switched on, but the library or its exports were not found at start: no hook
// runs, and the tray must not say that protection does.
constexpr const char* kHintUnavailable = "Ombrix - Keyboard Encryption not available (zarurarevidev.dll not loaded)";
// The library was loaded, but its exports or its shared block could not be had.
constexpr const char* kHintSetupFailed = "Ombrix - Keyboard Encryption not available (zarurarevidev.dll could not be set up)";
// The library is there, but says that its hook could not be set (or was lost).
constexpr const char* kHintNotRunning = "Ombrix - Keyboard Encryption Protection not running ...";
// The operation log's lines when the library reports its running hook lost, and back.
constexpr const char* kLogHookLost = "Keyboard encryption stopped: the protection library lost its hook";
constexpr const char* kLogHookBack = "Keyboard encryption running again: the protection library set its hook up again";

// The pass-through item for a program: what choosing it will do. The name is shown as it is
// ("&" alone would mark an access letter).
std::string passThroughCaption(const std::string& name, bool listed) {
    std::string shown;
    for (char c : name) shown += c == '&' ? "&&" : std::string(1, c);
    return listed ? "Protect Keys in " + shown + " Again" : "Pass Keys to " + shown + " Unprotected";
}

}  // namespace

TForm1::TForm1() {
    registerClass(kMainWindowClass, CS_DBLCLKS, nullptr, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1),
                  LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_MAINICON)));
    // A borderless window whose client area is the whole window.
    create(kMainWindowClass, "Ombrix", WS_EX_APPWINDOW, WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, kLeft, kTop,
           kClientWidth, kClientHeight);
    win::Application::setMainWindow(hwnd());
    startupPhase("main window");
    createComponents();
    try {
        FormCreate();
    } catch (const std::exception& e) {
        win::Application::showException(e);
    }
    created_ = true;
    TrayIcon1->setEnabled(true);
    // Shown only now: its message loop may run a showing (a second copy's activation), which
    // needs the settings file name and the lists that FormCreate has just made.
    if (!recordFailure_.empty()) win::Application::showError(std::exchange(recordFailure_, {}));
}

TForm1::~TForm1() = default;

void TForm1::createComponents() {
    iconlist_.addResource(IDI_ENCRYPTION_ON);
    iconlist_.addResource(IDI_ENCRYPTION_OFF);
    programInFront_ = std::make_unique<ProgramInFront>();
    TrayIcon1 = std::make_unique<ui::TTrayIcon>(hwnd());
    startupPhase("tray icon: component");
    TrayIcon1->setIconList(&iconlist_);
    TrayIcon1->setHint("Ombrix");
    TrayIcon1->setMinimizeToTray(true);
    TrayIcon1->setIconVisible(true);
    TrayIcon1->setIconIndex(0);
    // Its clicks and menu wait for the end of creation: a showing or an Exit chosen from it
    // while a box of creation is up would meet a window without its lists and settings.
    TrayIcon1->setEnabled(false);
    TrayIcon1->OnDblClick = [this] { TrayIcon1DblClick(); };
    TrayIcon1->OnMouseMove = [this](ui::TShiftState, int, int) { programInFront_->notice(); };
    TrayIcon1->OnPopup = [this] { PopupMenu1Popup(); };
    TrayIcon1->OnMenuCommand = [this](UINT command) { menuCommand(command); };
    // The notice of a scan leads to the log that says it all.
    TrayIcon1->OnBalloonClick = [this] { LogFile1Click(); };

    PopupMenu1.reset(CreatePopupMenu());
    HMENU m = PopupMenu1.get();
    AppendMenuA(m, MF_STRING, About1, "&About");
    AppendMenuA(m, MF_STRING, MainScreen1, "&Main Screen");
    AppendMenuA(m, MF_STRING, OpenKeyloggerEncryption1, "Open Keylogger Encryption");
    AppendMenuA(m, MF_STRING | MF_GRAYED, PassThrough1, kCaptionNoProgram);
    AppendMenuA(m, MF_STRING, Help1, "&Help");
    AppendMenuA(m, MF_STRING, AuthorSite1, "&Author Site");
    AppendMenuA(m, MF_STRING, LogFile1, "View Log File");
    AppendMenuA(m, MF_STRING, Exit1, "&Exit");
    TrayIcon1->setPopupMenu(m);
    startupPhase("tray icon: properties, menu");

    // The face: the skin, then its shape. A missing shape leaves the window rectangular.
    SkinForm1 = std::make_unique<ui::TSkinForm>(hwnd());
    HMODULE self = GetModuleHandleA(nullptr);
    SkinForm1->loadPicture(self, IDB_SKIN);
    startupPhase("skin picture");
    SkinForm1->loadMask(ui::loadResourceData(self, IDR_MASK2));
    startupPhase("skin region");
    skin_ = std::make_unique<ui::SkinButtonHost>(hwnd());
    for (ui::TSkinButton* b : {&SkinButton1, &SkinButton5, &SkinButton4, &SkinButton6, &SkinButton3, &btnStart})
        skin_->add(*b);
    SkinForm1->OnPaintOver = [this](HDC dc) { skin_->paint(dc); };
    SkinButton1.OnClick = [this] { SkinButton1Click(); };
    SkinButton5.OnClick = [this] { SkinButton5Click(); };
    SkinButton4.OnClick = [this] { SkinButton4Click(); };
    SkinButton6.OnClick = [this] { SkinButton6Click(); };
    SkinButton3.OnClick = [this] { SkinButton3Click(); };

    Timertrayicon.attach(hwnd(), kTimertrayiconId, 5000, true);
    Timer2.attach(hwnd(), kTimer2Id, 30000, false);
    startupPhase("skin buttons, timers");
    createLog();
    startupPhase("log, registry record");
    configureTables();
    scanner_ = std::make_unique<scan::KeyloggerScanner>(*mLog1);
    startupPhase("table settings, scanner");
    TrayIcon1->loaded();
    startupPhase("tray icon added");
}

// The log records its trace level below HKEY_LOCAL_MACHINE, which an ordinary account may
// not write to. Nothing in the program reads that record, so its failure must not cost the
// log or the rest of the window: every setting is applied all the same, and the failure is
// shown once, naming the record of the program's own log file, when creation is over.
void TForm1::createLog() {
    std::string failure;
    try {
        mLog1 = std::make_unique<scan::TmLog>();
    } catch (const scan::RegistryError& e) {
        failure = e.what();
        mLog1 = std::make_unique<scan::TmLog>(scan::TmLog::withoutRecord());
    }
    auto apply = [&](auto set) {
        try {
            set();
        } catch (const scan::RegistryError& e) {
            failure = e.what();
        }
    };
    apply([&] { mLog1->setLogFileName(kLogFileName); });
    // Wide: the current directory may be a folder whose name the ANSI code page cannot hold.
    const std::wstring logName = win::widen(kLogFileName);
    wchar_t full[MAX_PATH] = L"";
    const DWORD n = GetFullPathNameW(logName.c_str(), MAX_PATH, full, nullptr);
    logPath_ = n != 0 && n < MAX_PATH ? full : logName;
    mLog1->setShowSeverityLevelInLog(false);
    apply([&] { mLog1->setTraceLevel(scan::mtrcOperation); });
    apply([&] { mLog1->setTraceLevelRegKeyValue(scan::TmLog::kDefaultRegKey); });
    recordFailure_ = failure;
}

void TForm1::Show() {
    if (win::Application::showMainForm()) ShowWindow(hwnd(), SW_SHOWNORMAL);
}

// --- Handlers -------------------------------------------------------------------------

void TForm1::FormCreate() {
    // The single-instance mutex "Ombrix" is created by the entry before this window exists,
    // so that two copies started together cannot both get this far.
    iniFileName = settings::iniFileNameFor(win::Application::exePath());
    BlackList = std::make_unique<settings::ProcessList>(&settings::compareTextIgnoringCase);
    WhiteList = std::make_unique<settings::ProcessList>(&settings::compareTextIgnoringCase);
    loadLists();
    startupPhase("settings: lists");
    hooked = false;
    bindHookLibrary();
    startupPhase("library binding");
}

void TForm1::FormShow() {
    if (!settingsLoaded) {
        startupPhase("show: up to the show handler");
        openKeyloggerTable();
        startupPhase("table and index open");
        switches = settings::loadSwitches(settings::IniFile(iniFileName));
        startupPhase("settings: switches");
    }
    settingsLoaded = true;
    ApplySettings(false);
    startupPhase("hook start, tray display");
}

bool TForm1::FormCloseQuery() {
    if (exitRequested || shutdownPending) return true;
    TrayIcon1->HideMainForm();
    TrayIcon1->setIconVisible(true);
    return false;
}

void TForm1::FormClose() {
    closeKeyloggerTable();
    BlackList.reset();
    WhiteList.reset();
    if (hooked) endHooking();
}

void TForm1::FormDestroy() { releaseHookLibrary(); }

void TForm1::TimertrayiconTimer() {
    if (startsHidden(__argc, __argv)) TrayIcon1->HideMainForm();
    Timertrayicon.setEnabled(false);
}

// The interval counts from the end of one scan to the start of the next. A failed scan does
// not end the protection: the timer runs on, and the error is reported beside it.
void TForm1::Timer2Timer() {
    // A timer message that outlived the timer's switching off (or came from elsewhere) is no
    // reason to scan.
    if (!Timer2.enabled()) return;
    Timer2.setEnabled(false);
    try {
        btnStartClick();
    } catch (const std::exception& e) {
        Timer2.setEnabled(switches.stopKeylog);
        reportScanError(e);
        return;
    }
    scanErrorShown_.clear();
    // A settings change made while the scan's message was open stands.
    Timer2.setEnabled(switches.stopKeylog);
}

// Scans go on while the box is open, in its message loop; a cause that persists (a log file
// that cannot be written) would otherwise stack a box on the box at every interval. So one
// box at a time, and a message already shown is not shown again until a scan has succeeded.
void TForm1::reportScanError(const std::exception& e) {
    if (scanErrorOpen_ || scanErrorShown_ == e.what()) return;
    scanErrorShown_ = e.what();
    scanErrorOpen_ = true;
    win::Application::showException(e);
    scanErrorOpen_ = false;
}

void TForm1::WMQueryEndSession(LRESULT& result) {
    shutdownPending = true;
    result = 1;
}

void TForm1::WMActivateInstance() {
    // A copy started while a box of creation is up: the entry shows the window as soon as
    // creation is over, so there is nothing to bring forward yet.
    if (!created_) return;
    if (IsIconic(hwnd())) {
        ShowWindow(hwnd(), SW_RESTORE);
        return;
    }
    SetForegroundWindow(hwnd());
    TrayIcon1->ShowMainForm();
}

void TForm1::ApplySettings(bool mayStopHook) {
    if (!hooked && switches.enabledEnc) startHooking();
    if (mayStopHook && hooked && !switches.enabledEnc) endHooking();
    Timer2.setEnabled(switches.stopKeylog);
    setEncryptionDisplay();
}

void TForm1::setMenuCaption() {
    ModifyMenuA(PopupMenu1.get(), OpenKeyloggerEncryption1, MF_BYCOMMAND | MF_STRING, OpenKeyloggerEncryption1,
                switches.enabledEnc ? kCaptionClose : kCaptionOpen);
}

// The icon and hint say "running" only while a hook really runs.
void TForm1::setTrayDisplay() {
    const bool bound = switches.enabledEnc && hookBinding_.bound();
    const bool running = bound && !hookDown_;
    TrayIcon1->setIconIndex(running ? 0 : 1);
    TrayIcon1->setHint(running                 ? kHintRunning
                       : bound                 ? kHintNotRunning
                       : !switches.enabledEnc  ? kHintClosing
                       : hookBinding_.loaded() ? kHintSetupFailed
                                               : kHintUnavailable);
}

// Only the running start's own reports count: one of an earlier start, one that comes while
// the hook is stopped and one that another program made up are all ignored. A hook lost
// while encryption is on, and one set up again, are logged.
void TForm1::hookStateReported(WPARAM running, LPARAM token) {
    if (!hooked || hookToken_ == 0 || static_cast<DWORD>(token) != hookToken_) return;
    const bool down = running == 0;
    if (down == hookDown_) return;
    hookDown_ = down;
    if (TrayIcon1) setTrayDisplay();
    try {
        if (mLog1) mLog1->Log(down ? kLogHookLost : kLogHookBack, scan::mtrcOperation);
    } catch (const std::exception& e) {
        win::Application::showException(e);
    }
}

void TForm1::setEncryptionDisplay() {
    setMenuCaption();
    setTrayDisplay();
}

// --- Commands -------------------------------------------------------------------------

void TForm1::SkinButton1Click() {
    if (!setupform_) return;
    setupform_->setChecks(switches);
    if (setupform_->showModal() == IDOK) {
        switches = setupform_->checks();
        settings::saveSwitches(settings::IniFile(iniFileName), switches);
    }
    ApplySettings();
}

// The maker's web site: the address is deciphered just before use.
void TForm1::SkinButton3Click() {
    siteAddress = scan::siteAddress();
    openInShell(siteAddress);
}

void TForm1::SkinButton4Click() { openIfExists(win::Application::exeFolder() + L"omx.chm"); }

void TForm1::SkinButton5Click() {
    if (abouts_) abouts_->showOrRaise();
}

void TForm1::About1Click() { SkinButton5Click(); }

// The log the program really writes, wherever the program was started from: the file beside
// the executable is another program's (or an older run's) when the folders differ.
void TForm1::LogFile1Click() { openIfExists(logPath_); }

void TForm1::SkinButton6Click() { TrayIcon1->HideMainForm(); }

void TForm1::TrayIcon1DblClick() { TrayIcon1->ShowMainForm(); }

// The tray menu item and Ctrl+E. The change lives in memory only: the settings file keeps
// its value, and the next start reads it again.
void TForm1::OpenKeyloggerEncryption1Click() {
    switches.enabledEnc = !switches.enabledEnc;
    setMenuCaption();
    if (!hooked && switches.enabledEnc) startHooking();
    if (hooked && !switches.enabledEnc) endHooking();
    setTrayDisplay();
}

// The program in front as the menu opens. A list that cannot be read now counts as not
// naming it: choosing the item reads the file again and then says why it cannot.
void TForm1::PopupMenu1Popup() {
    passThroughName_ = programInFront_->fileName();
    passThroughListed_ = false;
    try {
        if (!passThroughName_.empty())
            passThroughListed_ = settings::PassThroughList::besideExecutable().holds(passThroughName_);
    } catch (const std::exception&) {
    }
    const bool named = !passThroughName_.empty();
    const std::string caption = named ? passThroughCaption(passThroughName_, passThroughListed_) : kCaptionNoProgram;
    ModifyMenuA(PopupMenu1.get(), PassThrough1, MF_BYCOMMAND | MF_STRING | (named ? MF_ENABLED : MF_GRAYED),
                PassThrough1, caption.c_str());
}

// Lists the program the item named, or takes it off the list, as the item said. Nothing else
// changes: the encryption library sees the file change and reads it again.
void TForm1::PassThrough1Click() {
    if (passThroughName_.empty()) return;
    try {
        const auto list = settings::PassThroughList::besideExecutable();
        if (passThroughListed_)
            list.remove(passThroughName_);
        else
            list.add(passThroughName_);
    } catch (const std::exception& e) {
        win::Application::showException(e);
    }
}

void TForm1::Exit1Click() {
    exitRequested = true;
    PostMessageA(hwnd(), WM_CLOSE, 0, 0);
}

void TForm1::menuCommand(UINT id) {
    switch (id) {
    case About1: About1Click(); break;
    case MainScreen1: TrayIcon1DblClick(); break;
    case OpenKeyloggerEncryption1: OpenKeyloggerEncryption1Click(); break;
    case PassThrough1: PassThrough1Click(); break;
    case Help1: SkinButton4Click(); break;
    case AuthorSite1: SkinButton3Click(); break;
    case LogFile1: LogFile1Click(); break;
    case Exit1: Exit1Click(); break;
    default: break;
    }
}

// --- Steps filled by later parts ------------------------------------------------------

// Black first, then white. A list file that exists but cannot be read is reported and its
// list stays empty; the other list and the rest of creation go on.
void TForm1::loadLists() {
    for (auto [list, name] : {std::pair{BlackList.get(), settings::kBlackListFile},
                              std::pair{WhiteList.get(), settings::kWhiteListFile}}) {
        try {
            settings::ListFile::besideExecutable(name).loadInto(*list);
        } catch (const std::exception& e) {
            win::Application::showException(e);
        }
    }
}

// Raises "Error loading DLL", "Cannot find the DLL functions" or "Unable to create file
// mapping"; what was bound before the error stays for the release.
void TForm1::bindHookLibrary() { hookBinding_.bind(hwnd(), win::Application::exeFolder()); }

// Without a bound library nothing is called and `hooked` stays false, so the calling
// pattern holds whatever the library's state.
void TForm1::startHooking() {
    if (hooked || !hookBinding_.bound()) return;
    // Started whatever the answer, as the calling pattern has it; the answer is shown. The
    // library takes its folder in ANSI: a name of it that the code page holds (its short
    // form when the code page lacks a character of its name).
    hookToken_ = hookBinding_.start(win::ansiPathOf(win::Application::exeFolder()));
    hookDown_ = hookToken_ == 0;
    hooked = true;
}

void TForm1::endHooking() {
    if (!hooked) return;
    hookBinding_.end();
    hooked = false;
    hookToken_ = 0;
    hookDown_ = false;
}

void TForm1::releaseHookLibrary() { hookBinding_.release(hwnd()); }
// TableDataSet1 keeps its design-time settings; nothing ever opens it.
void TForm1::configureTables() {
    TableDataSet1.setTableName("spywaredb.dbf");
    TableDataSet1.IndexFiles = {"spywaredb.CDX"};
    TableDataSet1.setIndexName("SPACTIVEX");
}

// Opened from the current directory by bare names. A failure raises out of the first
// showing, whose loading then stops; the data set is left closed, so the next showing tries
// the whole open again.
void TForm1::openKeyloggerTable() { keyloggerDatabase.open(); }

void TForm1::closeKeyloggerTable() {
    TableDataSet1.Close();
    keyloggerDatabase.close();
}

void TForm1::btnStartClick() {
    if (!WhiteList || !BlackList) return;  // the window is closing
    scan::ScanRules rules(*WhiteList, switches.enabledWhite, *BlackList, switches.enabledBlack,
                          [this](const std::string& name) { return keyloggerDatabase.isKeylogger(name); });
    scan::KeyloggerScanner::Report report = scanner_->scan(rules);
    // One notice a scan, for a scan that met something.
    if (report.anything() && TrayIcon1)
        TrayIcon1->ShowBalloon("Ombrix", scan::scanNoticeText(report.stopped, report.notStopped, report.misplaced));
    if (report.snapshotFailed) win::Application::showMessage(scan::snapshotFailureText(report.error), hwnd());
}

// --- Messages -------------------------------------------------------------------------

LRESULT TForm1::handle(UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT result = 0;
    if (TrayIcon1 && TrayIcon1->ownerMessage(msg, wp, lp, result)) return result;
    if (skin_ && skin_->mouseMessage(msg, wp, lp, result)) return result;
    if (SkinForm1 && SkinForm1->ownerMessage(msg, wp, lp, result)) return result;
    if (msg == hookStateMessage_ && msg != 0) {
        hookStateReported(wp, lp);
        return 0;
    }
    switch (msg) {
    case WM_SHOWWINDOW:
        if (wp) FormShow();
        return defaultHandling(msg, wp, lp);
    case WM_CLOSE:
        if (FormCloseQuery()) {
            // A dialog, box or menu of the program is open, and the code that opened it goes
            // on when it closes: the end comes once they have all returned.
            if (win::Application::modalDepth() > 0) {
                win::Application::closeWhenModalLoopsEnd();
                return 0;
            }
            FormClose();
            destroy();
        }
        return 0;
    case WM_DESTROY:
        FormDestroy();
        TrayIcon1.reset();
        PostQuitMessage(0);
        return 0;
    case WM_TIMER:
        if (wp == kTimertrayiconId) TimertrayiconTimer();
        if (wp == kTimer2Id) Timer2Timer();
        return 0;
    case WM_HOTKEY:
        // Only the hot key as it was bound: its identifier, Ctrl and E. (A program that posts
        // exactly that, or types Ctrl+E itself, cannot be told from the user.)
        if (hookBinding_.hotKeyId() != 0 && wp == hookBinding_.hotKeyId() &&
            LOWORD(lp) == hook::kHotKeyModifiers && HIWORD(lp) == hook::kHotKeyVirtualKey)
            OpenKeyloggerEncryption1Click();
        return 0;
    case WM_QUERYENDSESSION:
        WMQueryEndSession(result);
        return result;
    case WM_ENDSESSION:
        // Another program cancelled the shutdown: closing hides the window again.
        if (!wp) shutdownPending = false;
        return 0;
    case WM_ACTIVATE_INSTANCE:
        WMActivateInstance();
        return 0;
    default:
        return defaultHandling(msg, wp, lp);
    }
}

bool startsHidden(int argc, char** argv) { return argc > 1 && std::string(argv[1]) == "h"; }

}  // namespace app
