// The keylogger signature table as the scan uses it: opened once at the first showing of the
// main window, then asked for every running process whether its executable is listed.
#pragma once

#include <string>
#include <string_view>

namespace dbf {
class TTableDataSet;
}

namespace scan {

class KeyloggerDatabase {
public:
    static constexpr const char* kTableName = "keyloggerlist.dbf";
    static constexpr const char* kIndexFile = "KEYLOGGERLIST.CDX";   // listed in IndexFiles
    static constexpr const char* kIndexFileByName = "keyloggerlist.cdx";   // OpenIndexFile
    static constexpr const char* kTag = "SPDLL";

    // Binds to `table` and gives it the table's design-time settings (table name, index
    // file, shared, OEM translation on, deleted records hidden). The data set stays closed.
    explicit KeyloggerDatabase(dbf::TTableDataSet& table);

    // Builds the table key, opens the table from the current directory with its index,
    // opens the index file once more by name and makes "SPDLL" the active tag. Raises the
    // data set's or the engine's error when the files are missing or refused; the data set
    // is then closed and a later open tries again.
    void open();
    // Closes the data set; closing a closed one does nothing.
    void close() noexcept;
    bool isOpen() const noexcept;

    // Whether `processName` (exactly as the process snapshot reports it) is a listed
    // keylogger: its table key is sought exactly in the tag. Raises "Cannot perform this
    // operation on a closed dataset" when the table is not open.
    bool isKeylogger(const std::string& processName);

    // The table key of a process name: digits, "-", ".", "/" and the letters o, f..n, t
    // exchanged for their partners, everything else (upper-case letters included) kept.
    // The exchange keeps the length and is its own inverse.
    static std::string tableKey(std::string_view processName);

private:
    dbf::TTableDataSet& table_;
};

}  // namespace scan
