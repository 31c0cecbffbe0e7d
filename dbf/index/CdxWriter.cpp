// Building a CDX file bottom-up: the keys of a tag fill compressed leaves in order, each
// level above holds the last key, record number and offset of every page below it, until
// one page is left, the root. Page layouts are described in DBobjIndexKey.cpp, the tag
// header in DBobjCDXFile.cpp.
#include "dbf/index/CdxWriter.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "dbf/core/Cipher.h"
#include "dbf/index/DBobjIndexKey.h"

namespace dbf {

namespace {

constexpr size_t kLeafArea = kCdxPageSize - 24;

void put16(std::vector<uint8_t>& f, size_t at, uint32_t v) {
    f[at] = static_cast<uint8_t>(v);
    f[at + 1] = static_cast<uint8_t>(v >> 8);
}
void put32(std::vector<uint8_t>& f, size_t at, uint32_t v) {
    for (size_t i = 0; i < 4; ++i) f[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void put32be(std::vector<uint8_t>& f, size_t at, uint32_t v) {
    for (size_t i = 0; i < 4; ++i) f[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

unsigned bitsFor(uint32_t v) {
    unsigned b = 0;
    while (v) {
        ++b;
        v >>= 1;
    }
    return b;
}

struct Node {
    uint32_t offset;
    std::string lastKey;   // padded to the key length
    uint32_t lastRecNo;
};

class TagBuilder {
public:
    TagBuilder(std::vector<uint8_t>& file, const CdxTagDefinition& definition)
        : f_(file), definition_(definition), pad_(definition.keyType == 'C' ? ' ' : '\0') {}

    // Writes the tag's pages at the end of the file; returns the root offset.
    uint32_t build(CdxTagLayout& layout) {
        std::vector<std::pair<std::string, uint32_t>> keys;
        keys.reserve(definition_.keys.size());
        uint32_t maxRec = 1;
        for (const auto& [k, r] : definition_.keys) {
            std::string padded = k.substr(0, definition_.keyLength);
            padded.resize(definition_.keyLength, pad_);
            keys.emplace_back(std::move(padded), r);
            maxRec = std::max(maxRec, r);
        }
        std::sort(keys.begin(), keys.end());
        std::vector<Node> level = writeLeaves(keys, maxRec);
        layout.leaves = static_cast<uint32_t>(level.size());
        layout.depth = 1;
        while (level.size() > 1) {
            level = writeInterior(level);
            ++layout.depth;
        }
        uint32_t root = level.front().offset;
        // The root carries the root bit in its attributes.
        f_[root] = static_cast<uint8_t>(f_[root] | 1);
        return root;
    }

private:
    uint32_t newPage() {
        auto at = static_cast<uint32_t>(f_.size());
        f_.resize(f_.size() + kCdxPageSize, 0);
        return at;
    }

    std::vector<Node> writeLeaves(const std::vector<std::pair<std::string, uint32_t>>& keys, uint32_t maxRec) {
        const unsigned countBits = bitsFor(definition_.keyLength);
        unsigned recBits = std::max(bitsFor(maxRec), 8u);
        const size_t entryBytes = (recBits + 2 * countBits + 7) / 8;
        recBits = static_cast<unsigned>(entryBytes * 8 - 2 * countBits);
        const uint32_t recMask = recBits >= 32 ? 0xFFFFFFFFu : (1u << recBits) - 1;
        const uint32_t countMask = (1u << countBits) - 1;

        std::vector<Node> nodes;
        size_t i = 0;
        do {
            uint32_t page = newPage();
            put16(f_, page + 0, 2);
            put32(f_, page + 4, nodes.empty() ? kCdxNoPage : nodes.back().offset);
            put32(f_, page + 8, kCdxNoPage);
            put32(f_, page + 14, recMask);
            f_[page + 18] = static_cast<uint8_t>(countMask);
            f_[page + 19] = static_cast<uint8_t>(countMask);
            f_[page + 20] = static_cast<uint8_t>(recBits);
            f_[page + 21] = static_cast<uint8_t>(countBits);
            f_[page + 22] = static_cast<uint8_t>(countBits);
            f_[page + 23] = static_cast<uint8_t>(entryBytes);
            size_t used = 0, count = 0, pieceEnd = kCdxPageSize;
            const std::string* prev = nullptr;
            while (i < keys.size()) {
                const std::string& k = keys[i].first;
                size_t trail = 0;
                while (trail < k.size() && k[k.size() - 1 - trail] == pad_) ++trail;
                size_t dup = 0;
                if (prev)
                    while (dup < k.size() - trail && (*prev)[dup] == k[dup]) ++dup;
                size_t piece = k.size() - dup - trail;
                if (used + entryBytes + piece > kLeafArea) break;
                uint64_t entry = uint64_t{keys[i].second} | uint64_t{dup} << recBits |
                                 uint64_t{trail} << (recBits + countBits);
                size_t at = page + 24 + count * entryBytes;
                for (size_t b = 0; b < entryBytes; ++b) f_[at + b] = static_cast<uint8_t>(entry >> (8 * b));
                pieceEnd -= piece;
                std::memcpy(f_.data() + page + pieceEnd, k.data() + dup, piece);
                used += entryBytes + piece;
                ++count;
                prev = &k;
                ++i;
            }
            if (count == 0 && i < keys.size()) throw std::invalid_argument("a key does not fit in a leaf");
            put16(f_, page + 2, static_cast<uint32_t>(count));
            put16(f_, page + 12, static_cast<uint32_t>(kLeafArea - used));
            if (!nodes.empty()) put32(f_, nodes.back().offset + 8, page);
            nodes.push_back({page, count ? keys[i - 1].first : std::string(definition_.keyLength, pad_),
                             count ? keys[i - 1].second : 0});
        } while (i < keys.size());
        return nodes;
    }

    std::vector<Node> writeInterior(const std::vector<Node>& below) {
        const size_t entrySize = definition_.keyLength + 8u;
        const size_t perPage = 500 / entrySize;
        if (perPage < 2) throw std::invalid_argument("key too long for interior pages");
        std::vector<Node> nodes;
        for (size_t i = 0; i < below.size();) {
            size_t n = std::min(perPage, below.size() - i);
            // Never leave a single child for the last page of a level when it can be helped.
            if (below.size() - i - n == 1 && n > 2) --n;
            uint32_t page = newPage();
            put16(f_, page + 0, 0);
            put16(f_, page + 2, static_cast<uint32_t>(n));
            put32(f_, page + 4, nodes.empty() ? kCdxNoPage : nodes.back().offset);
            put32(f_, page + 8, kCdxNoPage);
            for (size_t e = 0; e < n; ++e) {
                const Node& c = below[i + e];
                size_t at = page + 12 + e * entrySize;
                std::memcpy(f_.data() + at, c.lastKey.data(), definition_.keyLength);
                put32be(f_, at + definition_.keyLength, c.lastRecNo);
                put32be(f_, at + definition_.keyLength + 4, c.offset);
            }
            if (!nodes.empty()) put32(f_, nodes.back().offset + 8, page);
            nodes.push_back({page, below[i + n - 1].lastKey, below[i + n - 1].lastRecNo});
            i += n;
        }
        return nodes;
    }

    std::vector<uint8_t>& f_;
    const CdxTagDefinition& definition_;
    char pad_;
};

void writeHeader(std::vector<uint8_t>& f, uint32_t at, uint32_t root, const CdxTagDefinition& definition, uint8_t options) {
    put32(f, at + 0, root);
    put16(f, at + 12, definition.keyLength);
    f[at + 14] = options;
    f[at + 15] = 1;
    put16(f, at + 502, definition.descending ? 1 : 0);
    size_t keyLen = definition.keyExpression.size() + 1;
    size_t forLen = definition.forExpression.size() + 1;
    if (keyLen + forLen > 512) throw std::invalid_argument("tag expressions too long");
    put16(f, at + 504, static_cast<uint32_t>(keyLen));   // FOR position, after the key
    put16(f, at + 506, static_cast<uint32_t>(forLen));
    put16(f, at + 508, 0);
    put16(f, at + 510, static_cast<uint32_t>(keyLen));
    std::memcpy(f.data() + at + 512, definition.keyExpression.data(), definition.keyExpression.size());
    std::memcpy(f.data() + at + 512 + keyLen, definition.forExpression.data(), definition.forExpression.size());
}

}  // namespace

void CdxWriter::addTag(CdxTagDefinition tag) {
    if (tag.keyLength == 0 || tag.keyLength > kCdxMaxKeyLength) throw std::invalid_argument("bad key length");
    if (tag.name.empty() || tag.name.size() > 10) throw std::invalid_argument("bad tag name");
    tags_.push_back(std::move(tag));
}

std::vector<uint8_t> CdxWriter::image(const std::string& cipherKey) {
    std::vector<uint8_t> f(kCdxHeaderSize, 0);
    layout_.clear();
    CdxTagDefinition directory;
    directory.name = "DIRECTORY";
    directory.keyLength = 10;
    for (const CdxTagDefinition& definition : tags_) {
        CdxTagLayout l;
        l.name = definition.name;
        l.headerOffset = static_cast<uint32_t>(f.size());
        f.resize(f.size() + kCdxHeaderSize, 0);
        TagBuilder builder(f, definition);
        l.rootOffset = builder.build(l);
        uint8_t options = static_cast<uint8_t>(0x60 | (definition.unique ? 0x01 : 0) | (definition.forExpression.empty() ? 0 : 0x08));
        writeHeader(f, l.headerOffset, l.rootOffset, definition, options);
        directory.keys.emplace_back(definition.name, l.headerOffset);
        layout_.push_back(l);
    }
    CdxTagLayout dirLayout;
    TagBuilder builder(f, directory);
    uint32_t dirRoot = builder.build(dirLayout);
    put32(f, 0, dirRoot);
    put32(f, 8, changeCounter_);
    put16(f, 12, 10);
    f[14] = 0xE0;
    f[15] = 1;
    put16(f, 504, 1);
    put16(f, 506, 1);
    put16(f, 510, 1);
    if (!cipherKey.empty()) CipherPages(cipherKey, f.data(), f.size(), CipherDirection::Encipher);
    return f;
}

void CdxWriter::write(const std::string& path, const std::string& cipherKey) {
    std::vector<uint8_t> f = image(cipherKey);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(f.data()), static_cast<std::streamsize>(f.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace dbf
