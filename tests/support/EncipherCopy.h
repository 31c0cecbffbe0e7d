// Test helper: enciphered copies of plain fixture tables and index files, written into a
// temporary folder. The cipher is written out here again, apart from dbf/Cipher.cpp, so a
// fault there cannot hide itself by producing the files it is tested against.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "dbf/core/ByteView.h"
#include "dbf/table/DbfLayout.h"

namespace testsupport {

// A fresh folder under the system's temporary folder, removed with everything in it when
// the object goes.
class TempFolder {
public:
    TempFolder() {
        static std::atomic<unsigned> serial{0};
        auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        path_ = std::filesystem::temp_directory_path() /
                ("ombrix-test-" + std::to_string(stamp) + "-" + std::to_string(serial++));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const noexcept { return path_; }
    // Full path (as a string) of `name` inside the folder.
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline std::vector<uint8_t> readFileBytes(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + name);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFileBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot write " + name);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + name);
}

inline void writeFileText(const std::string& name, std::string_view text) {
    writeFileBytes(name, {text.begin(), text.end()});
}

// One cipher unit: byte i XOR ((i mod 256) OR key[i mod key length]), i from 0.
inline void encipherUnit(const std::string& key, uint8_t* bytes, size_t count) {
    if (key.empty()) return;
    for (size_t i = 0; i < count; ++i)
        bytes[i] ^= static_cast<uint8_t>((i & 0xFF) | static_cast<uint8_t>(key[i % key.size()]));
}

// Length of the enciphered descriptor block of a table with this header.
inline size_t descriptorBlockLength(const std::vector<uint8_t>& t) {
    const dbf::ByteView header(t);
    size_t headerLength = header.u16le(dbf::DbfHeader::kHeaderLength);
    size_t reserved = dbf::DbfHeader::reservedBytes(header.u8(dbf::DbfHeader::kVersion));
    return headerLength > reserved ? headerLength - reserved : 0;
}

// Enciphers a plain table image: header byte 15 set to 1, the descriptor block as one
// unit, every whole record as its own unit; the 32-byte header, the terminator, the
// 263-byte area of 0x30 tables and a trailing end-of-file marker stay plain.
inline std::vector<uint8_t> encipherTableImage(std::vector<uint8_t> t, const std::string& key) {
    using dbf::DbfHeader;
    if (t.size() < DbfHeader::kSize) throw std::runtime_error("not a table image");
    const dbf::ByteView header(t);
    size_t headerLength = header.u16le(DbfHeader::kHeaderLength);
    size_t recordLength = header.u16le(DbfHeader::kRecordLength);
    size_t block = descriptorBlockLength(t);
    if (recordLength == 0 || DbfHeader::kSize + block > t.size() || headerLength > t.size())
        throw std::runtime_error("not a table image");
    t[DbfHeader::kEncrypted] = 1;
    encipherUnit(key, t.data() + DbfHeader::kSize, block);
    for (size_t off = headerLength; off + recordLength <= t.size(); off += recordLength)
        encipherUnit(key, t.data() + off, recordLength);
    return t;
}

// Enciphers an index file image as 512-byte units (a shorter last piece is its own unit).
inline std::vector<uint8_t> encipherIndexImage(std::vector<uint8_t> x, const std::string& key) {
    for (size_t off = 0; off < x.size(); off += 512)
        encipherUnit(key, x.data() + off, std::min<size_t>(512, x.size() - off));
    return x;
}

// Writes `destination` as an enciphered copy of the plain table `source`.
inline void writeEncipheredTable(const std::string& source, const std::string& destination,
                                 const std::string& key) {
    writeFileBytes(destination, encipherTableImage(readFileBytes(source), key));
}

// Writes `destination` as an enciphered copy of the plain index file `source`.
inline void writeEncipheredIndex(const std::string& source, const std::string& destination,
                                 const std::string& key) {
    writeFileBytes(destination, encipherIndexImage(readFileBytes(source), key));
}

// Copies a fixture pair NAME.dbf + NAME.cdx from `fixtures` into `folder`, enciphered under
// `key`, and returns the path of the table copy (the index sits beside it as NAME.cdx).
inline std::string encipheredFixture(const std::string& fixtures, const std::string& name,
                                     const TempFolder& folder, const std::string& key) {
    std::filesystem::path dir(fixtures);
    std::string table = folder.file(name + ".dbf");
    writeEncipheredTable((dir / (name + ".dbf")).string(), table, key);
    std::filesystem::path cdx = dir / (name + ".cdx");
    if (std::filesystem::exists(cdx)) writeEncipheredIndex(cdx.string(), folder.file(name + ".cdx"), key);
    return table;
}

}  // namespace testsupport
