// Registered by the window-command tests as the shell's handler for a file type or a web
// address: appends its command line to "shellcalls.txt" beside itself and ends.
#include <windows.h>

#include <cstdio>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string file(path);
    file.erase(file.find_last_of('\\') + 1);
    file += "shellcalls.txt";
    if (std::FILE* f = std::fopen(file.c_str(), "ab")) {
        std::fputs(GetCommandLineA(), f);
        std::fputs("\r\n", f);
        std::fclose(f);
    }
    return 0;
}
