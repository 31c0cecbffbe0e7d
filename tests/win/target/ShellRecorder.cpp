// Registered by the window-command tests as the shell's handler for a file type or a web
// address: appends its command line, in UTF-8 so that a name that the ANSI code page cannot
// hold stays whole, to "shellcalls.txt" beside itself and ends.
#include <windows.h>

#include <cstdio>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring file(path);
    file.erase(file.find_last_of(L'\\') + 1);
    file += L"shellcalls.txt";
    char line[4096] = "";
    WideCharToMultiByte(CP_UTF8, 0, GetCommandLineW(), -1, line, sizeof line, nullptr, nullptr);
    if (std::FILE* f = _wfopen(file.c_str(), L"ab")) {
        std::fputs(line, f);
        std::fputs("\r\n", f);
        std::fclose(f);
    }
    return 0;
}
