// Writes a complete dBASE table file (version 0x03) from field definitions and record
// values, enciphered when a key is given. Builds whole files at once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dbf {

struct DbfFieldDefinition {
    std::string name;      // at most 10 characters
    char type = 'C';       // 'C', 'N', 'D', 'L'
    uint16_t length = 10;  // 'C' up to 65535 (stored as length byte + 256 × decimal byte)
    uint8_t decimals = 0;
};

class DbfWriter {
public:
    explicit DbfWriter(std::vector<DbfFieldDefinition> fields);

    // Appends a record. `values` are field texts in field order (missing ones are blank):
    // 'C' left-aligned and cut, 'N' right-aligned, 'D' as "YYYYMMDD", 'L' as "T"/"F".
    void addRecord(const std::vector<std::string>& values, bool deleted = false);
    void setTableFlags(uint8_t flags) noexcept { tableFlags_ = flags; }
    size_t recordCount() const noexcept { return records_.size() / recordLength_; }
    uint32_t recordLength() const noexcept { return recordLength_; }

    // The file image: header, descriptors, records and the end-of-file marker; with a
    // `cipherKey` the descriptor block and every record are enciphered and byte 15 set.
    std::vector<uint8_t> image(const std::string& cipherKey = {}) const;
    void write(const std::string& path, const std::string& cipherKey = {}) const;

private:
    std::vector<DbfFieldDefinition> fields_;
    uint32_t recordLength_ = 1;
    uint8_t tableFlags_ = 0;
    std::vector<uint8_t> records_;
};

}  // namespace dbf
