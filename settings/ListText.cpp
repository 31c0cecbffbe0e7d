// Process-list file text.
#include "settings/ListText.h"

namespace settings {
namespace {

std::string_view upToNul(std::string_view text) { return text.substr(0, text.find('\0')); }

// Length of the line break at `pos`: 2 for CR LF, 1 for a lone CR or LF.
size_t breakLength(std::string_view text, size_t pos) {
    return text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n' ? 2 : 1;
}

// Calls `visit(line, lineWithItsBreak)` for each line of the file's text, in order.
template <typename Visit>
void forEachLine(std::string_view fileText, Visit visit) {
    std::string_view text = upToNul(fileText);
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t found = text.find_first_of("\r\n", pos);
        const size_t end = found == std::string_view::npos ? text.size() : found;
        const size_t next = found == std::string_view::npos ? end : end + breakLength(text, end);
        visit(text.substr(pos, end - pos), text.substr(pos, next - pos));
        pos = next;
    }
}

}  // namespace

std::vector<std::string> splitListLines(std::string_view fileText) {
    std::vector<std::string> lines;
    forEachLine(fileText, [&](std::string_view line, std::string_view) { lines.emplace_back(line); });
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

std::string withLineAdded(std::string_view fileText, std::string_view line) {
    std::string out(upToNul(fileText));
    if (!out.empty() && out.back() != '\r' && out.back() != '\n') out += "\r\n";
    out += line;
    out += "\r\n";
    return out;
}

std::string withLinesRemoved(std::string_view fileText, std::string_view line, ProcessList::Compare compare) {
    std::string out;
    forEachLine(fileText, [&](std::string_view each, std::string_view withBreak) {
        if (compare(each, line) != 0) out += withBreak;
    });
    return out;
}

}  // namespace settings
