// Application-wide state and the message loop.
#include "win32/Application.h"

#include <vector>

namespace win {
namespace {

std::string& titleRef() {
    static std::string title;
    return title;
}
HWND gMainWindow = nullptr;
bool gShowMainForm = true;
bool gTerminated = false;
int gExitCode = 0;
int gModalDepth = 0;
bool gCloseDeferred = false;

// The thread's modal dialogs and boxes on screen, asked to close as their Cancel does.
BOOL CALLBACK closeModalWindow(HWND w, LPARAM) {
    char className[16] = "";
    GetClassNameA(w, className, sizeof className);
    if (lstrcmpA(className, "#32770") == 0 && IsWindowVisible(w) && IsWindowEnabled(w))
        PostMessageA(w, WM_CLOSE, 0, 0);
    return TRUE;
}

bool dispatchOne(MSG& msg) {
    if (msg.message == WM_QUIT) {
        Application::setTerminated(static_cast<int>(msg.wParam));
        return false;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return true;
}

}  // namespace

const std::string& Application::title() { return titleRef(); }
void Application::setTitle(std::string title) { titleRef() = std::move(title); }
HWND Application::mainWindow() { return gMainWindow; }
void Application::setMainWindow(HWND hwnd) { gMainWindow = hwnd; }
bool Application::showMainForm() { return gShowMainForm; }
void Application::setShowMainForm(bool show) { gShowMainForm = show; }

std::string withFullStop(std::string message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.'))
        message += '.';
    return message;
}

Application::ModalLoop::ModalLoop() noexcept { ++gModalDepth; }

Application::ModalLoop::~ModalLoop() {
    if (--gModalDepth == 0 && gCloseDeferred) {
        gCloseDeferred = false;
        if (gMainWindow) PostMessageA(gMainWindow, WM_CLOSE, 0, 0);
    }
}

int Application::modalDepth() { return gModalDepth; }

void Application::closeWhenModalLoopsEnd() {
    gCloseDeferred = true;
    EndMenu();
    EnumThreadWindows(GetCurrentThreadId(), &closeModalWindow, 0);
}

void Application::showError(const std::string& message) {
    HWND owner = GetActiveWindow();
    ModalLoop loop;
    MessageBoxA(owner, withFullStop(message).c_str(), title().c_str(), MB_OK | MB_ICONERROR);
}

void Application::showException(const std::exception& e) { showError(e.what()); }

void Application::showMessage(const std::string& text, HWND owner) {
    ModalLoop loop;
    MessageBoxA(owner, text.c_str(), title().c_str(), MB_OK);
}

void Application::processMessages() {
    MSG msg;
    while (!gTerminated && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) dispatchOne(msg);
}

int Application::run() {
    MSG msg;
    while (!gTerminated) {
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == -1) break;
        if (!got) {
            setTerminated(static_cast<int>(msg.wParam));
            break;
        }
        dispatchOne(msg);
    }
    return gExitCode;
}

bool Application::terminated() { return gTerminated; }

void Application::setTerminated(int exitCode) {
    gTerminated = true;
    gExitCode = exitCode;
}

std::wstring Application::exePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD len = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (len == 0) return {};
        if (len < buffer.size()) return std::wstring(buffer.data(), len);
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring Application::exeFolder() {
    std::wstring path = exePath();
    return path.substr(0, path.find_last_of(L"\\/:") + 1);
}

}  // namespace win
