// Decoded index pages kept between lookups, so that a search that runs down the same upper
// levels of a tree again does not read and decode them again. Bounded by a memory budget;
// pages not used since the clock hand last passed go first. The owner drops everything when
// the file was changed by someone else. A page on a search path is pinned by a CdxPageRef
// and outlives its eviction until the path lets it go; pins are plain counters, since a
// table and its index files are used from one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "dbf/index/DBobjIndexKey.h"

namespace dbf {

class CdxPageCache;

// A pinned decoded page (or none).
class CdxPageRef {
public:
    CdxPageRef() = default;
    CdxPageRef(DBobjIndexKey* page, CdxPageCache* cache) noexcept : page_(page), cache_(cache) { pin(); }
    CdxPageRef(const CdxPageRef& o) noexcept : page_(o.page_), cache_(o.cache_) { pin(); }
    CdxPageRef(CdxPageRef&& o) noexcept : page_(o.page_), cache_(o.cache_) { o.page_ = nullptr; }
    CdxPageRef& operator=(const CdxPageRef& o) noexcept {
        if (this != &o) {
            reset();
            page_ = o.page_;
            cache_ = o.cache_;
            pin();
        }
        return *this;
    }
    CdxPageRef& operator=(CdxPageRef&& o) noexcept {
        if (this != &o) {
            reset();
            page_ = o.page_;
            cache_ = o.cache_;
            o.page_ = nullptr;
        }
        return *this;
    }
    ~CdxPageRef() { reset(); }

    const DBobjIndexKey* get() const noexcept { return page_; }
    const DBobjIndexKey* operator->() const noexcept { return page_; }
    const DBobjIndexKey& operator*() const noexcept { return *page_; }
    explicit operator bool() const noexcept { return page_ != nullptr; }
    void reset() noexcept;

private:
    void pin() noexcept {
        if (page_) ++page_->cacheState_.pins;
    }

    DBobjIndexKey* page_ = nullptr;
    CdxPageCache* cache_ = nullptr;
};

class CdxPageCache {
public:
    static constexpr size_t kDefaultBudget = size_t{16} << 20;

    explicit CdxPageCache(size_t budgetBytes = kDefaultBudget) : budget_(budgetBytes) {}
    ~CdxPageCache();
    CdxPageCache(const CdxPageCache&) = delete;
    CdxPageCache& operator=(const CdxPageCache&) = delete;

    // The page decoded from `offset` with `format`, or none. A hit is marked as used.
    CdxPageRef find(uint32_t offset, const CdxKeyFormat& format) noexcept;
    // An object to decode a page into (a recycled one when there is one); hand it to
    // insert() or back to recycle().
    std::unique_ptr<DBobjIndexKey> spare();
    // Keeps the decoded `page` under its offset, replacing an older decoding of that offset,
    // evicts pages beyond the budget (never the new one) and returns it pinned.
    CdxPageRef insert(std::unique_ptr<DBobjIndexKey> page);
    void clear() noexcept;

    void setBudget(size_t bytes);
    size_t budget() const noexcept { return budget_; }
    size_t pageCount() const noexcept { return resident_.size(); }
    size_t bytesHeld() const noexcept { return bytes_; }

private:
    friend class CdxPageRef;
    // A page nobody pins and the cache no longer holds.
    void recycle(DBobjIndexKey* page) noexcept;
    void detach(DBobjIndexKey* page) noexcept;
    void trim(const DBobjIndexKey* keep) noexcept;

    size_t budget_;
    size_t bytes_ = 0;
    std::vector<DBobjIndexKey*> byPage_;     // indexed by offset / 512; null when not held
    std::vector<DBobjIndexKey*> resident_;   // the pages held, in no order; the clock runs here
    size_t hand_ = 0;
    std::vector<DBobjIndexKey*> spares_;
};

inline void CdxPageRef::reset() noexcept {
    if (page_ && --page_->cacheState_.pins == 0 && !page_->cacheState_.held) cache_->recycle(page_);
    page_ = nullptr;
}

}  // namespace dbf
