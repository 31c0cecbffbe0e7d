// The test driver for ombrix.exe.
#include "tests/win/ProgramUnderTest.h"
#include "tests/win/TrayTips.h"

#include <algorithm>
#include <atomic>
#include <iterator>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "app/Form1.h"
#include "settings/SettingsRules.h"
#include "tests/support/FolderTree.h"

namespace testing_support {

Process::~Process() { kill(); }

Process::Process(Process&& o) noexcept : process_(o.process_), pid_(o.pid_) { o.process_ = nullptr; }

Process& Process::operator=(Process&& o) noexcept {
    if (this != &o) {
        kill();
        process_ = o.process_;
        pid_ = o.pid_;
        o.process_ = nullptr;
    }
    return *this;
}

bool Process::running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

DWORD Process::waitForExit(DWORD timeoutMs) const {
    if (!process_) return STILL_ACTIVE;
    if (WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_, &code);
    return code;
}

void Process::kill() {
    if (!process_) return;
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 10000);
    }
    CloseHandle(process_);
    process_ = nullptr;
}

namespace {

std::string programDir() { return OMBRIX_PROGRAM_DIR "\\"; }

std::wstring widen(const std::string& ansi) {
    std::wstring wide(ansi.size(), L'\0');
    int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(),
                                static_cast<int>(wide.size()));
    wide.resize(static_cast<size_t>(n));
    return wide;
}

std::wstring makeTempFolder(FolderName name) {
    static std::atomic<int> counter{0};
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    // Wine gives process ids out again soon, so a folder of that name may be left over
    // from an earlier test process: take the next free one.
    const std::wstring prefix = name == FolderName::BeyondAnsi ? L"ombrix-test-\u0394-" : L"ombrix-test-";
    const std::wstring stem = std::wstring(temp) + prefix + std::to_wstring(GetCurrentProcessId()) + L"-";
    for (int tries = 0; tries < 1000; ++tries) {
        std::wstring folder = stem + std::to_wstring(++counter) + L"\\";
        if (CreateDirectoryW(folder.c_str(), nullptr)) return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot create a test folder");
    }
    throw std::runtime_error("cannot create a test folder: every name is taken");
}

// `folder` as the ANSI calls of the tests reach it: its name when the code page holds it
// exactly, else its short form, which it does.
std::string ansiFolder(const std::wstring& folder) {
    auto exactly = [](const wchar_t* wide, std::string& ansi) {
        char buffer[MAX_PATH * 2] = "";
        BOOL lossy = FALSE;
        int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, buffer, sizeof buffer, nullptr, &lossy);
        ansi = buffer;
        return n > 0 && !lossy;
    };
    std::string ansi;
    if (exactly(folder.c_str(), ansi)) return ansi;
    wchar_t shortForm[MAX_PATH] = L"";
    DWORD n = GetShortPathNameW(folder.c_str(), shortForm, MAX_PATH);
    if (n == 0 || n >= MAX_PATH || !exactly(shortForm, ansi))
        throw std::runtime_error("the test folder has no name that the ANSI code page holds");
    return ansi;
}

// Calls `visit` for each top-level window until it returns false.
template <typename Visit>
void forEachTopLevel(Visit visit) {
    struct Ctx {
        Visit* visit;
        static BOOL CALLBACK next(HWND w, LPARAM lp) { return (*reinterpret_cast<Ctx*>(lp)->visit)(w) ? TRUE : FALSE; }
    } ctx{&visit};
    EnumWindows(&Ctx::next, reinterpret_cast<LPARAM>(&ctx));
}

std::string className(HWND w) {
    char cls[64] = "";
    GetClassNameA(w, cls, sizeof cls);
    return cls;
}

}  // namespace

ProgramUnderTest::ProgramUnderTest(const std::string& exeName, FolderName name)
    : wideFolder_(makeTempFolder(name)), folder_(ansiFolder(wideFolder_)), exeName_(exeName) {
    // Copied under the folder's real name, as an installer would.
    auto copy = [&](const std::string& from, const std::string& to) {
        if (!CopyFileW(widen(from).c_str(), (wideFolder_ + widen(to)).c_str(), FALSE))
            throw std::runtime_error("cannot copy " + from);
    };
    copy(programDir() + "ombrix.exe", exeName);
    // The shipped keylogger database lies beside the program, as an installation has it.
    for (const char* file : {"keyloggerlist.dbf", "keyloggerlist.cdx"}) copy(programDir() + file, file);
    // The recording stand-in for the keyboard-encryption library, so that a start shows no
    // "Error loading DLL." box; tests of the binding replace or remove it.
    copy(OMBRIX_HOOKLIB_FULL, "zarurarevidev.dll");
}

ProgramUnderTest::~ProgramUnderTest() {
    processes_.clear();
    removeTree(folder_);
}

void ProgramUnderTest::writeFile(const std::string& name, const std::string& content) const {
    std::ofstream out(path(name), std::ios::binary);
    out << content;
}

