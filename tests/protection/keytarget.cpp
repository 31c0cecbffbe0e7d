// keytarget.exe OUTFILE: the window the tests type into. A top-level window ("Ombrix key
// target") whose multi-line edit has the focus; after each change OUTFILE holds the edit's
// text as UTF-8. Each WM_CHAR its thread takes from the queue is added to OUTFILE.times as
// "COUNTER CODE" (QueryPerformanceCounter at that moment, the character's code), so that
// a driver can tell when each typed character arrived. Each WM_KEYDOWN of a letter key (A to
// Z) it takes is added to OUTFILE.keys as that capital letter: what a program that reads key
// presses (a game, a one-key shortcut) would see.
// A hung window on request: when OUTFILE.hang appears (holding a number of seconds), the
// window's thread removes it, creates OUTFILE.hung, answers nothing for that long, and then
// creates OUTFILE.awake.
// A slow window on request: when OUTFILE.busy appears (holding milliseconds), the thread
// removes it, creates OUTFILE.busyset with the same number and from then on spends that
// long on each key message and character it takes from its queue.
// A badly painting window on request: when OUTFILE.paint appears (holding 0, 1 or 2), the
// thread removes it, creates OUTFILE.paintset with the same number, and from then on the
// window and its edit paint: 0 normally; 1 as an endless animation (each paint ends by making
// the whole window invalid again); 2 not at all (WM_PAINT returns without validating, so it
// comes again as soon as the queue is empty). Requests are looked for on a 50 ms timer, and,
// while the window paints badly, in its paints (which keep the timer's message from coming).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string g_out;
HWND g_edit = nullptr;
std::FILE* g_times = nullptr;
std::FILE* g_keys = nullptr;
constexpr UINT_PTR kHangTimer = 1;
DWORD g_busyMs = 0;
HWND g_window = nullptr;
WNDPROC g_editProc = nullptr;
enum Paint { kPaintNormal, kPaintAnimated, kPaintUnvalidated };
int g_paint = kPaintNormal;

std::string editText() {
    int n = GetWindowTextLengthW(g_edit);
    std::wstring w(static_cast<size_t>(n) + 1, L'\0');
    n = GetWindowTextW(g_edit, w.data(), n + 1);
    std::string text(static_cast<size_t>(n) * 3 + 1, '\0');
    int m = WideCharToMultiByte(CP_UTF8, 0, w.data(), n, text.data(), static_cast<int>(text.size()), nullptr, nullptr);
    text.resize(m > 0 ? static_cast<size_t>(m) : 0);
    return text;
}

// The file is replaced whole, so that a reader never sees half of it.
void writeFile(const std::string& path, const std::string& bytes) {
    std::string partial = path + ".partial";
    if (std::FILE* f = std::fopen(partial.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        MoveFileExA(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
}

int requestedNumber(const std::string& request) {
    std::FILE* f = std::fopen(request.c_str(), "rb");
    if (!f) return -1;
    int number = 0;
    if (std::fscanf(f, "%d", &number) != 1) number = 0;
    std::fclose(f);
    DeleteFileA(request.c_str());
    return number;
}

void slowDownIfAsked() {
    int ms = requestedNumber(g_out + ".busy");
    if (ms < 0) return;
    g_busyMs = static_cast<DWORD>(ms);
    writeFile(g_out + ".busyset", std::to_string(ms));
}

void hangIfAsked() {
    int seconds = requestedNumber(g_out + ".hang");
    if (seconds < 0) return;
    writeFile(g_out + ".hung", std::to_string(seconds));
    Sleep(static_cast<DWORD>(seconds) * 1000);
    writeFile(g_out + ".awake", std::to_string(seconds));
}

void paintIfAsked() {
    int mode = requestedNumber(g_out + ".paint");
    if (mode < kPaintNormal || mode > kPaintUnvalidated) return;
    g_paint = mode;
    // Both windows invalid: the bad painting begins at once, or the normal one repaints them.
    InvalidateRect(g_window, nullptr, TRUE);
    InvalidateRect(g_edit, nullptr, TRUE);
    writeFile(g_out + ".paintset", std::to_string(mode));
}

void handleRequests() {
    slowDownIfAsked();
    paintIfAsked();
    hangIfAsked();
}

// A bad paint of either window, or false when the window paints normally. `proc` paints it.
bool paintBadly(HWND hwnd, WNDPROC proc, WPARAM wParam, LPARAM lParam) {
    if (g_paint == kPaintNormal) return false;
    static DWORD lastLook = 0;
    if (GetTickCount() - lastLook >= 50) {
        lastLook = GetTickCount();
        handleRequests();
    }
    if (g_paint == kPaintAnimated) {
        CallWindowProcW(proc, hwnd, WM_PAINT, wParam, lParam);
        InvalidateRect(hwnd, nullptr, FALSE);
    }
    return true;
}

LRESULT CALLBACK editWindow(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_PAINT && paintBadly(hwnd, g_editProc, wParam, lParam)) return 0;
    return CallWindowProcW(g_editProc, hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK targetWindow(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT:
        if (paintBadly(hwnd, DefWindowProcW, wParam, lParam)) return 0;
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    case WM_CREATE:
        g_edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                                 WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN, 0,
                                 0, 100, 100, hwnd, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (!g_edit) return -1;
        g_window = hwnd;
        g_editProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(g_edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(editWindow)));
        return 0;
    case WM_SIZE: MoveWindow(g_edit, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE); return 0;
    case WM_SETFOCUS: SetFocus(g_edit); return 0;
    case WM_COMMAND:
        if (reinterpret_cast<HWND>(lParam) == g_edit && HIWORD(wParam) == EN_CHANGE) writeFile(g_out, editText());
        return 0;
    case WM_TIMER:
        if (wParam == kHangTimer) handleRequests();
        return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (__argc != 2) return 2;
    g_out = __argv[1];
    g_times = std::fopen((g_out + ".times").c_str(), "wb");
    g_keys = std::fopen((g_out + ".keys").c_str(), "wb");
    WNDCLASSW wc{};
    wc.lpfnWndProc = targetWindow;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_IBEAM);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"OmbrixKeyTarget";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"Ombrix key target", WS_OVERLAPPEDWINDOW, 60, 60, 560, 320,
                                nullptr, nullptr, instance, nullptr);
    if (!hwnd || !g_times || !g_keys) return 1;
    ShowWindow(hwnd, SW_SHOW);
    SetForegroundWindow(hwnd);
    SetFocus(g_edit);
    SetTimer(hwnd, kHangTimer, 50, nullptr);
    writeFile(g_out, editText());

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_CHAR) {
            LARGE_INTEGER now;
            QueryPerformanceCounter(&now);
            std::fprintf(g_times, "%lld %u\n", static_cast<long long>(now.QuadPart), static_cast<unsigned>(msg.wParam));
            std::fflush(g_times);
        }
        if (msg.message == WM_KEYDOWN && msg.wParam >= 'A' && msg.wParam <= 'Z') {
            std::fputc(static_cast<int>(msg.wParam), g_keys);
            std::fflush(g_keys);
        }
        if (g_busyMs && (msg.message == WM_KEYDOWN || msg.message == WM_CHAR)) Sleep(g_busyMs);
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    std::fclose(g_times);
    std::fclose(g_keys);
    return 0;
}
