// The bounded cache of decoded index pages.
#include "CdxPageCache.h"

#include <utility>

namespace dbf {

std::shared_ptr<const DBobjIndexKey> CdxPageCache::find(uint32_t offset, const CdxKeyFormat& format) {
    auto it = map_.find(offset);
    if (it == map_.end()) return nullptr;
    // A page read under another tag's key format (two tags sharing a page can only be a
    // damaged file) is not this one.
    if (!(it->second->page->format() == format)) return nullptr;
    if (it->second != lru_.begin()) lru_.splice(lru_.begin(), lru_, it->second);
    return it->second->page;
}

std::shared_ptr<DBobjIndexKey> CdxPageCache::spare() {
    if (spare_ && spare_.use_count() == 1) return std::exchange(spare_, nullptr);
    return std::make_shared<DBobjIndexKey>();
}

void CdxPageCache::insert(std::shared_ptr<DBobjIndexKey> page) {
    uint32_t offset = page->offset();
    auto old = map_.find(offset);
    if (old != map_.end()) evict(old->second);
    size_t bytes = page->footprint();
    lru_.push_front({std::move(page), bytes});
    map_[offset] = lru_.begin();
    bytes_ += bytes;
    trim();
}

void CdxPageCache::evict(std::list<Slot>::iterator it) {
    bytes_ -= it->bytes;
    map_.erase(it->page->offset());
    if (it->page.use_count() == 1) spare_ = std::move(it->page);
    lru_.erase(it);
}

void CdxPageCache::trim() {
    while (bytes_ > budget_ && lru_.size() > 1) evict(std::prev(lru_.end()));
}

void CdxPageCache::clear() noexcept {
    map_.clear();
    lru_.clear();
    bytes_ = 0;
}

void CdxPageCache::setBudget(size_t bytes) {
    budget_ = bytes;
    trim();
}

}  // namespace dbf
