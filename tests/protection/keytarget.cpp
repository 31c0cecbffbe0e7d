// keytarget.exe OUTFILE: the window the tests type into. A top-level window ("Ombrix key
// target") whose multi-line edit has the focus; after each change OUTFILE holds the edit's
// text as UTF-8. Each WM_CHAR its thread takes from the queue is added to OUTFILE.times as
// "COUNTER CODE" (QueryPerformanceCounter at that moment, the character's code), so that
// a driver can tell when each typed character arrived.
// A hung window on request: when OUTFILE.hang appears (holding a number of seconds), the
// window's thread removes it, creates OUTFILE.hung, answers nothing for that long, and then
// creates OUTFILE.awake.
// A slow window on request: when OUTFILE.busy appears (holding milliseconds), the thread
// removes it, creates OUTFILE.busyset with the same number and from then on spends that
// long on each key message and character it takes from its queue.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string g_out;
HWND g_edit = nullptr;
std::FILE* g_times = nullptr;
constexpr UINT_PTR kHangTimer = 1;
DWORD g_busyMs = 0;

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

LRESULT CALLBACK targetWindow(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        g_edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                                 WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN, 0,
                                 0, 100, 100, hwnd, nullptr, GetModuleHandleW(nullptr), nullptr);
        return g_edit ? 0 : -1;
    case WM_SIZE: MoveWindow(g_edit, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE); return 0;
    case WM_SETFOCUS: SetFocus(g_edit); return 0;
    case WM_COMMAND:
        if (reinterpret_cast<HWND>(lParam) == g_edit && HIWORD(wParam) == EN_CHANGE) writeFile(g_out, editText());
        return 0;
    case WM_TIMER:
        if (wParam == kHangTimer) {
            slowDownIfAsked();
            hangIfAsked();
        }
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
    WNDCLASSW wc{};
    wc.lpfnWndProc = targetWindow;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_IBEAM);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"OmbrixKeyTarget";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"Ombrix key target", WS_OVERLAPPEDWINDOW, 60, 60, 560, 320,
                                nullptr, nullptr, instance, nullptr);
    if (!hwnd || !g_times) return 1;
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
        if (g_busyMs && (msg.message == WM_KEYDOWN || msg.message == WM_CHAR)) Sleep(g_busyMs);
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    std::fclose(g_times);
    return 0;
}
