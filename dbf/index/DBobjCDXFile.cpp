// Opening a CDX compound index: the tag directory at offset 0 is itself a tag whose keys
// are the tag names and whose record numbers are the offsets of the tag headers.
//
// Tag header (1024 bytes: the header page, then the expression page):
//   OFFSET  SIZE  DESCRIPTION
//   0       4     root page offset; 0 makes the tag unusable
//   4       4     free-page list (not read)
//   8       4     change counter; the directory's tells that another user wrote the file
//   12      2     key length, at most 240
//   14      1     options: 0x01 unique, 0x08 FOR condition, 0x80 tag directory
//   15      1     signature (not read)
//   494     8     collation name, NUL-terminated: "GENERAL", "MACHINE" or none
//   502     2     order: 0 ascending, otherwise descending
//   504     8     expression positions and lengths (not read)
//   512     512   key expression, NUL-terminated; then the FOR expression when 0x08 is set
#include "dbf/index/DBobjCDXFile.h"

#include <algorithm>
#include <cstring>

#include "dbf/core/Cipher.h"
#include "dbf/core/TableError.h"
#include "dbf/core/XbaseText.h"

namespace dbf {

namespace {

// An index file this short holds nothing yet; it gets an empty tag directory.
constexpr uint64_t kEmptyIndexSize = 512;
constexpr uint16_t kDirectoryKeyLength = 10;

void putU16le(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void putU32le(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

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

// A directory header (key length 10, options 0xE0) whose root is an empty leaf at 1024.
void DBobjCDXFile::writeEmptyDirectory() {
    uint8_t image[kCdxHeaderSize + kCdxPageSize] = {};
    putU32le(image + 0, kCdxHeaderSize);
    putU16le(image + 12, kDirectoryKeyLength);
    image[14] = 0xE0;
    image[15] = 0x01;
    uint8_t* leaf = image + kCdxHeaderSize;
    putU16le(leaf + 0, 3);
    putU32le(leaf + 4, kCdxNoPage);
    putU32le(leaf + 8, kCdxNoPage);
    putU16le(leaf + 12, kCdxPageSize - 24);
    putU32le(leaf + 14, 0xFFFF);
    leaf[18] = 0x0F;
    leaf[19] = 0x0F;
    leaf[20] = 16;
    leaf[21] = 4;
    leaf[22] = 4;
    leaf[23] = 3;
    CipherPages(cipherKey_, image, sizeof image, CipherDirection::Encipher);
    disk_.write(0, image, sizeof image);
}

void DBobjCDXFile::readDirectory(const FieldSource& fields) {
    uint8_t header[kCdxHeaderSize];
    readHeader(0, header);
    changeCounter_ = static_cast<uint32_t>(header[8] | header[9] << 8 | header[10] << 16 | uint32_t{header[11]} << 24);
    Cipher(cipherKey_, header, header, 12, CipherDirection::Encipher);   // back to the bytes on disk
    std::memcpy(storedCounter_, header + 8, sizeof storedCounter_);
    Cipher(cipherKey_, header, header, 12, CipherDirection::Decipher);
    std::string dirName(baseName_);
    if (auto dot = dirName.rfind('.'); dot != std::string::npos) dirName.resize(dot);
    directory_ = std::make_unique<DBobjCDXTag>(*this, dirName, 0, nullptr);

    // Tag names come out of the directory in key (alphabetical) order.
    std::vector<std::pair<std::string, uint32_t>> entries;
    for (uint32_t rec = directory_->first(); rec != 0; rec = directory_->next()) {
        std::string name(directory_->currentKey());
        for (char& c : name)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        entries.emplace_back(std::move(name), rec);
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
    size_t got = disk_.read(8, stored, sizeof stored);
    if (got != sizeof stored)
        raiseIndexDamage(fullName(), 0, "short read of the directory header: " + std::to_string(got) + " of 4 bytes");
    if (std::memcmp(stored, storedCounter_, sizeof stored) == 0) return false;
    std::memcpy(storedCounter_, stored, sizeof stored);
    uint8_t head[12] = {};
    std::memcpy(head + 8, stored, sizeof stored);
    Cipher(cipherKey_, head, head, sizeof head, CipherDirection::Decipher);
    changeCounter_ = uint32_t{head[8]} | uint32_t{head[9]} << 8 | uint32_t{head[10]} << 16 | uint32_t{head[11]} << 24;
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
