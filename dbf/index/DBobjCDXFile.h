// A CDX compound index file opened on a table: its tag directory, its tags, and the page
// reads (deciphered, decoded, cached) that the tags search through.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/core/DBO_DiskFile.h"
#include "dbf/expr/FieldSource.h"
#include "dbf/index/CdxPageCache.h"
#include "dbf/index/DBobjCDXTag.h"

namespace dbf {

class DBobjCDXFile {
public:
    // Opens `fullName` (upper case, with directory; opened through `openPath`, the same file
    // in its real letter case) with the table's modes and reads its
    // tag directory and every tag header. `cipherKey` is the table's key (empty: plain).
    // A file of 512 bytes or less is an empty index: an empty tag directory is written into
    // it when it is open for writing. Raises ETableError (the system's error when the file
    // cannot be opened, kErrIndexUnreadable when it is unreadable) or ETableExpression;
    // nothing stays open.
    DBobjCDXFile(const std::string& fullName, const std::string& openPath, bool readWrite, bool shared,
                 std::string cipherKey, const FieldSource& fields);
    ~DBobjCDXFile();
    DBobjCDXFile(const DBobjCDXFile&) = delete;
    DBobjCDXFile& operator=(const DBobjCDXFile&) = delete;

    // The full name and the file name without its directory, both upper case.
    const std::string& fullName() const noexcept { return disk_.fileName(); }
    const std::string& fileName() const noexcept { return baseName_; }

    // The tag directory; null for an empty index that could not be written.
    DBobjCDXTag* directory() noexcept { return directory_.get(); }
    const std::vector<std::unique_ptr<DBobjCDXTag>>& tags() const noexcept { return tags_; }
    // The tag called `name` (compared without regard to case), or null.
    DBobjCDXTag* findTag(std::string_view name) const noexcept;

    // Reads the directory header's change counter and, when it differs from the one held,
    // drops every cached page and takes the file's new size: the file was changed by someone
    // else. True when it was. Tags read their headers again at their next use.
    bool refreshIfChanged();
    uint32_t changeCounter() const noexcept { return changeCounter_; }
    // Counts the changes seen, so a tag can tell that its header is out of date.
    uint64_t generation() const noexcept { return generation_; }

    // The node page at `offset`, decoded with `format`. `referrer` is the offset of the page
    // (or tag header) that pointed there, for the error message. An offset off the page grid
    // or beyond the file, and a short read, raise ETableError kErrIndexUnreadable.
    CdxPageRef page(uint32_t offset, const CdxKeyFormat& format, uint32_t referrer);
    // Reads the 1024-byte header at `offset` into `out`, deciphered.
    void readHeader(uint32_t offset, uint8_t* out);
    // Size of the file as last seen.
    uint64_t fileSize() const noexcept { return fileSize_; }
    // Most pages a file of this size can have: the bound of any descent and walk.
    uint64_t pageCount() const noexcept { return fileSize_ / kCdxPageSize; }

    CdxPageCache& cache() noexcept { return cache_; }
    DBO_DiskFile& disk() noexcept { return disk_; }

private:
    void writeEmptyDirectory();
    void decipherPage(uint8_t* page) const noexcept;
    void readDirectory(const FieldSource& fields);

    DBO_DiskFile disk_;
    std::string baseName_;
    std::string cipherKey_;
    std::vector<uint8_t> pageMask_;   // empty for a plain index
    uint64_t fileSize_ = 0;
    uint32_t changeCounter_ = 0;
    uint8_t storedCounter_[4] = {};   // the counter's bytes as they stand in the file
    uint64_t generation_ = 0;
    // Before the tags: their search paths pin pages of the cache until they go.
    CdxPageCache cache_;
    std::unique_ptr<DBobjCDXTag> directory_;
    std::vector<std::unique_ptr<DBobjCDXTag>> tags_;
    uint8_t pageBuffer_[kCdxPageSize] = {};
};

}  // namespace dbf
