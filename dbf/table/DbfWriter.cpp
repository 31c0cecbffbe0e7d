// Table file image:
//   OFFSET  SIZE   DESCRIPTION
//   0       32     header: version 0x03, date, record count, header and record length,
//                  encryption flag (15), table flags (28)
//   32      32×n   field descriptors: name (11), type (1), length (16), decimals (17)
//   32+32n  1      0x0D terminator
//   ...            records, then 0x1A
#include "dbf/table/DbfWriter.h"

#include <cstring>
#include <fstream>
#include <stdexcept>

#include "dbf/core/Cipher.h"

namespace dbf {

DbfWriter::DbfWriter(std::vector<DbfFieldDefinition> fields) : fields_(std::move(fields)) {
    for (const auto& f : fields_) {
        if (f.name.empty() || f.name.size() > 10 || f.length == 0) throw std::invalid_argument("bad field " + f.name);
        recordLength_ += f.length;
    }
    if (recordLength_ > 0xFFFF) throw std::invalid_argument("record too long");
}

void DbfWriter::addRecord(const std::vector<std::string>& values, bool deleted) {
    size_t at = records_.size();
    records_.resize(at + recordLength_, ' ');
    records_[at] = deleted ? '*' : ' ';
    size_t pos = at + 1;
    for (size_t i = 0; i < fields_.size(); ++i) {
        const DbfFieldDefinition& f = fields_[i];
        std::string v = i < values.size() ? values[i] : std::string();
        if (v.size() > f.length) v.resize(f.length);
        size_t start = (f.type == 'N' || f.type == 'F') ? f.length - v.size() : 0;
        std::memcpy(records_.data() + pos + start, v.data(), v.size());
        pos += f.length;
    }
}

std::vector<uint8_t> DbfWriter::image(const std::string& cipherKey) const {
    const size_t headerLength = 32 + 32 * fields_.size() + 1;
    std::vector<uint8_t> t(headerLength, 0);
    t[0] = 0x03;
    t[1] = 124;
    t[2] = 1;
    t[3] = 1;
    auto count = static_cast<uint32_t>(recordCount());
    for (int i = 0; i < 4; ++i) t[4 + i] = static_cast<uint8_t>(count >> (8 * i));
    t[8] = static_cast<uint8_t>(headerLength);
    t[9] = static_cast<uint8_t>(headerLength >> 8);
    t[10] = static_cast<uint8_t>(recordLength_);
    t[11] = static_cast<uint8_t>(recordLength_ >> 8);
    t[15] = cipherKey.empty() ? 0 : 1;
    t[28] = tableFlags_;
    for (size_t i = 0; i < fields_.size(); ++i) {
        uint8_t* d = t.data() + 32 + 32 * i;
        const DbfFieldDefinition& f = fields_[i];
        std::memcpy(d, f.name.data(), f.name.size());
        d[11] = static_cast<uint8_t>(f.type);
        d[16] = static_cast<uint8_t>(f.length);
        d[17] = f.type == 'C' ? static_cast<uint8_t>(f.length >> 8) : f.decimals;
    }
    t[headerLength - 1] = 0x0D;
    if (!cipherKey.empty()) Cipher(cipherKey, t.data() + 32, t.data() + 32, headerLength - 33, CipherDirection::Encipher);
    size_t recordsAt = t.size();
    t.insert(t.end(), records_.begin(), records_.end());
    if (!cipherKey.empty())
        for (size_t at = recordsAt; at < t.size(); at += recordLength_)
            Cipher(cipherKey, t.data() + at, t.data() + at, recordLength_, CipherDirection::Encipher);
    t.push_back(0x1A);
    return t;
}

void DbfWriter::write(const std::string& path, const std::string& cipherKey) const {
    std::vector<uint8_t> t = image(cipherKey);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(t.data()), static_cast<std::streamsize>(t.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace dbf
