// The folders the table data set resolves table directories against: the running
// executable's folder ("Default Directory") and the Windows folder that holds the alias file.
#pragma once

#include <string>

namespace dbf {

// The running executable's folder, with a trailing separator; empty when it cannot be told.
std::string executableFolder();
// The Windows folder, with a trailing separator; empty where there is none (POSIX).
std::string windowsFolder();
// The separator that ends a directory name on this system ("\" on Windows, "/" elsewhere).
char pathSeparator() noexcept;

}  // namespace dbf
