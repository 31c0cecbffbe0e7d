// The notification area's icons as the desktop shows them, read from outside: Wine's tray
// (in its explorer process) gives each icon a window and a tool of a tooltip control, which
// holds the icon's tip. Test support for Wine; elsewhere it finds nothing.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

namespace testing_support {

struct ShownTrayIcon {
    HWND window;  // the tray's window for the icon: a click on it is a click on the icon
    std::string tip;
};

inline std::vector<ShownTrayIcon> trayIcons() {
    std::vector<ShownTrayIcon> tips;
    HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
    DWORD trayProcess = 0;
    if (!tray || !GetWindowThreadProcessId(tray, &trayProcess)) return tips;
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, trayProcess);
    if (!process) return tips;
    // The tool record and the text travel through memory of the tray's process.
    constexpr size_t kChars = 256;
    auto* remote = static_cast<char*>(
        VirtualAllocEx(process, nullptr, sizeof(TTTOOLINFOW) + kChars * sizeof(WCHAR), MEM_COMMIT, PAGE_READWRITE));
    for (HWND tip = nullptr; remote && (tip = FindWindowExA(nullptr, tip, TOOLTIPS_CLASSA, nullptr));) {
        DWORD owner = 0;
        if (!GetWindowThreadProcessId(tip, &owner) || owner != trayProcess) continue;
        const auto tools = SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0);
        for (LRESULT i = 0; i < tools; ++i) {
            TTTOOLINFOW info{};
            info.cbSize = sizeof info;
            auto* text = reinterpret_cast<LPWSTR>(remote + sizeof info);
            info.lpszText = text;
            WCHAR buffer[kChars] = {};
            if (!WriteProcessMemory(process, remote, &info, sizeof info, nullptr) ||
                !WriteProcessMemory(process, text, buffer, sizeof buffer, nullptr) ||
                !SendMessageW(tip, TTM_ENUMTOOLSW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(remote)) ||
                !ReadProcessMemory(process, remote, &info, sizeof info, nullptr))
                continue;
            info.lpszText = text;  // the tool's own text pointer came back; ask for a copy
            WriteProcessMemory(process, remote, &info, sizeof info, nullptr);
            SendMessageW(tip, TTM_GETTEXTW, kChars, reinterpret_cast<LPARAM>(remote));
            if (!ReadProcessMemory(process, text, buffer, sizeof buffer - sizeof(WCHAR), nullptr)) continue;
            char narrow[kChars * 2] = {};
            WideCharToMultiByte(CP_ACP, 0, buffer, -1, narrow, sizeof narrow - 1, nullptr, nullptr);
            tips.push_back({info.hwnd, narrow});
        }
    }
    if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return tips;
}

inline std::vector<std::string> trayTips() {
    std::vector<std::string> tips;
    for (const ShownTrayIcon& icon : trayIcons()) tips.push_back(icon.tip);
    return tips;
}

}  // namespace testing_support
