// The POSIX half of the system folders: the executable's folder from /proc; there is no
// Windows folder, so no alias file is ever read here.
#include <unistd.h>

#include <string>

#include "dbf/core/SystemFolders.h"

namespace dbf {

std::string executableFolder() {
    std::string path(4096, '\0');
    ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0 || static_cast<size_t>(n) >= path.size()) return {};
    path.resize(static_cast<size_t>(n));
    size_t cut = path.rfind('/');
    return cut == std::string::npos ? std::string{} : path.substr(0, cut + 1);
}

std::string windowsFolder() { return {}; }

char pathSeparator() noexcept { return '/'; }

}  // namespace dbf
