// ombrix-db walk and seek, and the tag lines of info: a table's compound index as the
// engine reads it.
//
// info, for each tag in the index file's (alphabetical) order:
//   tags: 2                       number of tags, before the first tag
//   tag: NAME                     tag name (upper case)
//   key_expression: UPPER(NAME)
//   for_expression: AMOUNT > 0    empty when the tag has none
//   key_length: 20
//   key_type: C|N|D
//   unique: no|yes
//   descending: no|yes
//   collation: none|MACHINE|GENERAL
//
// walk TABLE --index FILE --tag TAG [--key KEY] [--use-deleted]
//   one line per record in the tag's order, "RECNO<TAB>KEY": character keys without
//   trailing blanks, numbers in the shortest form that reads back to the same value, dates
//   as YYYYMMDD (empty for the blank date). Deleted records are left out unless
//   --use-deleted.
//
// seek TABLE --index FILE --tag TAG [--key KEY] [--partial] [--no-near] [--use-deleted]
//      [--keys-from FILE | --keys-from=FILE] KEYTEXT...
//   FindKey for each KEYTEXT, then for each line of FILE (a final CR is dropped), exact
//   unless --partial, near unless --no-near; prints "found RECNO", "notfound RECNO" (the
//   record the table stands on afterwards) or "notfound eof", one line for each key.
//
// walk and seek need --index and --tag; --index may be given more than once.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <fstream>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/table/DBO_dBHandler.h"
#include "tools/ombrix-db/Commands.h"

namespace ombrixdb {

namespace {

void appendNumber(std::string& out, uint32_t n) {
    char digits[16];
    auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
    out.append(digits, end);
}

const char* yesNo(bool b) { return b ? "yes" : "no"; }

const char* collationName(dbf::CdxCollation c) {
    switch (c) {
    case dbf::CdxCollation::Machine: return "MACHINE";
    case dbf::CdxCollation::General: return "GENERAL";
    default: return "none";
    }
}

// The table of `cl` with its index files open and the tag of --tag selected.
struct OpenTable {
    explicit OpenTable(const CommandLine& cl) : table(cl.table, false, true, cl.key) {
        for (const auto& index : cl.indexFiles) table.OpenIndexFile(index);
        table.setUseDeleted(cl.useDeleted);
        table.SelectTag(cl.tag);
    }
    dbf::DBO_dBHandler table;
};

// Output goes out in large pieces: one stream write per line costs more than the search.
void flushWhenFull(std::ostream& out, std::string& buffer) {
    if (buffer.size() > 60000) {
        out << buffer;
        buffer.clear();
    }
}

}  // namespace

void printIndexInfo(const CommandLine& cl, const std::string& indexFile, std::ostream& out) {
    dbf::DBO_dBHandler table(cl.table, false, true, cl.key);
    table.OpenIndexFile(indexFile);
    dbf::DBobjCDXFile* file = table.indexFile(1);
    const auto& tags = file->tags();
    out << "tags: " << tags.size() << "\n";
    for (const auto& tag : tags) {
        out << "tag: " << tag->name() << "\n";
        out << "key_expression: " << tag->keyExpression() << "\n";
        out << "for_expression: " << tag->forExpression() << "\n";
        out << "key_length: " << tag->keyLength() << "\n";
        out << "key_type: " << tag->keyType() << "\n";
        out << "unique: " << yesNo(tag->unique()) << "\n";
        out << "descending: " << yesNo(tag->descending()) << "\n";
        out << "collation: " << collationName(tag->collation()) << "\n";
    }
}

int cmdWalk(const CommandLine& cl, std::ostream& out) {
    OpenTable open(cl);
    dbf::DBO_dBHandler& t = open.table;
    const dbf::DBobjCDXTag& tag = *t.activeTag();
    std::string buffer;
    for (t.GetRec(dbf::DBO_dBaseDBF::kFirst); !t.eof() && !t.bof(); t.GetRec(dbf::DBO_dBaseDBF::kNext)) {
        appendNumber(buffer, t.recNo());
        buffer += '\t';
        buffer += tag.keyText(tag.currentKey());
        buffer += '\n';
        flushWhenFull(out, buffer);
    }
    out << buffer;
    return 0;
}

int cmdSeek(const CommandLine& cl, std::ostream& out) {
    std::vector<std::string_view> keys(cl.words.begin(), cl.words.end());
    const std::string& keysFile = cl.keysFrom;
    std::string text;   // the keys file; `keys` views its lines
    if (!keysFile.empty()) {
        std::ifstream in(keysFile, std::ios::binary);
        if (!in) throw std::runtime_error("ombrix-db seek: cannot read " + keysFile);
        in.seekg(0, std::ios::end);
        text.resize(static_cast<size_t>(std::max<std::streamoff>(in.tellg(), 0)));
        in.seekg(0, std::ios::beg);
        in.read(text.data(), static_cast<std::streamsize>(text.size()));
        text.resize(static_cast<size_t>(in.gcount()));
        size_t at = 0;
        while (at < text.size()) {
            size_t end = text.find('\n', at);
            if (end == std::string::npos) end = text.size();
            size_t len = end - at;
            if (len > 0 && text[at + len - 1] == '\r') --len;
            keys.emplace_back(text.data() + at, len);
            at = end + 1;
        }
    }

    OpenTable open(cl);
    dbf::DBO_dBHandler& t = open.table;
    t.setExact(!cl.partial);
    t.setNear(!cl.noNear);
    std::string buffer;
    for (std::string_view key : keys) {
        bool found = t.FindKey(key);
        if (found) {
            buffer += "found ";
            appendNumber(buffer, t.recNo());
        } else if (t.eof() || t.recNo() == 0) {
            buffer += "notfound eof";
        } else {
            buffer += "notfound ";
            appendNumber(buffer, t.recNo());
        }
        buffer += '\n';
        flushWhenFull(out, buffer);
    }
    out << buffer;
    return 0;
}

}  // namespace ombrixdb
