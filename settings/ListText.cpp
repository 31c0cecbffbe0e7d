// Process-list file text.
#include "settings/ListText.h"

namespace settings {
namespace {

std::string_view upToNul(std::string_view text) { return text.substr(0, text.find('\0')); }

// Length of the line break at `pos`: 2 for CR LF, 1 for a lone CR or LF.
size_t breakLength(std::string_view text, size_t pos) {
    return text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n' ? 2 : 1;
}

}  // namespace

std::vector<std::string> splitListLines(std::string_view fileText) {
    std::string_view text = upToNul(fileText);
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(pos));
            break;
        }
        lines.emplace_back(text.substr(pos, end - pos));
        pos = end + breakLength(text, end);
    }
    return lines;
}

std::string withCrLfBreaks(std::string_view text) {
    text = upToNul(text);
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (size_t pos = 0; pos < text.size();) {
        if (text[pos] == '\r' || text[pos] == '\n') {
            out += "\r\n";
            pos += breakLength(text, pos);
        } else {
            out += text[pos++];
        }
    }
    return out;
}

}  // namespace settings
