// The keylogger signature table: its design-time settings, the open sequence of the first
// showing, and the lookup of one process name.
#include "scan/KeyloggerDatabase.h"

#include "dbf/core/TableError.h"
#include "dbf/dataset/TTableDataSet.h"
#include "scan/SecretText.h"

namespace scan {

namespace {

// The exchange of the table key, as pairs: each character becomes its partner.
constexpr char kPairs[][2] = {
    {'-', 't'}, {'.', '/'}, {'0', 'o'}, {'1', 'f'}, {'2', 'g'}, {'3', 'h'}, {'4', 'i'},
    {'5', 'j'}, {'6', 'k'}, {'7', 'l'}, {'8', 'm'}, {'9', 'n'},
};

struct ExchangeTable {
    char to[256];
    constexpr ExchangeTable() : to() {
        for (int c = 0; c < 256; ++c) to[c] = static_cast<char>(c);
        for (const auto& p : kPairs) {
            to[static_cast<unsigned char>(p[0])] = p[1];
            to[static_cast<unsigned char>(p[1])] = p[0];
        }
    }
};

constexpr ExchangeTable kExchange;

}  // namespace

KeyloggerDatabase::KeyloggerDatabase(dbf::TTableDataSet& table) : table_(table) {
    table_.setTableName(kTableName);
    table_.IndexFiles = {kIndexFile};
    table_.setDatabaseName("");
    table_.Exclusive = false;
    table_.TranslateASCII = true;
    table_.UseDeleted = false;
    table_.AutoFlush = false;
    table_.LockProtocol = dbf::TdbLokProtocol::Default;
    table_.UserID = 0;
}

void KeyloggerDatabase::open() {
    std::string key = keyloggerTableKey();
    try {
        table_.setEncryptionKey(key);
    } catch (...) {
        wipe(key);
        throw;
    }
    wipe(key);
    table_.ReadOnly = false;
    try {
        table_.Open();
    } catch (const dbf::ETableError& e) {
        // Installed where the user may not write (a folder for all users): the program only
        // reads its table, so a refused write access is no reason to go unprotected.
        if (e.code() != dbf::kErrAccessDenied) throw;
        table_.ReadOnly = true;
        table_.Open();
    }
    try {
        table_.OpenIndexFile(kIndexFileByName);
        table_.setIndexName(kTag);
    } catch (...) {
        // A table without its tag cannot answer; the next showing opens it afresh.
        table_.Close();
        throw;
    }
}

void KeyloggerDatabase::close() noexcept { table_.Close(); }

bool KeyloggerDatabase::isOpen() const noexcept { return table_.Active(); }

bool KeyloggerDatabase::isKeylogger(const std::string& processName) {
    return table_.Find(tableKey(processName), true, true);
}

std::string KeyloggerDatabase::tableKey(std::string_view processName) {
    std::string key(processName);
    for (char& c : key) c = kExchange.to[static_cast<unsigned char>(c)];
    return key;
}

}  // namespace scan
