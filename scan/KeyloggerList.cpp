// Reading and checking the keylogger list source.
#include "scan/KeyloggerList.h"

#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>

#include "dbf/core/XbaseText.h"

namespace scan {

namespace {

// A source list is a few hundred lines; a file far beyond that is not one.
constexpr size_t kMaxSourceBytes = 4u << 20;

bool printableAscii(char c) noexcept { return c >= 0x20 && c <= 0x7E; }

std::string checkName(std::string_view name) {
    if (name.empty()) return "no executable name before the tab";
    if (name.size() > KeyloggerList::kMaxName)
        return "the name is longer than " + std::to_string(KeyloggerList::kMaxName) + " characters";
    if (name.front() == ' ' || name.back() == ' ') return "the name begins or ends with a blank";
    for (char c : name) {
        if (!printableAscii(c)) return "the name holds a character outside printable ASCII";
        if (std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos)
            return std::string("the name holds \"") + c + "\", which no file name may hold";
    }
    return {};
}

}  // namespace

KeyloggerList KeyloggerList::parse(std::string_view text, const std::string& sourceName) {
    KeyloggerList list;
    std::set<std::string, std::less<>> seen;
    int lineNo = 0;
    while (!text.empty()) {
        ++lineNo;
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        auto fail = [&](const std::string& what) {
            throw std::runtime_error(sourceName + ":" + std::to_string(lineNo) + ": " + what);
        };
        if (dbf::trimBlanks(line, dbf::kBlanksAndTabs).empty() || line.front() == '#') continue;
        size_t tab = line.find('\t');
        std::string_view name = line.substr(0, tab);
        std::string_view product =
            tab == std::string_view::npos ? std::string_view{} : dbf::trimBlanks(line.substr(tab + 1), dbf::kBlanksAndTabs);
        if (std::string why = checkName(name); !why.empty()) fail(why);
        if (product.size() > kMaxProduct)
            fail("the product is longer than " + std::to_string(kMaxProduct) + " characters");
        for (char c : product)
            if (!printableAscii(c)) fail("the product holds a character outside printable ASCII");
        if (!seen.insert(std::string(name)).second) fail(std::string(name) + " is listed twice");
        list.entries_.push_back({std::string(name), std::string(product), lineNo});
    }
    return list;
}

KeyloggerList KeyloggerList::fromFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::string text(kMaxSourceBytes + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    if (text.size() > kMaxSourceBytes) throw std::runtime_error(path + ": too large for a keylogger list");
    return parse(text, path);
}

}  // namespace scan
