// A list of small icons, the source of the tray icon's pictures.
#pragma once

#include <windows.h>

#include <functional>
#include <utility>
#include <vector>

#include "win32/UniqueHandle.h"

namespace ui {

class IconList {
public:
    IconList() = default;
    // The icons move; whoever watches the old list keeps watching it.
    IconList(IconList&& other) noexcept : icons_(std::move(other.icons_)) {}
    IconList& operator=(IconList&&) = delete;
    // Tells every watcher that the list is going, so that none keeps a dangling reference.
    ~IconList();

    // Adds the 16 x 16 image of the icon resource `resourceId` of the executable.
    void addResource(int resourceId);
    void add(win::UniqueIcon icon) { icons_.push_back(std::move(icon)); }
    int count() const noexcept { return static_cast<int>(icons_.size()); }
    HICON icon(int index) const { return icons_.at(static_cast<size_t>(index)).get(); }

    // `freed` runs when the list is destroyed, unless `watcher` has withdrawn it before.
    // Watching changes nothing of the list itself, so a const list can be watched.
    void addFreeNotification(const void* watcher, std::function<void()> freed) const;
    void removeFreeNotification(const void* watcher) const;

private:
    std::vector<win::UniqueIcon> icons_;
    mutable std::vector<std::pair<const void*, std::function<void()>>> watchers_;
};

}  // namespace ui
