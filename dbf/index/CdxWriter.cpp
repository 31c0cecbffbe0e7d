// Building a CDX file bottom-up: the keys of a tag fill compressed leaves in order, each
// level above holds the last key, record number and offset of every page below it, until
// one page is left, the root. Pages and headers are laid out as CdxLayout.h describes.
#include "dbf/index/CdxWriter.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>
#include <string_view>

#include "dbf/core/ByteWriter.h"
#include "dbf/core/Cipher.h"
#include "dbf/index/CdxLayout.h"

namespace dbf {

namespace {

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
        uint8_t& attributes = f_[root + CdxNode::kAttributes];
        attributes = static_cast<uint8_t>(attributes | CdxNode::kAttributeRoot);
        return root;
    }

private:
    uint32_t newPage() {
        auto at = static_cast<uint32_t>(f_.size());
        f_.resize(f_.size() + kCdxPageSize, 0);
        return at;
    }
    ByteWriter pageAt(uint32_t offset) { return ByteWriter(f_.data() + offset, kCdxPageSize); }
    // Links the page before `page` on the same level to it.
    void linkRight(const std::vector<Node>& nodes, uint32_t page) {
        if (!nodes.empty()) pageAt(nodes.back().offset).putU32le(CdxNode::kRightSibling, page);
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
            ByteWriter p = pageAt(page);
            p.putU16le(CdxNode::kAttributes, CdxNode::kAttributeLeaf);
            p.putU32le(CdxNode::kLeftSibling, nodes.empty() ? kCdxNoPage : nodes.back().offset);
            p.putU32le(CdxNode::kRightSibling, kCdxNoPage);
            p.putU32le(CdxLeaf::kRecNoMask, recMask);
            p.putU8(CdxLeaf::kDupMask, static_cast<uint8_t>(countMask));
            p.putU8(CdxLeaf::kTrailMask, static_cast<uint8_t>(countMask));
            p.putU8(CdxLeaf::kRecNoBits, static_cast<uint8_t>(recBits));
            p.putU8(CdxLeaf::kDupBits, static_cast<uint8_t>(countBits));
            p.putU8(CdxLeaf::kTrailBits, static_cast<uint8_t>(countBits));
            p.putU8(CdxLeaf::kEntryBytes, static_cast<uint8_t>(entryBytes));
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
                if (used + entryBytes + piece > CdxLeaf::kArea) break;
                uint64_t entry = uint64_t{keys[i].second} | uint64_t{dup} << recBits |
                                 uint64_t{trail} << (recBits + countBits);
                p.putUle(CdxLeaf::kFirstEntry + count * entryBytes, entry, entryBytes);
                pieceEnd -= piece;
                p.putBytes(pieceEnd, std::string_view(k).substr(dup, piece));
                used += entryBytes + piece;
                ++count;
                prev = &k;
                ++i;
            }
            if (count == 0 && i < keys.size()) throw std::invalid_argument("a key does not fit in a leaf");
            p.putU16le(CdxNode::kKeyCount, static_cast<uint16_t>(count));
            p.putU16le(CdxLeaf::kFreeBytes, static_cast<uint16_t>(CdxLeaf::kArea - used));
            linkRight(nodes, page);
            nodes.push_back({page, count ? keys[i - 1].first : std::string(definition_.keyLength, pad_),
                             count ? keys[i - 1].second : 0});
        } while (i < keys.size());
        return nodes;
    }

    std::vector<Node> writeInterior(const std::vector<Node>& below) {
        const size_t entrySize = definition_.keyLength + CdxInterior::kEntryNumbers;
        const size_t perPage = CdxInterior::kArea / entrySize;
        if (perPage < 2) throw std::invalid_argument("key too long for interior pages");
        std::vector<Node> nodes;
        for (size_t i = 0; i < below.size();) {
            size_t n = std::min(perPage, below.size() - i);
            // Never leave a single child for the last page of a level when it can be helped.
            if (below.size() - i - n == 1 && n > 2) --n;
            uint32_t page = newPage();
            ByteWriter p = pageAt(page);
            p.putU16le(CdxNode::kAttributes, 0);
            p.putU16le(CdxNode::kKeyCount, static_cast<uint16_t>(n));
            p.putU32le(CdxNode::kLeftSibling, nodes.empty() ? kCdxNoPage : nodes.back().offset);
            p.putU32le(CdxNode::kRightSibling, kCdxNoPage);
            for (size_t e = 0; e < n; ++e) {
                const Node& c = below[i + e];
                size_t at = CdxInterior::kFirstEntry + e * entrySize;
                p.putBytes(at, c.lastKey);
                p.putU32be(at + definition_.keyLength, c.lastRecNo);
                p.putU32be(at + definition_.keyLength + 4, c.offset);
            }
            linkRight(nodes, page);
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
    ByteWriter h(f.data() + at, kCdxHeaderSize);
    h.putU32le(CdxTagHeader::kRoot, root);
    h.putU16le(CdxTagHeader::kKeyLength, definition.keyLength);
    h.putU8(CdxTagHeader::kOptions, options);
    h.putU8(CdxTagHeader::kSignature, CdxTagHeader::kSignatureValue);
    h.putU16le(CdxTagHeader::kOrder, definition.descending ? 1 : 0);
    size_t keyLen = definition.keyExpression.size() + 1;
    size_t forLen = definition.forExpression.size() + 1;
    if (keyLen + forLen > CdxTagHeader::kExpressionsSize) throw std::invalid_argument("tag expressions too long");
    h.putU16le(CdxTagHeader::kForStart, static_cast<uint16_t>(keyLen));   // the FOR expression follows the key's
    h.putU16le(CdxTagHeader::kForLength, static_cast<uint16_t>(forLen));
    h.putU16le(CdxTagHeader::kKeyStart, 0);
    h.putU16le(CdxTagHeader::kKeyExpressionLength, static_cast<uint16_t>(keyLen));
    h.putBytes(CdxTagHeader::kExpressions, definition.keyExpression);
    h.putBytes(CdxTagHeader::kExpressions + keyLen, definition.forExpression);
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
    directory.keyLength = CdxTagHeader::kDirectoryKeyLength;
    for (const CdxTagDefinition& definition : tags_) {
        CdxTagLayout l;
        l.name = definition.name;
        l.headerOffset = static_cast<uint32_t>(f.size());
        f.resize(f.size() + kCdxHeaderSize, 0);
        TagBuilder builder(f, definition);
        l.rootOffset = builder.build(l);
        uint8_t options = static_cast<uint8_t>(CdxTagHeader::kTagOptions |
                                               (definition.unique ? CdxTagHeader::kOptionUnique : 0) |
                                               (definition.forExpression.empty() ? 0 : CdxTagHeader::kOptionFor));
        writeHeader(f, l.headerOffset, l.rootOffset, definition, options);
        directory.keys.emplace_back(definition.name, l.headerOffset);
        layout_.push_back(l);
    }
    CdxTagLayout dirLayout;
    TagBuilder builder(f, directory);
    uint32_t dirRoot = builder.build(dirLayout);
    ByteWriter h(f.data(), kCdxHeaderSize);
    h.putU32le(CdxTagHeader::kRoot, dirRoot);
    h.putU32le(CdxTagHeader::kChangeCounter, changeCounter_);
    h.putU16le(CdxTagHeader::kKeyLength, CdxTagHeader::kDirectoryKeyLength);
    h.putU8(CdxTagHeader::kOptions, CdxTagHeader::kDirectoryOptions);
    h.putU8(CdxTagHeader::kSignature, CdxTagHeader::kSignatureValue);
    // No expressions: the FOR expression's place and both lengths count the NUL alone.
    h.putU16le(CdxTagHeader::kForStart, 1);
    h.putU16le(CdxTagHeader::kForLength, 1);
    h.putU16le(CdxTagHeader::kKeyExpressionLength, 1);
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
