// Sorting and searching a process list.
#include "settings/ProcessList.h"

#include <algorithm>

namespace settings {

void ProcessList::sort() {
    if (lines_.size() < 2) return;
    auto before = [this](const std::string& a, const std::string& b) { return compare_(a, b) < 0; };
    if (std::is_sorted(lines_.begin(), lines_.end(), before)) return;
    std::sort(lines_.begin(), lines_.end(), before);
}

bool ProcessList::contains(std::string_view processName) {
    sort();
    size_t low = 0, high = lines_.size();
    while (low < high) {
        size_t mid = low + (high - low) / 2;
        int c = compare_(lines_[mid], processName);
        if (c == 0) return true;
        if (c < 0)
            low = mid + 1;
        else
            high = mid;
    }
    return false;
}

}  // namespace settings
