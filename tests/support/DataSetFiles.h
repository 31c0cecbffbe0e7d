// Test helper: tables for the data set and the keylogger database in temporary folders, and
// a scoped change of the current directory (the program opens its table by bare name).
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "dbf/dataset/TTableDataSet.h"
#include "dbf/index/CdxWriter.h"
#include "dbf/table/DbfLayout.h"
#include "dbf/table/DbfWriter.h"
#include "scan/KeyloggerDatabase.h"
#include "tests/support/EncipherCopy.h"
#include "tests/support/FixtureManifest.h"

namespace testsupport {

// The current directory is `folder` while the object lives.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::filesystem::path& folder) : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~CurrentDirectory() {
        std::error_code ec;
        std::filesystem::current_path(previous_, ec);
    }
    CurrentDirectory(const CurrentDirectory&) = delete;
    CurrentDirectory& operator=(const CurrentDirectory&) = delete;

private:
    std::filesystem::path previous_;
};

// Copies the fixture NAME.dbf (and NAME.cdx) into `folder` under `as` (default NAME):
// the data set opens tables for writing, so fixtures are never opened in place.
inline void copyFixture(const std::string& name, const TempFolder& folder, const std::string& as = {}) {
    const std::string target = as.empty() ? name : as;
    for (const char* ext : {".dbf", ".cdx"}) {
        std::filesystem::path from = cdxFixtures() / (name + ext);
        if (std::filesystem::exists(from))
            std::filesystem::copy_file(from, folder.path() / (target + ext),
                                       std::filesystem::copy_options::overwrite_existing);
    }
}

// The fixture NAME copied into a folder of its own and opened there as a data set: its own
// index file listed when `listIndex`, `tag` active (record order when empty). `before` sets
// the other properties ahead of the open.
struct OpenedFixture {
    TempFolder folder;
    dbf::TTableDataSet table;

    OpenedFixture(const std::string& name, const std::string& tag, bool listIndex,
                  const std::function<void(dbf::TTableDataSet&)>& before = {}) {
        copyFixture(name, folder);
        table.setDatabaseName(folder.path().string());
        table.setTableName(name);
        if (listIndex) table.IndexFiles = {name + ".cdx"};
        table.setIndexName(tag);
        if (before) before(table);
        table.Open();
    }
};

struct ListedName {
    std::string name;        // as the process reports it; the table holds its exchanged form
    bool deleted = false;
};

// Writes keyloggerlist.dbf and keyloggerlist.cdx into `folder` as the shipped database is
// laid out (field SPDLL holding the exchanged name, tag SPDLL on it), enciphered under `key`.
inline void writeKeyloggerDatabase(const TempFolder& folder, const std::vector<ListedName>& names,
                                   const std::string& key) {
    dbf::DbfWriter table({{"SPDLL", 'C', 100, 0}, {"PRODUCT", 'C', 60, 0}});
    table.setTableFlags(dbf::DbfHeader::kFlagStructuralIndex);
    dbf::CdxTagDefinition tag;
    tag.name = "SPDLL";
    tag.keyExpression = "SPDLL";
    tag.keyLength = 100;
    uint32_t recNo = 0;
    for (const auto& n : names) {
        std::string k = scan::KeyloggerDatabase::tableKey(n.name);
        table.addRecord({k, "test"}, n.deleted);
        tag.keys.emplace_back(k, ++recNo);
    }
    dbf::CdxWriter index;
    index.addTag(std::move(tag));
    table.write(folder.file("keyloggerlist.dbf"), key);
    index.write(folder.file("keyloggerlist.cdx"), key);
}

}  // namespace testsupport
