// Opening a CDX compound index: the tag directory at offset 0 is itself a tag whose keys
// are the tag names and whose record numbers are the offsets of the tag headers. The
// layout of headers and pages is in CdxLayout.h.
#include "dbf/index/DBobjCDXFile.h"

#include <algorithm>
#include <cstring>

#include "dbf/core/ByteView.h"
#include "dbf/core/ByteWriter.h"
#include "dbf/core/Cipher.h"
#include "dbf/core/TableError.h"
#include "dbf/core/XbaseText.h"

namespace dbf {

namespace {

// An index file this short holds nothing yet; it gets an empty tag directory.
constexpr uint64_t kEmptyIndexSize = kCdxPageSize;

// Pages are deciphered as whole cipher units.
static_assert(kCdxPageSize == kCipherPageSize);

}  // namespace

DBobjCDXFile::DBobjCDXFile(const std::string& fullName, const std::string& openPath, bool readWrite, bool shared,
                           std::string cipherKey, const FieldSource& fields)
    : disk_(fullName, openPath, readWrite, shared), baseName_(DBO_DiskFile::baseName(fullName)), cipherKey_(std::move(cipherKey)) {
    if (!cipherKey_.empty()) {
        // Every page is one cipher unit under the same key: the same mask of 512 bytes, which
        // the cipher itself gives for a page of zeros.
        pageMask_.assign(kCdxPageSize, 0);
        Cipher(cipherKey_, pageMask_.data(), pageMask_.data(), kCdxPageSize, CipherDirection::Encipher);
    }
    fileSize_ = disk_.fileSize();
    if (fileSize_ <= kEmptyIndexSize) {
        if (!disk_.readWrite()) return;
        writeEmptyDirectory();
        fileSize_ = disk_.fileSize();
    }
    readDirectory(fields);
}

DBobjCDXFile::~DBobjCDXFile() = default;

// A directory header whose root is an empty leaf at 1024: entries of 3 bytes, 16 bits of
// record number (the header offsets), 4 each of duplicate and trailing count.
void DBobjCDXFile::writeEmptyDirectory() {
    uint8_t image[kCdxHeaderSize + kCdxPageSize] = {};
    ByteWriter header(image, kCdxHeaderSize);
    header.putU32le(CdxTagHeader::kRoot, kCdxHeaderSize);
    header.putU16le(CdxTagHeader::kKeyLength, CdxTagHeader::kDirectoryKeyLength);
    header.putU8(CdxTagHeader::kOptions, CdxTagHeader::kDirectoryOptions);
    header.putU8(CdxTagHeader::kSignature, CdxTagHeader::kSignatureValue);
    ByteWriter leaf(image + kCdxHeaderSize, kCdxPageSize);
    leaf.putU16le(CdxNode::kAttributes, CdxNode::kAttributeLeaf | CdxNode::kAttributeRoot);
    leaf.putU32le(CdxNode::kLeftSibling, kCdxNoPage);
    leaf.putU32le(CdxNode::kRightSibling, kCdxNoPage);
    leaf.putU16le(CdxLeaf::kFreeBytes, CdxLeaf::kArea);
    leaf.putU32le(CdxLeaf::kRecNoMask, 0xFFFF);
    leaf.putU8(CdxLeaf::kDupMask, 0x0F);
    leaf.putU8(CdxLeaf::kTrailMask, 0x0F);
    leaf.putU8(CdxLeaf::kRecNoBits, 16);
    leaf.putU8(CdxLeaf::kDupBits, 4);
    leaf.putU8(CdxLeaf::kTrailBits, 4);
    leaf.putU8(CdxLeaf::kEntryBytes, 3);
    CipherPages(cipherKey_, image, sizeof image, CipherDirection::Encipher);
    disk_.write(0, image, sizeof image);
}

void DBobjCDXFile::readDirectory(const FieldSource& fields) {
    uint8_t header[kCdxHeaderSize];
    readHeader(0, header);
    changeCounter_ = ByteView(header).u32le(CdxTagHeader::kChangeCounter);
    // The counter's bytes as they stand on disk.
    constexpr size_t kUpToCounter = CdxTagHeader::kChangeCounter + sizeof storedCounter_;
    Cipher(cipherKey_, header, header, kUpToCounter, CipherDirection::Encipher);
    std::memcpy(storedCounter_, header + CdxTagHeader::kChangeCounter, sizeof storedCounter_);
    Cipher(cipherKey_, header, header, kUpToCounter, CipherDirection::Decipher);
    std::string dirName(baseName_);
    if (auto dot = dirName.rfind('.'); dot != std::string::npos) dirName.resize(dot);
    directory_ = std::make_unique<DBobjCDXTag>(*this, dirName, 0, nullptr);

    // Tag names come out of the directory in key (alphabetical) order.
    std::vector<std::pair<std::string, uint32_t>> entries;
    for (uint32_t rec = directory_->first(); rec != 0; rec = directory_->next()) {
        entries.emplace_back(upperAscii(directory_->currentKey()), rec);
    }
    directory_->dropPath();
    // Each tag has a header of its own; a directory that names one header many times could
    // otherwise make a small file open as a great many tags.
    std::vector<uint32_t> offsets;
    offsets.reserve(entries.size());
    for (const auto& entry : entries) offsets.push_back(entry.second);
    std::sort(offsets.begin(), offsets.end());
    if (auto twice = std::adjacent_find(offsets.begin(), offsets.end()); twice != offsets.end())
        raiseIndexDamage(fullName(), *twice, "the tag directory names this tag header more than once");
    for (auto& [name, offset] : entries) {
        if (name.empty()) raiseIndexDamage(fullName(), 0, "the tag directory holds a tag without a name");
        tags_.push_back(std::make_unique<DBobjCDXTag>(*this, name, offset, &fields));
    }
}

DBobjCDXTag* DBobjCDXFile::findTag(std::string_view name) const noexcept {
    for (const auto& t : tags_)
        if (equalNoCase(t->name(), name)) return t.get();
    return nullptr;
}

void DBobjCDXFile::readHeader(uint32_t offset, uint8_t* out) {
    if (offset % kCdxPageSize != 0 || offset > fileSize_ || fileSize_ - offset < kCdxHeaderSize)
        raiseIndexDamage(fullName(), offset, "a tag header of 1024 bytes does not fit in the file of " +
                                                 std::to_string(fileSize_) + " bytes here");
    size_t got = disk_.read(offset, out, kCdxHeaderSize);
    if (got != kCdxHeaderSize)
        raiseIndexDamage(fullName(), offset, "short read of a tag header: " + std::to_string(got) + " of 1024 bytes");
    CipherPages(cipherKey_, out, kCdxHeaderSize, CipherDirection::Decipher);
}

bool DBobjCDXFile::refreshIfChanged() {
    // The cipher maps each byte position one to one, so the counter changed exactly when its
    // stored (enciphered) bytes did; they are compared as they stand.
    uint8_t stored[4];
    size_t got = disk_.read(CdxTagHeader::kChangeCounter, stored, sizeof stored);
    if (got != sizeof stored)
        raiseIndexDamage(fullName(), 0, "short read of the directory header: " + std::to_string(got) + " of 4 bytes");
    if (std::memcmp(stored, storedCounter_, sizeof stored) == 0) return false;
    std::memcpy(storedCounter_, stored, sizeof stored);
    uint8_t head[CdxTagHeader::kChangeCounter + sizeof stored] = {};
    std::memcpy(head + CdxTagHeader::kChangeCounter, stored, sizeof stored);
    Cipher(cipherKey_, head, head, sizeof head, CipherDirection::Decipher);
    changeCounter_ = ByteView(head).u32le(CdxTagHeader::kChangeCounter);
    ++generation_;
    cache_.clear();
    fileSize_ = disk_.fileSize();
    return true;
}

void DBobjCDXFile::decipherPage(uint8_t* page) const noexcept {
    if (pageMask_.empty()) return;
    for (size_t i = 0; i < kCdxPageSize; i += sizeof(uint64_t)) {
        uint64_t word, mask;
        std::memcpy(&word, page + i, sizeof word);
        std::memcpy(&mask, pageMask_.data() + i, sizeof mask);
        word ^= mask;
        std::memcpy(page + i, &word, sizeof word);
    }
}

CdxPageRef DBobjCDXFile::page(uint32_t offset, const CdxKeyFormat& format, uint32_t referrer) {
    if (CdxPageRef hit = cache_.find(offset, format)) return hit;
    if (!isNodePageOffset(offset, fileSize_)) {
        // The file may have grown since its size was taken.
        if (offset % kCdxPageSize == 0 && offset >= kCdxHeaderSize) fileSize_ = disk_.fileSize();
        if (!isNodePageOffset(offset, fileSize_))
            raiseIndexDamage(fullName(), referrer, "it points to page offset " + std::to_string(offset) +
                                                       ", which is not a page inside the file of " +
                                                       std::to_string(fileSize_) + " bytes");
    }
    size_t got = disk_.read(offset, pageBuffer_, kCdxPageSize);
    if (got != kCdxPageSize)
        raiseIndexDamage(fullName(), offset, "short read of an index page: " + std::to_string(got) + " of 512 bytes");
    decipherPage(pageBuffer_);
    std::unique_ptr<DBobjIndexKey> decoded = cache_.spare();
    decoded->decode(pageBuffer_, offset, format, fullName());
    return cache_.insert(std::move(decoded));
}

}  // namespace dbf
