// The engine's alias list, which names table directories, and the rule that turns a data
// set's DatabaseName into the directory of its table and index files.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dbf {

class TableAliases {
public:
    static constexpr const char* kDefaultDirectory = "Default Directory";
    static constexpr const char* kFileName = "tables.cfg";
    static constexpr const char* kSection = "Alias";

    TableAliases() = default;

    // The entries name=directory of section "Alias" of an INI text; other sections,
    // comment lines (";") and lines without "=" are passed over, blanks around names and
    // directories dropped. The first entry of a name wins.
    static TableAliases parse(std::string_view iniText);
    // parse() of the file `path`; a missing or unreadable file gives an empty list.
    static TableAliases fromFile(const std::string& path);
    // The process's list: "tables.cfg" in the Windows folder, read once on first use.
    static const TableAliases& system();

    // The directory of `name` (compared without regard to case), or null.
    const std::string* find(std::string_view name) const noexcept;
    size_t size() const noexcept { return entries_.size(); }

    // The directory of a data set's tables: `executableFolder` for "Default Directory"
    // (any case), the alias's directory for an alias, the name itself otherwise; a
    // non-empty result ends in a separator. An empty name gives an empty directory, so
    // table names stay relative to the current directory.
    std::string directoryFor(std::string_view databaseName, const std::string& executableFolder) const;

private:
    std::vector<std::pair<std::string, std::string>> entries_;
};

}  // namespace dbf
