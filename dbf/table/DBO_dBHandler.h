// The table handler: a table with its open index files, the active tag, ordered navigation
// and the key search that a data set's Find runs.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "dbf/index/DBobjCDXFile.h"
#include "dbf/index/DBobjCDXTag.h"
#include "dbf/table/DBO_dBaseFld.h"
#include "dbf/table/TableFieldSource.h"

namespace dbf {

class DBO_dBHandler : public DBO_dBaseFld {
public:
    static constexpr int kMaxIndexFiles = 63;
    // OpenIndexFile results.
    static constexpr int kIndexOpened = 0;
    static constexpr int kIndexAlreadyOpen = -1;

    // Opens the table as DBO_dBaseDBF does.
    DBO_dBHandler(const std::string& fileName, bool readWrite, bool shared, const std::string& key = {});
    ~DBO_dBHandler() override;

    // Opens the index file `name` on this table: upper case, the table's directory when the
    // name has none, ".CDX" when it has no extension. Returns 0, or -1 (and does nothing)
    // when an index file of the same file name is already open. Raises ETableError for a
    // file that cannot be opened (the system's error, kErrFileNotFound when it does not
    // exist) or is unreadable (kErrIndexUnreadable), ETableExpression for a tag expression
    // that cannot be used; a failed open leaves the other index files and the active tag as
    // they were.
    int OpenIndexFile(const std::string& name);
    // Closes every index file; the table returns to record order.
    void CloseIndexFiles() noexcept;

    // Makes the tag `name` active and goes to the first record in its order; returns the
    // slot (1..63) of the file holding it. An empty name selects record order (returns 0).
    // Raises ETableError "Cannot find index tag %s" when no open file has the tag; the
    // previous order then stays active.
    int SelectTag(const std::string& name);

    // Searches `key` on the active tag with the exact and near flags set beforehand. True
    // when found: the table stands on the first record (not deleted, unless deleted records
    // are used) carrying the key. Otherwise, with the near flag, on the record of the first
    // greater key, or on the last record in key order with end-of-file set when there is
    // none; without it, on the last record in key order with end-of-file set.
    bool FindKey(std::string_view key);

    // Record numbers read that record (no skipping) and bring the active tag to it; steps
    // move in key order while a tag is active, skipping deleted records unless they are used.
    void GetRec(int32_t n) override;

    void setExact(bool on) noexcept { exact_ = on; }
    bool exact() const noexcept { return exact_; }
    void setNear(bool on) noexcept { near_ = on; }
    bool nearFlag() const noexcept { return near_; }
    bool found() const noexcept { return found_; }
    // The record last read by number is not in the active tag's order (a FOR tag without it,
    // or a stale index).
    bool outsideTag() const noexcept { return outsideTag_; }

    DBobjCDXTag* activeTag() const noexcept { return activeTag_; }
    const std::string& activeTagName() const noexcept { return activeTagName_; }
    // The index file in slot 1..63, or null.
    DBobjCDXFile* indexFile(int slot) const noexcept;
    int indexFileCount() const noexcept;

    // The current record as expressions see it.
    const FieldSource& fieldSource() const noexcept { return fields_; }

    // Memory budget of each index file's page cache (the default suits a few thousand pages).
    void setIndexCacheBudget(size_t bytes);

private:
    std::string indexFullName(const std::string& name) const;
    // Drops cached pages of a file that another user changed; the tags notice on their own.
    void checkIndexChanged();
    bool rejected() const noexcept { return !useDeleted() && isDeleted(); }
    void readRecord(uint32_t recNo);
    void stepInKeyOrder(int32_t n);
    void goLastWithEof();
    void positionTagAtCurrent();

    TableFieldSource fields_;
    std::array<std::unique_ptr<DBobjCDXFile>, kMaxIndexFiles + 1> files_;   // slot 0 unused
    DBobjCDXTag* activeTag_ = nullptr;
    DBobjCDXFile* activeFile_ = nullptr;
    std::string activeTagName_;
    std::string searchKey_;
    bool exact_ = false;
    bool near_ = false;
    bool found_ = false;
    bool outsideTag_ = false;
    size_t cacheBudget_ = CdxPageCache::kDefaultBudget;
};

}  // namespace dbf
