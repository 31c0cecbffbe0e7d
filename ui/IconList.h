// A list of small icons, the source of the tray icon's pictures.
#pragma once

#include <windows.h>

#include <vector>

#include "win32/UniqueHandle.h"

namespace ui {

class IconList {
public:
    // Adds the 16 x 16 image of the icon resource `resourceId` of the executable.
    void addResource(int resourceId);
    void add(win::UniqueIcon icon) { icons_.push_back(std::move(icon)); }
    int count() const noexcept { return static_cast<int>(icons_.size()); }
    HICON icon(int index) const { return icons_.at(static_cast<size_t>(index)).get(); }

private:
    std::vector<win::UniqueIcon> icons_;
};

}  // namespace ui
