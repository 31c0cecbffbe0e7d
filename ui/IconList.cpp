// Icons loaded from the executable's resources.
#include "ui/IconList.h"

#include <algorithm>

#include "win32/Win32Error.h"

namespace ui {

IconList::~IconList() {
    // A watcher withdraws itself while it is told; the list it would search is already empty.
    auto watchers = std::exchange(watchers_, {});
    for (auto& [watcher, freed] : watchers) freed();
}

void IconList::addResource(int resourceId) {
    auto icon = static_cast<HICON>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resourceId), IMAGE_ICON, 16, 16, 0));
    if (!icon) win::raiseLastError("Cannot load icon " + std::to_string(resourceId));
    icons_.emplace_back(icon);
}

void IconList::addFreeNotification(const void* watcher, std::function<void()> freed) const {
    removeFreeNotification(watcher);
    watchers_.emplace_back(watcher, std::move(freed));
}

void IconList::removeFreeNotification(const void* watcher) const {
    std::erase_if(watchers_, [watcher](const auto& w) { return w.first == watcher; });
}

}  // namespace ui
