// The system's own text for an error number, and the error raised when a system call fails.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

namespace win {

// The system's message for `code` without its trailing line break and full stop handling
// left to the caller; "Error <code>" when the system has no text for it.
std::string errorText(DWORD code);

class Win32Error : public std::runtime_error {
public:
    Win32Error(const std::string& message, DWORD code) : std::runtime_error(message), code_(code) {}
    DWORD code() const noexcept { return code_; }

private:
    DWORD code_;
};

// Raises Win32Error with `what`, ": " and the system's text for GetLastError().
[[noreturn]] void raiseLastError(const std::string& what);

}  // namespace win
