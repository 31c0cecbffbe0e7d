// ombrix-db build, lookup and list: the shipped keylogger database.
//   build SOURCE OUTDIR [--plain]  the list SOURCE turned into keyloggerlist.dbf and
//                                  keyloggerlist.cdx in OUTDIR (tag "SPDLL" holding the
//                                  exchanged names), enciphered under the program's key;
//                                  --plain leaves them unenciphered, for other readers
//   lookup [--db DIR] NAME...      "hit" or "miss" for each name, one line each in the order
//                                  given, by the program's own lookup on the database in DIR
//                                  (default: the current directory); names after "--" may
//                                  start with "-"
//   list [--db DIR]                the listed names, un-exchanged, in key order
#include <filesystem>
#include <string>
#include <system_error>

#include "dbf/core/DBO_DiskFile.h"
#include "dbf/dataset/TTableDataSet.h"
#include "dbf/index/CdxWriter.h"
#include "dbf/table/DbfLayout.h"
#include "dbf/table/DbfWriter.h"
#include "scan/KeyloggerDatabase.h"
#include "scan/KeyloggerList.h"
#include "scan/SecretText.h"
#include "tools/ombrix-db/Commands.h"

namespace ombrixdb {

namespace {

// Table layout of the shipped database: the key field first, the product for people who
// inspect the table. The index key length stays above every listed name (KeyloggerList).
constexpr const char* kKeyField = "SPDLL";
constexpr const char* kProductField = "PRODUCT";
constexpr uint16_t kKeyLength = scan::KeyloggerList::kMaxName + 1;

std::string baseNameOf(const char* fileName) {
    std::string s(fileName);
    return s.substr(0, s.rfind('.'));
}

// Goes to the database folder for the lifetime of a command: the program opens its table by
// bare name in the current directory, and so does this tool.
class FolderScope {
public:
    explicit FolderScope(const CommandLine& cl) {
        if (!cl.db) return;
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(*cl.db);
    }
    ~FolderScope() {
        std::error_code ec;
        if (!previous_.empty()) std::filesystem::current_path(previous_, ec);
    }
    FolderScope(const FolderScope&) = delete;
    FolderScope& operator=(const FolderScope&) = delete;

private:
    std::filesystem::path previous_;
};

}  // namespace

int cmdBuild(const CommandLine& cl, std::ostream& out) {
    const scan::KeyloggerList list = scan::KeyloggerList::fromFile(cl.source);
    const std::filesystem::path folder = cl.outDir;
    std::filesystem::create_directories(folder);

    dbf::DbfWriter table({{kKeyField, 'C', kKeyLength, 0}, {kProductField, 'C', scan::KeyloggerList::kMaxProduct, 0}});
    table.setTableFlags(dbf::DbfHeader::kFlagStructuralIndex);
    dbf::CdxTagDefinition tag;
    tag.name = scan::KeyloggerDatabase::kTag;
    tag.keyExpression = kKeyField;
    tag.keyType = 'C';
    tag.keyLength = kKeyLength;
    uint32_t recNo = 0;
    for (const auto& entry : list.entries()) {
        // The names are ASCII, so the OEM form the data set searches with is the name itself.
        std::string key = scan::KeyloggerDatabase::tableKey(entry.name);
        table.addRecord({key, entry.product});
        tag.keys.emplace_back(std::move(key), ++recNo);
    }
    dbf::CdxWriter index;
    index.addTag(std::move(tag));

    std::string key = cl.plain ? std::string() : scan::keyloggerTableKey();
    const std::string base = baseNameOf(scan::KeyloggerDatabase::kTableName);
    try {
        table.write((folder / (base + ".dbf")).string(), key);
        index.write((folder / (base + ".cdx")).string(), key);
    } catch (...) {
        scan::wipe(key);
        throw;
    }
    scan::wipe(key);
    out << list.entries().size() << " names written to " << (folder / (base + ".dbf")).string() << " and "
        << (folder / (base + ".cdx")).string() << (cl.plain ? " (not enciphered)" : "") << "\n";
    return 0;
}

int cmdLookup(const CommandLine& cl, std::ostream& out) {
    FolderScope scope(cl);
    dbf::TTableDataSet table;
    scan::KeyloggerDatabase database(table);
    database.open();
    for (const std::string& name : cl.words) out << (database.isKeylogger(name) ? "hit" : "miss") << "\n";
    return 0;
}

int cmdList(const CommandLine& cl, std::ostream& out) {
    FolderScope scope(cl);
    dbf::TTableDataSet table;
    scan::KeyloggerDatabase database(table);
    database.open();
    table.First();
    while (!table.Eof()) {
        // The tag stands on the key of the row just fetched: the listed name, exchanged.
        const dbf::DBobjCDXTag* tag = table.DBFObject()->activeTag();
        out << scan::KeyloggerDatabase::tableKey(tag->keyText(tag->currentKey())) << "\n";
        table.Next();
    }
    return 0;
}

}  // namespace ombrixdb
