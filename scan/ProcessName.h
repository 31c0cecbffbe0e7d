// Comparisons on process names as the scan makes them: the protected system names, and the
// match that decides which running processes a stop reaches. Letter case is ASCII only
// (dbf/core/XbaseText.h): the ANSI code page's own letters keep their case.
#pragma once

#include <string_view>

namespace scan {

// Whether a table hit on this process name must be left alone: "smss.exe", "svchost.exe",
// "lsass.exe" and "services.exe" exactly as written, "EXPLORER.EXE" in any letter case.
bool isProtectedName(std::string_view processName) noexcept;

// The file-name part of a snapshot's executable field: what follows its last "\" or ":".
std::string_view executableFileName(std::string_view exeField) noexcept;

// Whether a stop of `name` reaches a process whose snapshot entry holds `exeField`: its
// file-name part, or the whole field, equals the name in ASCII upper case.
bool reachedByStop(std::string_view exeField, std::string_view name) noexcept;

}  // namespace scan
