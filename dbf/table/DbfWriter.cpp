// A whole table file at once: header, descriptors, terminator, records and the
// end-of-file byte, laid out as DbfLayout.h describes.
#include "dbf/table/DbfWriter.h"

#include <cstring>
#include <fstream>
#include <stdexcept>

#include "dbf/core/ByteWriter.h"
#include "dbf/core/Cipher.h"
#include "dbf/table/DbfLayout.h"

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
    records_[at] = deleted ? kDbfDeletedFlag : ' ';
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
    const size_t headerLength = DbfHeader::kSize + DbfDescriptor::kSize * fields_.size() + 1;
    std::vector<uint8_t> t(headerLength, 0);
    ByteWriter h(t);
    h.putU8(DbfHeader::kVersion, DbfHeader::kDbase);
    // A fixed date, so that files built on different days do not differ.
    h.putU8(DbfHeader::kDate, 124);
    h.putU8(DbfHeader::kDate + 1, 1);
    h.putU8(DbfHeader::kDate + 2, 1);
    h.putU32le(DbfHeader::kRecordCount, static_cast<uint32_t>(recordCount()));
    h.putU16le(DbfHeader::kHeaderLength, static_cast<uint16_t>(headerLength));
    h.putU16le(DbfHeader::kRecordLength, static_cast<uint16_t>(recordLength_));
    h.putU8(DbfHeader::kEncrypted, cipherKey.empty() ? 0 : 1);
    h.putU8(DbfHeader::kTableFlags, tableFlags_);
    for (size_t i = 0; i < fields_.size(); ++i) {
        ByteWriter d(t.data() + DbfHeader::kSize + DbfDescriptor::kSize * i, DbfDescriptor::kSize);
        const DbfFieldDefinition& f = fields_[i];
        d.putBytes(DbfDescriptor::kName, f.name);
        d.putU8(DbfDescriptor::kType, static_cast<uint8_t>(f.type));
        d.putU8(DbfDescriptor::kLength, static_cast<uint8_t>(f.length));
        d.putU8(DbfDescriptor::kDecimals, f.type == 'C' ? static_cast<uint8_t>(f.length >> 8) : f.decimals);
    }
    h.putU8(headerLength - 1, kDbfDescriptorsEnd);
    if (!cipherKey.empty())
        Cipher(cipherKey, t.data() + DbfHeader::kSize, t.data() + DbfHeader::kSize,
               headerLength - DbfHeader::reservedBytes(DbfHeader::kDbase), CipherDirection::Encipher);
    size_t recordsAt = t.size();
    t.insert(t.end(), records_.begin(), records_.end());
    if (!cipherKey.empty())
        for (size_t at = recordsAt; at < t.size(); at += recordLength_)
            Cipher(cipherKey, t.data() + at, t.data() + at, recordLength_, CipherDirection::Encipher);
    t.push_back(kDbfEndOfFile);
    return t;
}

void DbfWriter::write(const std::string& path, const std::string& cipherKey) const {
    std::vector<uint8_t> t = image(cipherKey);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(t.data()), static_cast<std::streamsize>(t.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace dbf
