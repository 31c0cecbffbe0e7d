// System error texts.
#include "win32/Win32Error.h"

namespace win {

std::string errorText(DWORD code) {
    char* buffer = nullptr;
    DWORD len = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text;
    if (len && buffer) {
        text.assign(buffer, len);
        LocalFree(buffer);
        while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) text.pop_back();
    }
    if (text.empty()) text = "Error " + std::to_string(code);
    return text;
}

void raiseLastError(const std::string& what) {
    DWORD code = GetLastError();
    throw Win32Error(what + ": " + errorText(code), code);
}

}  // namespace win
