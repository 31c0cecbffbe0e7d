// Icons loaded from the executable's resources.
#include "ui/IconList.h"

#include "win32/Win32Error.h"

namespace ui {

void IconList::addResource(int resourceId) {
    auto icon = static_cast<HICON>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resourceId), IMAGE_ICON, 16, 16, 0));
    if (!icon) win::raiseLastError("Cannot load icon " + std::to_string(resourceId));
    icons_.emplace_back(icon);
}

}  // namespace ui