void ProgramUnderTest::writeSwitches(const settings::Switches& s) const {
    auto bit = [](bool on) { return on ? "1" : "0"; };
    writeFile(settings::iniFileNameFor(path(exeName_)).substr(folder_.size()),
              std::string("[main]\r\nenabledenc=") + bit(s.enabledEnc) + "\r\nstopkeylog=" + bit(s.stopKeylog) +
                  "\r\nenabledwhite=" + bit(s.enabledWhite) + "\r\nenabledblack=" + bit(s.enabledBlack) + "\r\n");
}

namespace {

// The tray menu's items, in their order.
constexpr UINT kTrayMenuItems[] = {app::About1, app::MainScreen1, app::OpenKeyloggerEncryption1, app::PassThrough1,
                                   app::Help1, app::AuthorSite1, app::LogFile1, app::Exit1};

// A visible popup menu of process `pid`.
HWND popupMenuOf(DWORD pid) {
    for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, "#32768", nullptr)) != nullptr;) {
        DWORD owner = 0;
        if (IsWindowVisible(w) && GetWindowThreadProcessId(w, &owner) && owner == pid) return w;
    }
    return nullptr;
}

}  // namespace

bool ProgramUnderTest::chooseFromTrayMenu(UINT command) {
    const UINT* item = std::find(std::begin(kTrayMenuItems), std::end(kTrayMenuItems), command);
    if (item == std::end(kTrayMenuItems)) return false;
    HWND main = waitForMainWindow(0);
    DWORD pid = 0;
    // The icon answers clicks once creation is over, when the window first answers.
    if (!main || !GetWindowThreadProcessId(main, &pid) || !settled(main)) return false;
    // The program's icon: the one whose tip is the program's.
    HWND icon = nullptr;
    waitUntil([&] {
        for (const ShownTrayIcon& shown : trayIcons())
            if (shown.tip.rfind("Ombrix", 0) == 0) icon = shown.window;
        return icon != nullptr;
    });
    if (!icon) return false;
    RECT r{};
    GetWindowRect(icon, &r);
    const POINT center{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    // The pointer rests on the icon before the click, as a user's does on its way there: the
    // program has had the icon's notice of it while the window in front is still the user's.
    placeCursor(center);
    settled(main);
    // A click the desktop lost is made again.
    bool opened = false;
    for (int attempt = 0; attempt < 3 && !opened; ++attempt) {
        rightClickAt(center);
        opened = waitUntil([&] { return popupMenuOf(pid) != nullptr; }, 3000);
    }
    if (!opened) return false;
    // From no item selected, the first Down selects the first item.
    for (const UINT* i = kTrayMenuItems; i <= item; ++i) pressKey(VK_DOWN);
    pressKey(VK_RETURN);
    if (!waitUntil([&] { return popupMenuOf(pid) == nullptr; })) return false;
    // Exit ends the window; any other command has run once the window answers again.
    return command == app::Exit1 || settled(main);
}

DWORD ProgramUnderTest::exitByMenu(HWND window, DWORD timeoutMs) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (!chooseFromTrayMenu(app::Exit1)) return STILL_ACTIVE;
    for (const Process& p : processes_)
        if (p.pid() == pid) return p.waitForExit(timeoutMs);
    return STILL_ACTIVE;
}

std::string ProgramUnderTest::readFile(const std::string& name) const { return fileText(path(name)); }

