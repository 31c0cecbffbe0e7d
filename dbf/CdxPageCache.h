// Decoded index pages kept between lookups, so that a search that runs down the same upper
// levels of a tree again does not read and decode them again. Bounded by a memory budget;
// the least recently used pages go first. The owner drops everything when the file was
// changed by someone else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <unordered_map>

#include "DBobjIndexKey.h"

namespace dbf {

class CdxPageCache {
public:
    static constexpr size_t kDefaultBudget = size_t{16} << 20;

    explicit CdxPageCache(size_t budgetBytes = kDefaultBudget) : budget_(budgetBytes) {}

    // The page decoded from `offset` with `format`, or null. A hit becomes the most recent.
    std::shared_ptr<const DBobjIndexKey> find(uint32_t offset, const CdxKeyFormat& format);
    // An object to decode a page into: a page evicted earlier that nobody holds any more,
    // or a new one.
    std::shared_ptr<DBobjIndexKey> spare();
    // Keeps `page` (decoded, keyed by its offset), replacing an older decoding of the same
    // offset, and evicts the least recently used pages beyond the budget (never the new one).
    void insert(std::shared_ptr<DBobjIndexKey> page);
    void clear() noexcept;

    void setBudget(size_t bytes);
    size_t budget() const noexcept { return budget_; }
    size_t pageCount() const noexcept { return map_.size(); }
    size_t bytesHeld() const noexcept { return bytes_; }

private:
    struct Slot {
        std::shared_ptr<DBobjIndexKey> page;
        size_t bytes;
    };
    void evict(std::list<Slot>::iterator it);
    void trim();

    size_t budget_;
    size_t bytes_ = 0;
    std::list<Slot> lru_;   // front: most recently used
    std::unordered_map<uint32_t, std::list<Slot>::iterator> map_;
    std::shared_ptr<DBobjIndexKey> spare_;
};

}  // namespace dbf
