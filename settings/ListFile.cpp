// Process-list files through the system's file calls.
#include "settings/ListFile.h"

#include <windows.h>

#include <stdexcept>

#include "settings/ListText.h"
#include "win32/Application.h"
#include "win32/UniqueHandle.h"
#include "win32/WidePath.h"
#include "win32/Win32Error.h"

namespace settings {

ListFile::ListFile(const std::string& path) : path_(win::widen(path)) {}

ListFile ListFile::besideExecutable(const char* name) {
    return ListFile(win::Application::exeFolder() + win::widen(name));
}

std::string ListFile::path() const { return win::narrow(path_); }

bool ListFile::exists() const {
    DWORD attributes = GetFileAttributesW(path_.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ListFile::read() const {
    win::UniqueFileHandle file(CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw win::Win32Error("Cannot open file " + path(), GetLastError());
    std::string text;
    char buffer[4096];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr))
            throw win::Win32Error("Cannot read file " + path(), GetLastError());
        if (got == 0) break;
        text.append(buffer, got);
    }
    return text;
}

namespace {

constexpr int kReplaceAttempts = 40;
constexpr DWORD kReplacePauseMs = 25;

// Creates or replaces the file `target` with exactly `text`; the errors name `shown`.
void writeWhole(const std::wstring& target, std::string_view text, const std::string& shown) {
    win::UniqueFileHandle file(
        CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw win::Win32Error("Cannot create file " + shown, GetLastError());
    while (!text.empty()) {
        DWORD written = 0;
        if (!WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) || written == 0)
            throw win::Win32Error("Cannot write file " + shown, GetLastError());
        text.remove_prefix(written);
    }
    if (!CloseHandle(file.release())) throw win::Win32Error("Cannot write file " + shown, GetLastError());
}

}  // namespace

void ListFile::write(std::string_view text) const { writeWhole(path_, text, path()); }

void ListFile::replace(std::string_view text) const {
    const size_t slash = path_.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? L"." : path_.substr(0, slash + 1);
    wchar_t fresh[MAX_PATH] = L"";
    if (!GetTempFileNameW(folder.c_str(), L"omx", 0, fresh))
        throw win::Win32Error("Cannot create file " + path(), GetLastError());
    try {
        writeWhole(fresh, text, path());
    } catch (...) {
        DeleteFileW(fresh);
        throw;
    }
    // A reader that has the file open for a moment (the encryption library reads it as soon
    // as the folder changes) makes the replacement fail under Wine: tried again a few times.
    DWORD error = 0;
    for (int attempt = 0; attempt < kReplaceAttempts; ++attempt) {
        if (attempt) Sleep(kReplacePauseMs);
        if (MoveFileExW(fresh, path_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return;
        error = GetLastError();
        if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) break;
    }
    DeleteFileW(fresh);
    throw win::Win32Error("Cannot create file " + path(), error);
}

void ListFile::loadInto(ProcessList& list) const {
    if (!exists()) {
        list.clear();
        return;
    }
    list.assign(splitListLines(read()));
}

std::string ListFile::editorText() const { return exists() ? withCrLfBreaks(read()) : std::string(); }

}  // namespace settings
