#include "keyguard/core/PassThrough.h"

#include <algorithm>
#include <array>

namespace keyguard {

bool readsKeyPressesOnly(std::string_view windowClass) {
    static constexpr std::array<std::string_view, 4> kClasses{
        "ConsoleWindowClass",                      // the console host of Windows
        "WineConsoleClass",                        // Wine's
        "CASCADIA_HOSTING_WINDOW_CLASS",           // Windows Terminal's frame
        "Windows.UI.Input.InputSite.WindowClass",  // and its input window
    };
    for (std::string_view known : kClasses)
        if (windowClass == known) return true;
    return false;
}

void PassList::assign(std::string_view text) {
    names_.clear();
    text = text.substr(0, std::min(text.size(), kMaxBytes));
    text = text.substr(0, text.find('\0'));
    while (!text.empty() && names_.size() < kMaxNames) {
        const std::size_t end = text.find_first_of("\r\n");
        names_.emplace_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        const std::size_t next = text.compare(end, 2, "\r\n") == 0 ? end + 2 : end + 1;
        text.remove_prefix(next);
    }
}

bool PassList::contains(std::string_view name, Same same) const {
    if (name.empty()) return false;
    for (const std::string& listed : names_)
        if (same(listed, name)) return true;
    return false;
}

}  // namespace keyguard
