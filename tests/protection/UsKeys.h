// The test loggers' own translation of a virtual key to the character the US layout gives
// it, as a commodity keylogger does without asking the system: letters, digits, the OEM
// punctuation keys, Space and Enter ('\n'). Zero for any other key.
#pragma once
#include <windows.h>

#include <cstdio>
#include <string>

inline char usCharacter(unsigned vk, bool shift, bool caps) {
    if (vk >= 'A' && vk <= 'Z') return static_cast<char>(shift != caps ? vk : vk + ('a' - 'A'));
    if (vk >= '0' && vk <= '9') return shift ? ")!@#$%^&*("[vk - '0'] : static_cast<char>(vk);
    if (vk == VK_SPACE) return ' ';
    if (vk == VK_RETURN) return '\n';
    struct Oem {
        unsigned vk;
        char plain, shifted;
    };
    static const Oem oem[] = {{VK_OEM_1, ';', ':'},     {VK_OEM_PLUS, '=', '+'},  {VK_OEM_COMMA, ',', '<'},
                              {VK_OEM_MINUS, '-', '_'}, {VK_OEM_PERIOD, '.', '>'}, {VK_OEM_2, '/', '?'},
                              {VK_OEM_3, '`', '~'},     {VK_OEM_4, '[', '{'},     {VK_OEM_5, '\\', '|'},
                              {VK_OEM_6, ']', '}'},     {VK_OEM_7, '\'', '"'}};
    for (const Oem& k : oem)
        if (k.vk == vk) return shift ? k.shifted : k.plain;
    return 0;
}

// A UTF-16 code unit of the basic plane as UTF-8.
inline std::string utf8(unsigned code) {
    wchar_t w = static_cast<wchar_t>(code);
    char out[8] = {};
    int n = WideCharToMultiByte(CP_UTF8, 0, &w, 1, out, sizeof out, nullptr, nullptr);
    return std::string(out, n > 0 ? static_cast<size_t>(n) : 0);
}

// Appends to a capture file and closes it again, so that what was captured is on disk at
// once, whichever process captured it.
inline void appendCapture(const char* path, const std::string& bytes) {
    if (bytes.empty() || !path || !*path) return;
    if (std::FILE* f = std::fopen(path, "ab")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
}

// Names of the blocks in which keylog.exe tells its hook library where to write.
inline constexpr const char* kKeyboardHookFileBlock = "OmbrixTestKeylogKeyboardHookFile";
inline constexpr const char* kMessageHookFileBlock = "OmbrixTestKeylogMessageHookFile";
inline constexpr DWORD kFileBlockSize = MAX_PATH * 2;
