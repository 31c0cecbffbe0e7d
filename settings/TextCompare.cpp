// Locale-aware case-insensitive comparison through the system.
#include "settings/TextCompare.h"

#include <windows.h>

namespace settings {

int compareTextIgnoringCase(std::string_view a, std::string_view b) {
    int r = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                           static_cast<int>(b.size()));
    // The call fails only on bad arguments; the plain byte order keeps the sort consistent then.
    if (r == 0) return a.compare(b);
    return r - CSTR_EQUAL;
}

}  // namespace settings
