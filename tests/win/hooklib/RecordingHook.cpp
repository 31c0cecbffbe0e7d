// A stand-in for the keyboard-encryption library, for the tests only: it hooks nothing and
// appends each call, its arguments and the window handle it finds in the shared block to
// "hookcalls.txt" beside itself, so a test can check the program's side of the contract.
// Each start returns a token, as the real library does, made from the number of starts. With
// a file "hookdown.txt" beside it, each start then reports to that window, with the token,
// that the hook was lost, as the real library does when its hook thread is lost. Built a second and third time
// without one of its exports.
// Loaded into the program, it also writes each menu the loading thread is about to show to
// "menu.txt" beside itself, an item a line, a greyed one marked: what the tray menu says,
// which another process cannot read.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// The library's folder may have a name that the ANSI code page cannot hold.
std::wstring besideThisLibrary(const wchar_t* name) {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&besideThisLibrary), &self);
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(self, path, MAX_PATH);
    std::wstring folder(path);
    folder.erase(folder.find_last_of(L'\\') + 1);
    return folder + name;
}

// The handle in the block "zarurarEvidev", or "none" when the block does not exist.
std::string sharedBlockWindow() {
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, "zarurarEvidev");
    if (!mapping) return "none";
    std::string text = "none";
    if (auto* view = static_cast<const unsigned char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 4))) {
        unsigned long handle = view[0] | view[1] << 8 | view[2] << 16 | static_cast<unsigned long>(view[3]) << 24;
        text = std::to_string(handle);
        UnmapViewOfFile(view);
    }
    CloseHandle(mapping);
    return text;
}

void record(const std::string& line) {
    std::FILE* f = _wfopen(besideThisLibrary(L"hookcalls.txt").c_str(), L"ab");
    if (!f) return;
    std::fputs(line.c_str(), f);
    std::fputs("\r\n", f);
    std::fclose(f);
}

void recordMenu(HMENU menu) {
    std::FILE* f = _wfopen(besideThisLibrary(L"menu.txt").c_str(), L"wb");
    if (!f) return;
    for (int i = 0, n = GetMenuItemCount(menu); i < n; ++i) {
        char text[256] = "";
        GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        std::fputs(text, f);
        if (GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_GRAYED) std::fputs(" (greyed)", f);
        std::fputs("\r\n", f);
    }
    std::fclose(f);
}

HHOOK menuWatch = nullptr;

LRESULT CALLBACK watchMenus(int code, WPARAM wp, LPARAM lp) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lp);
    if (code == HC_ACTION && sent->message == WM_INITMENUPOPUP) recordMenu(reinterpret_cast<HMENU>(sent->wParam));
    return CallNextHookEx(menuWatch, code, wp, lp);
}

}  // namespace

extern "C" {

#ifndef OMBRIX_WITHOUT_START_HOOK
__declspec(dllexport) int WINAPI StartHook(const char* folder, DWORD a2, DWORD a3, DWORD a4, DWORD a5, DWORD a6,
                                           DWORD a7, DWORD a8) {
    std::string line = "StartHook|";
    line += folder ? folder : "(null)";
    for (DWORD a : {a2, a3, a4, a5, a6, a7, a8}) {
        line += '|';
        line += std::to_string(a);
    }
    line += "|window=";
    const std::string window = sharedBlockWindow();
    line += window;
    record(line);
    static DWORD starts = 0;
    const DWORD token = 0x5EED0000 + ++starts;
    if (GetFileAttributesW(besideThisLibrary(L"hookdown.txt").c_str()) != INVALID_FILE_ATTRIBUTES && window != "none")
        PostMessageA(reinterpret_cast<HWND>(std::stoul(window)), RegisterWindowMessageA("ZarurarevidevHookState"), 0,
                     static_cast<LPARAM>(token));
    return static_cast<int>(token);
}
#endif

#ifndef OMBRIX_WITHOUT_END_HOOK
__declspec(dllexport) int WINAPI EndHook() {
    std::string line = "EndHook|window=";
    line += sharedBlockWindow();
    record(line);
    return 1;
}
#endif

}  // extern "C"

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID atExit) {
    if (reason == DLL_PROCESS_ATTACH) {
        record("load");
        menuWatch = SetWindowsHookExW(WH_CALLWNDPROC, &watchMenus, self, GetCurrentThreadId());
    }
    if (reason == DLL_PROCESS_DETACH) {
        if (menuWatch && !atExit) UnhookWindowsHookEx(menuWatch);
        record("unload");
    }
    return TRUE;
}
