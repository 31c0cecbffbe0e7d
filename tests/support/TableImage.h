// Test helper: builds dBASE table files byte by byte, for the cases no fixture covers
// (particular field contents, damaged headers).
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/core/ByteWriter.h"
#include "dbf/table/DbfLayout.h"

namespace testsupport {

struct ImageField {
    std::string name;
    char type;
    uint8_t length;
    uint8_t decimals = 0;
};

// A version 0x03 table image with the given fields and records. Each record is the text of
// the record after the deletion flag, padded with blanks to the record length; `deleted`
// marks records by index. The image ends with the 0x1A marker.
struct TableImage {
    std::vector<ImageField> fields;
    std::vector<std::string> records;
    std::vector<bool> deleted;
    uint8_t version = 0x03;

    static unsigned fieldLength(const ImageField& f) {
        return f.type == 'C' ? f.length + 256u * f.decimals : f.length;
    }
    unsigned recordLength() const {
        unsigned n = 1;
        for (const auto& f : fields) n += fieldLength(f);
        return n;
    }
    unsigned headerLength() const { return 32 + 32 * static_cast<unsigned>(fields.size()) + 2; }

    std::vector<uint8_t> bytes() const {
        using dbf::DbfDescriptor;
        using dbf::DbfHeader;
        const unsigned hl = headerLength(), rl = recordLength();
        std::vector<uint8_t> b(hl, 0);
        dbf::ByteWriter h(b);
        h.putU8(DbfHeader::kVersion, version);
        h.putU8(DbfHeader::kDate, 124);
        h.putU8(DbfHeader::kDate + 1, 1);
        h.putU8(DbfHeader::kDate + 2, 2);
        h.putU32le(DbfHeader::kRecordCount, static_cast<uint32_t>(records.size()));
        h.putU16le(DbfHeader::kHeaderLength, static_cast<uint16_t>(hl));
        h.putU16le(DbfHeader::kRecordLength, static_cast<uint16_t>(rl));
        for (size_t i = 0; i < fields.size(); ++i) {
            dbf::ByteWriter d(b.data() + DbfHeader::kSize + DbfDescriptor::kSize * i, DbfDescriptor::kSize);
            d.putBytes(DbfDescriptor::kName, std::string_view(fields[i].name).substr(0, DbfDescriptor::kNameSize));
            d.putU8(DbfDescriptor::kType, static_cast<uint8_t>(fields[i].type));
            d.putU8(DbfDescriptor::kLength, fields[i].length);
            d.putU8(DbfDescriptor::kDecimals, fields[i].decimals);
        }
        h.putU8(hl - 2, dbf::kDbfDescriptorsEnd);
        for (size_t r = 0; r < records.size(); ++r) {
            std::string rec(rl, ' ');
            if (r < deleted.size() && deleted[r]) rec[0] = dbf::kDbfDeletedFlag;
            rec.replace(1, std::min<size_t>(records[r].size(), rl - 1), records[r].substr(0, rl - 1));
            b.insert(b.end(), rec.begin(), rec.end());
        }
        b.push_back(dbf::kDbfEndOfFile);
        return b;
    }
};

}  // namespace testsupport
