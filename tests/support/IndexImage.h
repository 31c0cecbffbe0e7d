// Test helper: patching index and table file images in memory (little- and big-endian
// numbers at file offsets) and writing them beside a copied fixture table.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/EncipherCopy.h"

namespace testsupport {

inline uint32_t getU32le(const std::vector<uint8_t>& f, size_t at) {
    return uint32_t{f.at(at)} | uint32_t{f.at(at + 1)} << 8 | uint32_t{f.at(at + 2)} << 16 | uint32_t{f.at(at + 3)} << 24;
}
inline uint32_t getU32be(const std::vector<uint8_t>& f, size_t at) {
    return uint32_t{f.at(at)} << 24 | uint32_t{f.at(at + 1)} << 16 | uint32_t{f.at(at + 2)} << 8 | uint32_t{f.at(at + 3)};
}
inline uint16_t getU16le(const std::vector<uint8_t>& f, size_t at) {
    return static_cast<uint16_t>(f.at(at) | f.at(at + 1) << 8);
}
inline void setU16le(std::vector<uint8_t>& f, size_t at, uint32_t v) {
    f.at(at) = static_cast<uint8_t>(v);
    f.at(at + 1) = static_cast<uint8_t>(v >> 8);
}
inline void setU32le(std::vector<uint8_t>& f, size_t at, uint32_t v) {
    for (size_t i = 0; i < 4; ++i) f.at(at + i) = static_cast<uint8_t>(v >> (8 * i));
}
inline void setU32be(std::vector<uint8_t>& f, size_t at, uint32_t v) {
    for (size_t i = 0; i < 4; ++i) f.at(at + i) = static_cast<uint8_t>(v >> (24 - 8 * i));
}

// Copies fixture NAME.dbf into `folder` and writes `index` beside it as NAME.cdx; returns
// the table's path.
inline std::string tableWithIndex(const std::string& fixtures, const std::string& name, const TempFolder& folder,
                                  const std::vector<uint8_t>& index) {
    std::string table = folder.file(name + ".dbf");
    std::filesystem::copy_file(std::filesystem::path(fixtures) / (name + ".dbf"), table,
                               std::filesystem::copy_options::overwrite_existing);
    writeFileBytes(folder.file(name + ".cdx"), index);
    return table;
}

}  // namespace testsupport
