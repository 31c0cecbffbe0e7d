// Writes a complete CDX compound index from sorted key lists: the tag directory, the tag
// headers, compressed leaf pages and interior pages, enciphered when a key is given. Builds
// whole files at once; updating a file in place is not its business.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace dbf {

struct CdxTagDefinition {
    std::string name;              // upper case, at most 10 characters
    std::string keyExpression;
    std::string forExpression;     // empty: none
    char keyType = 'C';            // 'C' (blank padded) or 'N' / 'D' (zero padded)
    uint16_t keyLength = 10;       // 1..240
    bool unique = false;
    bool descending = false;
    // Keys in their held form (see IndexKeyForm.h) with their record numbers, any order:
    // the writer sorts them ascending by key, then record number.
    std::vector<std::pair<std::string, uint32_t>> keys;
};

// Facts of a written tag, for tests and the benchmark.
struct CdxTagLayout {
    std::string name;
    uint32_t headerOffset = 0;
    uint32_t rootOffset = 0;
    int depth = 0;        // levels from the root to the leaves, both counted
    uint32_t leaves = 0;
};

class CdxWriter {
public:
    void addTag(CdxTagDefinition tag);
    // The change counter written into the directory header (a writer bumps it on every
    // change so that readers drop what they cached).
    void setChangeCounter(uint32_t counter) noexcept { changeCounter_ = counter; }

    // The whole file image, each 512-byte page enciphered with `cipherKey` when it is not
    // empty. Raises std::invalid_argument for a tag that cannot be written.
    std::vector<uint8_t> image(const std::string& cipherKey = {});
    // image() written to `path` (created or replaced).
    void write(const std::string& path, const std::string& cipherKey = {});

    // Layout of the tags of the last image(), in the order they were added.
    const std::vector<CdxTagLayout>& layout() const noexcept { return layout_; }

private:
    std::vector<CdxTagDefinition> tags_;
    std::vector<CdxTagLayout> layout_;
    uint32_t changeCounter_ = 0;
};

}  // namespace dbf
