// The plain source of the shipped keylogger database: one executable name per line, as the
// system reports the process, then optionally a tab and the product it belongs to. Blank
// lines and lines starting with "#" are comments.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace scan {

struct KeyloggerListEntry {
    std::string name;      // the executable name, exactly as listed
    std::string product;   // may be empty
    int line = 0;          // 1-based line of the source
};

class KeyloggerList {
public:
    // Longest name and product the table holds. A name must also stay shorter than the
    // index key, so that a longer process name, cut to the key length by the search, can
    // never equal a listed one.
    static constexpr size_t kMaxName = 99;
    static constexpr size_t kMaxProduct = 60;

    // Reads the list; `sourceName` names it in errors. Raises std::runtime_error
    // "SOURCE:LINE: what is wrong" for a name that is empty, too long, begins or ends with a
    // blank, holds a character outside printable ASCII or one that no file name may hold
    // (\ / : * ? " < > |), or is listed twice (same case), and for a product that is too
    // long or not printable ASCII. Names outside ASCII are refused because the table holds
    // its keys in the OEM character set, which differs between Windows installations.
    static KeyloggerList parse(std::string_view text, const std::string& sourceName);
    static KeyloggerList fromFile(const std::string& path);

    const std::vector<KeyloggerListEntry>& entries() const noexcept { return entries_; }

private:
    std::vector<KeyloggerListEntry> entries_;
};

}  // namespace scan
