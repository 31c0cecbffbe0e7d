// Test helper: builds dBASE table files byte by byte, for the cases no fixture covers
// (particular field contents, damaged headers).
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

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
        const unsigned hl = headerLength(), rl = recordLength();
        std::vector<uint8_t> b(hl, 0);
        b[0] = version;
        b[1] = 124;
        b[2] = 1;
        b[3] = 2;
        const auto count = static_cast<uint32_t>(records.size());
        for (int i = 0; i < 4; ++i) b[4 + i] = static_cast<uint8_t>(count >> (8 * i));
        b[8] = static_cast<uint8_t>(hl);
        b[9] = static_cast<uint8_t>(hl >> 8);
        b[10] = static_cast<uint8_t>(rl);
        b[11] = static_cast<uint8_t>(rl >> 8);
        for (size_t i = 0; i < fields.size(); ++i) {
            uint8_t* d = b.data() + 32 + 32 * i;
            for (size_t j = 0; j < fields[i].name.size() && j < 11; ++j) d[j] = static_cast<uint8_t>(fields[i].name[j]);
            d[11] = static_cast<uint8_t>(fields[i].type);
            d[16] = fields[i].length;
            d[17] = fields[i].decimals;
        }
        b[hl - 2] = 0x0D;
        for (size_t r = 0; r < records.size(); ++r) {
            std::string rec(rl, ' ');
            if (r < deleted.size() && deleted[r]) rec[0] = '*';
            rec.replace(1, std::min<size_t>(records[r].size(), rl - 1), records[r].substr(0, rl - 1));
            b.insert(b.end(), rec.begin(), rec.end());
        }
        b.push_back(0x1A);
        return b;
    }
};

inline void put16(std::vector<uint8_t>& b, size_t off, unsigned v) {
    b[off] = static_cast<uint8_t>(v);
    b[off + 1] = static_cast<uint8_t>(v >> 8);
}

}  // namespace testsupport
