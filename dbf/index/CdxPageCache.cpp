// The bounded cache of decoded index pages.
#include "dbf/index/CdxPageCache.h"

namespace dbf {

namespace {
constexpr size_t kMaxSpares = 8;
}

CdxPageCache::~CdxPageCache() {
    clear();
    for (DBobjIndexKey* p : spares_) delete p;
}

CdxPageRef CdxPageCache::find(uint32_t offset, const CdxKeyFormat& format) noexcept {
    size_t n = offset / kCdxPageSize;
    if (n >= byPage_.size()) return {};
    DBobjIndexKey* p = byPage_[n];
    // A page read under another tag's key format (two tags sharing a page can only be a
    // damaged file) is not this one.
    if (!p || !(p->format() == format)) return {};
    p->cacheState_.used = true;
    return CdxPageRef(p, this);
}

std::unique_ptr<DBobjIndexKey> CdxPageCache::spare() {
    if (!spares_.empty()) {
        DBobjIndexKey* p = spares_.back();
        spares_.pop_back();
        return std::unique_ptr<DBobjIndexKey>(p);
    }
    return std::make_unique<DBobjIndexKey>();
}

CdxPageRef CdxPageCache::insert(std::unique_ptr<DBobjIndexKey> owned) {
    DBobjIndexKey* page = owned.release();
    size_t n = page->offset() / kCdxPageSize;
    if (n >= byPage_.size()) byPage_.resize(n + 1, nullptr);
    if (byPage_[n]) detach(byPage_[n]);
    page->cacheState_ = {};
    page->cacheState_.held = true;
    page->cacheState_.used = true;
    page->cacheState_.bytes = static_cast<uint32_t>(page->footprint());
    page->cacheState_.slot = static_cast<uint32_t>(resident_.size());
    resident_.push_back(page);
    byPage_[n] = page;
    bytes_ += page->cacheState_.bytes;
    CdxPageRef ref(page, this);
    trim(page);
    return ref;
}

void CdxPageCache::detach(DBobjIndexKey* page) noexcept {
    DBobjIndexKey::CacheState& s = page->cacheState_;
    byPage_[page->offset() / kCdxPageSize] = nullptr;
    DBobjIndexKey* last = resident_.back();
    resident_[s.slot] = last;
    last->cacheState_.slot = s.slot;
    resident_.pop_back();
    bytes_ -= s.bytes;
    s.held = false;
    if (s.pins == 0) recycle(page);
}

void CdxPageCache::recycle(DBobjIndexKey* page) noexcept {
    if (spares_.size() < kMaxSpares) {
        try {
            spares_.push_back(page);
            return;
        } catch (...) {
        }
    }
    delete page;
}

// The clock: a page used since the hand last passed gets another round.
void CdxPageCache::trim(const DBobjIndexKey* keep) noexcept {
    while (bytes_ > budget_ && resident_.size() > 1) {
        if (hand_ >= resident_.size()) hand_ = 0;
        DBobjIndexKey* p = resident_[hand_];
        if (p == keep || p->cacheState_.used) {
            p->cacheState_.used = false;
            ++hand_;
            continue;
        }
        detach(p);   // the last page moved into this slot; the hand stays
    }
}

void CdxPageCache::clear() noexcept {
    while (!resident_.empty()) detach(resident_.back());
    byPage_.clear();
    hand_ = 0;
}

void CdxPageCache::setBudget(size_t bytes) {
    budget_ = bytes;
    trim(nullptr);
}

}  // namespace dbf
