// The comparison the process lists sort and search by: the system's locale-aware text
// comparison in the user's default locale, with letter case ignored.
#pragma once

#include <string_view>

namespace settings {

// Negative, zero or positive as `a` sorts before, with or after `b` (CompareStringA with
// NORM_IGNORECASE). Texts are compared whole, blanks included.
int compareTextIgnoringCase(std::string_view a, std::string_view b);

}  // namespace settings
