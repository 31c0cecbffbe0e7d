// One tag of a CDX compound index: its header facts, its key expression and its search path
// through the B-tree, along which it seeks keys and steps from key to key.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/core/TdbVariant.h"
#include "dbf/expr/FieldSource.h"
#include "dbf/expr/TdbExpHandler.h"
#include "dbf/index/CdxPageCache.h"
#include "dbf/index/DBobjIndexKey.h"

namespace dbf {

class DBobjCDXFile;

enum class CdxCollation { None, Machine, General };

class DBobjCDXTag {
public:
    // No search path may be deeper than this, whatever the file size would allow.
    static constexpr size_t kMaxDepth = 64;

    // Reads and checks the 1024-byte header at `headerOffset` of `file`. `fields` is the
    // table's record view for the key and FOR expressions; null for the tag directory, which
    // has no expression and character keys. A damaged header raises ETableError
    // kErrIndexUnreadable; an expression that cannot be parsed or evaluated raises
    // ETableExpression.
    DBobjCDXTag(DBobjCDXFile& file, std::string name, uint32_t headerOffset, const FieldSource* fields);
    ~DBobjCDXTag();
    DBobjCDXTag(const DBobjCDXTag&) = delete;
    DBobjCDXTag& operator=(const DBobjCDXTag&) = delete;

    const std::string& name() const noexcept { return name_; }
    uint32_t headerOffset() const noexcept { return headerOffset_; }
    uint32_t rootOffset() const noexcept { return rootOffset_; }
    uint16_t keyLength() const noexcept { return format_.keyLength; }
    uint32_t interiorEntrySize() const noexcept { return format_.keyLength + uint32_t{CdxInterior::kEntryNumbers}; }
    uint32_t maxInteriorEntries() const noexcept { return uint32_t{CdxInterior::kArea} / interiorEntrySize(); }
    // 'C' (character and logical results), 'N' or 'D'.
    char keyType() const noexcept { return keyType_; }
    bool unique() const noexcept { return (options_ & CdxTagHeader::kOptionUnique) != 0; }
    bool hasFor() const noexcept { return (options_ & CdxTagHeader::kOptionFor) != 0; }
    bool descending() const noexcept { return descending_; }
    CdxCollation collation() const noexcept { return collation_; }
    uint32_t changeCounter() const noexcept { return changeCounter_; }
    const std::string& keyExpression() const noexcept { return keyExpression_; }
    const std::string& forExpression() const noexcept { return forExpression_; }
    const TdbExpHandler* keyHandler() const noexcept { return keyHandler_.get(); }
    const TdbExpHandler* forHandler() const noexcept { return forHandler_.get(); }
    const CdxKeyFormat& keyFormat() const noexcept { return format_; }

    // Positioning in key order (a descending tag exchanges first and last, next and
    // previous, and its beginning and end). Each returns the record number of the key
    // reached, or 0 at either end.
    uint32_t first();
    uint32_t last();
    uint32_t next();
    uint32_t previous();
    uint32_t current();

    // The descent: stands on the first key that `key` (held form, see prepareKey) is not
    // greater than, with `recNo` (-1: none) breaking ties between equal keys, prefixes
    // counting as equal unless `exact`. Returns -1 (landed on a greater key), 0 (on an equal
    // key) or 1 (greater than every key: the tag is at its end, in storage order).
    int seek(std::string_view key, int64_t recNo, bool exact);
    // Moves one key on in storage order, ascending keys whatever the tag's order.
    uint32_t stepForward();

    // The key the tag stands on (held form) and its record number (0 at either end).
    uint32_t recNo() const noexcept { return recNo_; }
    std::string_view currentKey() const noexcept { return currentKey_; }
    bool atBeginning() const noexcept { return descending_ ? atStorageEnd_ : atStorageBeginning_; }
    bool atEnd() const noexcept { return descending_ ? atStorageBeginning_ : atStorageEnd_; }

    // The held search key for `text` as a caller gives it: character keys without trailing
    // blanks and cut to the key length; numeric keys from the number the text reads as; date
    // keys from "YYYYMMDD" (blank: the empty date).
    void prepareKey(std::string_view text, std::string& out) const;
    // The held key for an expression value; raises ETableError "Variant types mismatch for
    // compare" when the value's type is not the tag's key type.
    void prepareKey(const TdbVariant& value, std::string& out) const;
    // A held key as text: character keys as they are, numbers in the shortest form that
    // reads back to the same value, dates as "YYYYMMDD" (empty for the blank date).
    std::string keyText(std::string_view held) const;
    // The number held in a numeric or date key.
    static double numberOfKey(std::string_view held) noexcept;

    // The key expression for the record `fields` stands on.
    TdbVariant evaluateKey(const FieldSource& fields) const;

    // Forgets the search path (the tag is then at neither end).
    void dropPath() noexcept;
    // Reads the header again when the file was changed by someone else since it was read,
    // and forgets the path. True when it did.
    bool refreshHeader();

private:
    struct Level {
        CdxPageRef page;
        size_t pos = 0;
    };

    void readHeader(bool parseExpressions, const FieldSource* fields);
    // Descends from the current bottom of the path, taking each page's first (or last)
    // entry, until a leaf is entered.
    void descendEdge(bool toLast);
    void enterChild(bool toLast);
    void startAtRoot();
    // Makes the leaf entry at the bottom of the path the current key.
    uint32_t land();
    uint32_t climb(bool forward);
    uint32_t stepStorage(bool forward);
    uint32_t edgeStorage(bool toLast);
    uint32_t step(bool forward);
    int revalidate();
    int seekHeld(std::string_view key, int64_t recNo, bool exact);
    void setAtEnd(bool storageEnd);
    void countStep();

    DBobjCDXFile& file_;
    std::string name_;
    uint32_t headerOffset_;
    uint32_t rootOffset_ = 0;
    uint8_t options_ = 0;
    uint32_t changeCounter_ = 0;
    bool descending_ = false;
    CdxCollation collation_ = CdxCollation::None;
    char keyType_ = 'C';
    CdxKeyFormat format_;
    std::string keyExpression_;
    std::string forExpression_;
    std::unique_ptr<TdbExpHandler> keyHandler_;
    std::unique_ptr<TdbExpHandler> forHandler_;
    uint64_t headerGeneration_ = 0;

    std::vector<Level> path_;
    std::string_view currentKey_;
    uint32_t recNo_ = 0;
    std::string savedKey_;
    bool atStorageBeginning_ = false;
    bool atStorageEnd_ = false;
    // Keys and pages passed since the last positioning: a walk over a file whose pages are
    // linked into a maze stops once it has passed more than the file could hold.
    uint64_t steps_ = 0;
};

}  // namespace dbf
