// ombrix-db info and dump: the table file as the engine reads it.
//
// info prints one "name: value" line per fact, in this order:
//   table: FULL\FILE.DBF          the name as the engine holds it (upper case)
//   version: 0x03                 version byte
//   records: 6                    record count (from the file size)
//   header_length: 66
//   record_length: 21
//   encrypted: no|yes             header byte 15
//   table_flags: 0x01             header byte 28
//   fields: 1                     field count, then one line per field in order:
//   field: NAME C 20 0            name, type letter, length, decimals
// then for each --index FILE, in the order given:
//   index: FILE                   the name as given
//   ...                           the tag lines of printIndexInfo (IndexCommands.cpp)
//
// dump prints one line per record in record order:
//   RECNO<TAB>FLAG<TAB>FIELD1<TAB>FIELD2...
// FLAG is "*" for a deleted record and a blank otherwise; each field is its field text
// (trailing blanks removed, numbers trimmed, logicals T/F, memo markers).
#include <cstdio>
#include <ostream>
#include <string>

#include "dbf/table/DBO_dBaseFld.h"
#include "tools/ombrix-db/Commands.h"

namespace ombrixdb {

namespace {

std::string hexByte(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", v & 0xFFu);
    return buf;
}

}  // namespace

int cmdInfo(const CommandLine& cl, std::ostream& out) {
    {
        dbf::DBO_dBaseFld t(cl.table, false, true, cl.key);
        out << "table: " << t.fileName() << "\n";
        out << "version: " << hexByte(t.version()) << "\n";
        out << "records: " << t.recordCount() << "\n";
        out << "header_length: " << t.headerLength() << "\n";
        out << "record_length: " << t.recordLength() << "\n";
        out << "encrypted: " << (t.encrypted() ? "yes" : "no") << "\n";
        out << "table_flags: " << hexByte(t.tableFlags()) << "\n";
        out << "fields: " << t.fieldCount() << "\n";
        for (const auto& f : t.fields())
            out << "field: " << f.name << " " << f.type << " " << f.length << " " << unsigned{f.decimals} << "\n";
    }
    for (const auto& index : cl.indexFiles) {
        out << "index: " << index << "\n";
        printIndexInfo(cl, index, out);
    }
    return 0;
}

int cmdDump(const CommandLine& cl, std::ostream& out) {
    dbf::DBO_dBaseFld t(cl.table, false, true, cl.key);
    std::string text;
    std::string line;
    for (t.GetRec(dbf::DBO_dBaseDBF::kFirst); !t.eof(); t.GetRec(dbf::DBO_dBaseDBF::kNext)) {
        line = std::to_string(t.recNo());
        line += '\t';
        line += t.isDeleted() ? '*' : ' ';
        for (const auto& f : t.fields()) {
            t.fieldText(f, text);
            line += '\t';
            line += text;
        }
        line += '\n';
        out << line;
    }
    return 0;
}

}  // namespace ombrixdb