bool ProgramUnderTest::exists(const std::string& name) const {
    return GetFileAttributesA(path(name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

Process& ProgramUnderTest::start(const std::string& args) { return launch(args, wideFolder_, ""); }

Process& ProgramUnderTest::startIn(const std::string& currentFolder, const std::string& pathVariable) {
    return launch("", widen(currentFolder), pathVariable);
}

// Started by the folder's real name, so that the program sees that name as its own.
Process& ProgramUnderTest::launch(const std::string& args, const std::wstring& currentFolder,
                                  const std::string& pathVariable) {
    const std::wstring exe = wideFolder_ + widen(exeName_);
    std::wstring commandLine = L"\"" + exe + L"\"" + (args.empty() ? L"" : L" " + widen(args));
    std::string environment = pathVariable.empty() ? "" : "PATH=" + pathVariable + '\0' + '\0';
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                        environment.empty() ? nullptr : environment.data(), currentFolder.c_str(), &si, &pi))
        throw std::runtime_error("cannot start " + path(exeName_));
    processes_.emplace_back(pi);
    return processes_.back();
}

bool ProgramUnderTest::ownedByUs(HWND window) const {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    for (const Process& p : processes_)
        if (p.pid() == pid) return true;
    return false;
}

HWND ProgramUnderTest::waitForMainWindow(DWORD timeoutMs) const {
    HWND found = nullptr;
    waitUntil(
        [&] {
            for (HWND w : mainWindows())
                if (ownedByUs(w)) found = w;
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

std::vector<HWND> ProgramUnderTest::mainWindows() {
    std::vector<HWND> found;
    forEachTopLevel([&](HWND w) {
        if (className(w) == "Ombrix") found.push_back(w);
        return true;
    });
    return found;
}

HWND ProgramUnderTest::waitForWindow(const std::string& caption, const char* cls, DWORD timeoutMs) const {
    HWND found = nullptr;
    waitUntil(
        [&] {
            forEachTopLevel([&](HWND w) {
                if (!IsWindowVisible(w) || !ownedByUs(w) || windowText(w) != caption) return true;
                if (cls && className(w) != cls) return true;
                found = w;
                return false;
            });
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

HWND ProgramUnderTest::messageBox() const {
    HWND found = nullptr;
    forEachTopLevel([&](HWND w) {
        if (className(w) != "#32770" || !IsWindowVisible(w) || !ownedByUs(w) || windowText(w) != "Ombrix")
            return true;
        // A message box has a static text with id 0xFFFF; the program's dialogs do not.
        if (!GetDlgItem(w, 0xFFFF)) return true;
        found = w;
        return false;
    });
    return found;
}

std::string ProgramUnderTest::waitForMessageBox(DWORD timeoutMs) const {
    HWND box = nullptr;
    if (!waitUntil([&] { return (box = messageBox()) != nullptr; }, timeoutMs)) return "<no message box>";
    return windowText(GetDlgItem(box, 0xFFFF));
}

void ProgramUnderTest::dismissMessageBox() const {
    HWND box = messageBox();
    if (!box) return;
    HWND ok = GetDlgItem(box, IDOK);
    if (ok)
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
    else
        PostMessageA(box, WM_CLOSE, 0, 0);
    // Hidden first, destroyed when its loop has ended: only then does the code that showed
    // it go on.
    waitUntil([&] { return !IsWindow(box); }, 5000);
}

bool ProgramUnderTest::settled(HWND window, DWORD timeoutMs) {
    for (int round = 0; round < 2; ++round) {
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result)) return false;
    }
    return true;
}

bool ProgramUnderTest::waitUntilShown(HWND window, DWORD timeoutMs) {
    return waitUntil([&] { return IsWindowVisible(window) != FALSE; }, timeoutMs) && settled(window, timeoutMs);
}

// Puts the cursor at a point of the screen for a press or a release. A program reads the
// pointer's crossings of its windows from the window system in its own time, and one it has
// not read yet (its window shown under the pointer, an earlier placing) puts the cursor back
// where the pointer was then, and a press lands there. So the pointer goes one pixel aside,
// then to the point: Wine waits for the window system's answer before each move, so every
// crossing from before the first move has been sent by the second. The windows at both ends
// then read theirs until the cursor is back from aside, at the point; one that still comes
// late is from aside, a pixel off.
void ProgramUnderTest::placeCursor(POINT screen) {
    POINT at{};
    GetCursorPos(&at);
    const HWND ends[] = {WindowFromPoint(at), WindowFromPoint(screen)};
    waitUntil([&] {
        SetCursorPos(screen.x + 1, screen.y);
        SetCursorPos(screen.x, screen.y);
        for (int round = 0; round < 20; ++round) {
            for (HWND w : ends) settled(w, 5000);
            if (!GetCursorPos(&at) || at.y != screen.y || (at.x != screen.x && at.x != screen.x + 1)) return false;
            if (at.x == screen.x) return true;
        }
        return false;
    });
}

namespace {

// A real press and release of a mouse button at a point of the screen.
void mouseClickAt(POINT screen, DWORD down, DWORD up) {
    ProgramUnderTest::placeCursor(screen);
    INPUT in[2]{};
    in[0].type = INPUT_MOUSE;
    in[0].mi.dwFlags = down;
    in[1].type = INPUT_MOUSE;
    in[1].mi.dwFlags = up;
    SendInput(1, &in[0], sizeof(INPUT));
    Sleep(50);
    SendInput(1, &in[1], sizeof(INPUT));
    Sleep(50);
}

}  // namespace

void ProgramUnderTest::click(HWND window, POINT client) {
    ClientToScreen(window, &client);
    mouseClickAt(client, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
}

void ProgramUnderTest::rightClickAt(POINT screen) { mouseClickAt(screen, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP); }

void ProgramUnderTest::pressKey(WORD vk) {
    INPUT in[2]{};
    in[0].type = INPUT_KEYBOARD;
    in[0].ki.wVk = vk;
    in[1].type = INPUT_KEYBOARD;
    in[1].ki.wVk = vk;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, in, sizeof(INPUT));
    Sleep(100);
}

std::string windowText(HWND window) {
    char buffer[1024] = "";
    // WM_GETTEXT reaches controls of other processes too.
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                        5000, nullptr);
    return buffer;
}

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace testing_support
