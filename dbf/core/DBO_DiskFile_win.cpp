// The Windows half of DBO_DiskFile: CreateFileA with the table's access and share modes,
// positioned ReadFile/WriteFile, LockFile/UnlockFile, GetLastError numbers as they are.
#include <windows.h>

#include <string>

#include "dbf/core/AnsiPath_win.h"
#include "dbf/core/DBO_DiskFile.h"
#include "dbf/core/TableError.h"

namespace dbf {

namespace {

HANDLE toHandle(intptr_t h) noexcept { return reinterpret_cast<HANDLE>(h); }

OVERLAPPED at(uint64_t offset) noexcept {
    OVERLAPPED ov{};
    ov.Offset = static_cast<DWORD>(offset);
    ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return ov;
}

// Windows transfers at most a DWORD per call; the engine never asks for more than a few
// pages, but the portable loop around osRead and osWrite keeps a larger request correct.
constexpr DWORD kMaxChunk = 0x40000000;

}  // namespace

void DBO_DiskFile::osOpen() {
    DWORD access = GENERIC_READ | (readWrite_ ? GENERIC_WRITE : 0);
    DWORD share = shared_ ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0;
    HANDLE h = ::CreateFileA(openedPath_.c_str(), access, share, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error_ = static_cast<int>(::GetLastError());
        raiseTableError(error_, kSubOpen, fileName_);
    }
    os_ = reinterpret_cast<intptr_t>(h);
}

void DBO_DiskFile::osClose() noexcept {
    if (toHandle(os_) != INVALID_HANDLE_VALUE) {
        ::CloseHandle(toHandle(os_));
        os_ = reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE);
    }
}

size_t DBO_DiskFile::osRead(uint64_t offset, char* buffer, size_t count) {
    DWORD want = count > kMaxChunk ? kMaxChunk : static_cast<DWORD>(count);
    OVERLAPPED ov = at(offset);
    DWORD got = 0;
    if (!::ReadFile(toHandle(os_), buffer, want, &got, &ov)) {
        DWORD e = ::GetLastError();
        if (e == ERROR_HANDLE_EOF) return 0;
        error_ = static_cast<int>(e);
        raiseTableError(error_, kSubRead, fileName_);
    }
    return got;
}

size_t DBO_DiskFile::osWrite(uint64_t offset, const char* buffer, size_t count) {
    DWORD want = count > kMaxChunk ? kMaxChunk : static_cast<DWORD>(count);
    OVERLAPPED ov = at(offset);
    DWORD put = 0;
    if (!::WriteFile(toHandle(os_), buffer, want, &put, &ov) || put == 0) {
        DWORD e = ::GetLastError();
        error_ = e ? static_cast<int>(e) : kErrDiskFull;
        raiseTableError(error_, kSubWrite, fileName_);
    }
    return put;
}

uint64_t DBO_DiskFile::fileSize() {
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(toHandle(os_), &size)) {
        error_ = static_cast<int>(::GetLastError());
        raiseTableError(error_, kSubFileSize, fileName_);
    }
    return static_cast<uint64_t>(size.QuadPart);
}

void DBO_DiskFile::flush() {
    if (!::FlushFileBuffers(toHandle(os_))) {
        error_ = static_cast<int>(::GetLastError());
        raiseTableError(error_, kSubFlush, fileName_);
    }
}

bool DBO_DiskFile::lock(uint64_t offset, uint64_t length) {
    if (::LockFile(toHandle(os_), static_cast<DWORD>(offset), static_cast<DWORD>(offset >> 32),
                   static_cast<DWORD>(length), static_cast<DWORD>(length >> 32)))
        return true;
    error_ = static_cast<int>(::GetLastError());
    if (error_ == ERROR_LOCK_VIOLATION) error_ = kErrLockViolation;
    return false;
}

void DBO_DiskFile::unlock(uint64_t offset, uint64_t length) {
    ::UnlockFile(toHandle(os_), static_cast<DWORD>(offset), static_cast<DWORD>(offset >> 32),
                 static_cast<DWORD>(length), static_cast<DWORD>(length >> 32));
}

bool DBO_DiskFile::exists(const std::string& name) {
    DWORD a = ::GetFileAttributesA(name.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

// Wide, then back to ANSI: the current directory may be a folder whose name the ANSI code
// page cannot hold, which the ANSI call would turn into question marks.
std::string DBO_DiskFile::osFullPath(const std::string& name) {
    wchar_t buf[MAX_PATH * 2];
    DWORD n = ::GetFullPathNameW(widePathOf(name).c_str(), MAX_PATH * 2, buf, nullptr);
    if (n == 0 || n >= MAX_PATH * 2) return name;
    return ansiPathOf(std::wstring(buf, n));
}

void DBO_DiskFile::osUpperCase(std::string& s) {
    if (!s.empty()) ::CharUpperBuffA(s.data(), static_cast<DWORD>(s.size()));
}

}  // namespace dbf
