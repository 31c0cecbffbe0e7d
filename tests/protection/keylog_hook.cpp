// The library of the test loggers "kbhook" and "msghook": keylog.exe sets its procedures as
// global hooks, and the system maps it into every process that reads keyboard messages.
// Each procedure appends what it sees to the file whose path keylog.exe left in a named block.
#include "tests/protection/UsKeys.h"

#include <string>

namespace {

std::string captureFile(const char* block) {
    std::string path;
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, block);
    if (!mapping) return path;
    if (auto* view = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, kFileBlockSize))) {
        path.assign(view, strnlen(view, kFileBlockSize));
        UnmapViewOfFile(view);
    }
    CloseHandle(mapping);
    return path;
}

bool down(int vk) { return GetKeyState(vk) < 0; }

}  // namespace

extern "C" {

// WH_KEYBOARD: called in the reading thread for each key message it takes from its queue;
// the thread's key state then holds the modifiers of that key.
__declspec(dllexport) LRESULT CALLBACK KeyboardHook(int code, WPARAM wParam, LPARAM lParam) {
    bool keyDown = !(static_cast<DWORD>(lParam) & 0x80000000u);
    if (code == HC_ACTION && keyDown && !down(VK_CONTROL) && !down(VK_MENU)) {
        bool caps = GetKeyState(VK_CAPITAL) & 1;
        if (char c = usCharacter(static_cast<unsigned>(wParam), down(VK_SHIFT), caps))
            appendCapture(captureFile(kKeyboardHookFileBlock).c_str(), std::string(1, c));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// WH_GETMESSAGE: every message a thread takes off its queue; the characters are kept.
__declspec(dllexport) LRESULT CALLBACK MessageHook(int code, WPARAM wParam, LPARAM lParam) {
    const MSG* msg = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && msg->message == WM_CHAR && msg->wParam >= 0x20)
        appendCapture(captureFile(kMessageHookFileBlock).c_str(), utf8(static_cast<unsigned>(msg->wParam)));
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // extern "C"
