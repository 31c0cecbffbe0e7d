// Test helper: an index file image, patched in memory (numbers through dbf::ByteView and
// dbf::ByteWriter), written beside a copied fixture table.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "dbf/core/ByteView.h"
#include "dbf/core/ByteWriter.h"
#include "tests/support/EncipherCopy.h"

namespace testsupport {

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
