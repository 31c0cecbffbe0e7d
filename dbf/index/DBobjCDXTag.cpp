// A tag's header, its search path and the moves along it. The path holds one decoded page
// per level, from the root down to the current leaf; next and previous move the position
// in the leaf and, at its edge, in the levels above, never following sibling pointers.
// Keys are stored ascending even in descending tags; those only exchange the directions.
#include "dbf/index/DBobjCDXTag.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "dbf/core/ByteView.h"
#include "dbf/core/TableError.h"
#include "dbf/core/TdbDate.h"
#include "dbf/core/XbaseText.h"
#include "dbf/expr/ExpressionError.h"
#include "dbf/index/CdxKeyCompare.h"
#include "dbf/index/DBobjCDXFile.h"
#include "dbf/index/IndexKeyForm.h"

namespace dbf {

namespace {

// Most entries a leaf can hold (entries of at least 2 bytes in its 488-byte area).
constexpr uint64_t kMaxLeafEntries = CdxLeaf::kArea / 2;

}  // namespace

DBobjCDXTag::DBobjCDXTag(DBobjCDXFile& file, std::string name, uint32_t headerOffset, const FieldSource* fields)
    : file_(file), name_(std::move(name)), headerOffset_(headerOffset) {
    path_.reserve(kMaxDepth);
    savedKey_.reserve(kCdxKeyBufferSize);
    readHeader(true, fields);
}

DBobjCDXTag::~DBobjCDXTag() = default;

void DBobjCDXTag::readHeader(bool parseExpressions, const FieldSource* fields) {
    uint8_t raw[kCdxHeaderSize];
    file_.readHeader(headerOffset_, raw);
    ByteView h(raw, sizeof raw, &file_.fullName(), headerOffset_);
    const std::string& file = file_.fullName();
    uint32_t root = h.u32le(CdxTagHeader::kRoot);
    uint16_t keyLength = h.u16le(CdxTagHeader::kKeyLength);
    if (root == 0) raiseIndexDamage(file, headerOffset_, "tag " + name_ + " has no root page");
    if (!isNodePageOffset(root, file_.fileSize()))
        raiseIndexDamage(file, headerOffset_, "the root of tag " + name_ + " at offset " + std::to_string(root) +
                                                  " is not a page inside the file of " +
                                                  std::to_string(file_.fileSize()) + " bytes");
    if (keyLength > kCdxMaxKeyLength)
        raiseIndexDamage(file, headerOffset_, "tag " + name_ + " has key length " + std::to_string(keyLength) +
                                                  ", above 240");
    if (keyLength == 0) raiseIndexDamage(file, headerOffset_, "tag " + name_ + " has key length 0");
    rootOffset_ = root;
    changeCounter_ = h.u32le(CdxTagHeader::kChangeCounter);
    descending_ = h.u16le(CdxTagHeader::kOrder) != 0;
    const std::string collation = upperAscii(h.cstr(CdxTagHeader::kCollation, CdxTagHeader::kCollationSize));
    collation_ = collation == "GENERAL" ? CdxCollation::General
                 : collation == "MACHINE" ? CdxCollation::Machine
                                          : CdxCollation::None;
    uint8_t options = h.u8(CdxTagHeader::kOptions);

    if (parseExpressions) {
        if (!fields) {
            options_ = CdxTagHeader::kDirectoryOptions;
            keyType_ = 'C';
        } else {
            options_ = options;
            std::string_view key = h.cstr(CdxTagHeader::kExpressions, CdxTagHeader::kExpressionsSize);
            if (trimBlanks(key).empty())
                raiseIndexDamage(file, headerOffset_, "tag " + name_ + " has no key expression");
            keyExpression_.assign(key);
            if (hasFor()) {
                size_t at = CdxTagHeader::kExpressions + key.size() + 1;
                if (at < kCdxHeaderSize) forExpression_.assign(h.cstr(at, kCdxHeaderSize - at));
            }
            keyHandler_ = std::make_unique<TdbExpHandler>(keyExpression_, *fields);
            char result = keyHandler_->resultType();
            if (result == 'U') result = keyHandler_->evaluate(*fields).type();
            keyType_ = keyTypeOf(result);
            if (keyType_ == 0) raiseCannotEvaluate();
            if (!trimBlanks(forExpression_).empty())
                forHandler_ = std::make_unique<TdbExpHandler>(forExpression_, *fields);
        }
    }
    format_.keyLength = keyLength;
    format_.character = keyType_ == 'C';
    format_.general = collation_ == CdxCollation::General;
    headerGeneration_ = file_.generation();
}

bool DBobjCDXTag::refreshHeader() {
    if (headerGeneration_ == file_.generation()) return false;
    dropPath();
    readHeader(false, nullptr);
    return true;
}

void DBobjCDXTag::dropPath() noexcept {
    path_.clear();
    currentKey_ = {};
    recNo_ = 0;
    atStorageBeginning_ = false;
    atStorageEnd_ = false;
}

void DBobjCDXTag::countStep() {
    // A sound tree passes each leaf entry once per walk; more steps than the file could
    // hold entries mean pages linked into a cycle or a maze.
    if (++steps_ > (file_.pageCount() + 1) * kMaxLeafEntries)
        raiseIndexDamage(file_.fullName(), path_.empty() ? headerOffset_ : path_.back().page->offset(),
                         "a walk through tag " + name_ + " passed more keys than the file can hold");
}

void DBobjCDXTag::startAtRoot() {
    path_.clear();
    steps_ = 0;
    path_.push_back({file_.page(rootOffset_, format_, headerOffset_), 0});
}

void DBobjCDXTag::enterChild(bool toLast) {
    const DBobjIndexKey& parent = *path_.back().page;
    uint32_t child = parent.child(path_.back().pos);
    size_t limit = static_cast<size_t>(std::min<uint64_t>(kMaxDepth, file_.pageCount()));
    if (path_.size() >= limit)
        raiseIndexDamage(file_.fullName(), parent.offset(),
                         "tag " + name_ + " descends deeper than " + std::to_string(limit) + " levels");
    for (const Level& l : path_)
        if (l.page->offset() == child)
            raiseIndexDamage(file_.fullName(), parent.offset(),
                             "it points back up the tree to page offset " + std::to_string(child));
    CdxPageRef page = file_.page(child, format_, parent.offset());
    size_t pos = toLast && page->count() > 0 ? page->count() - 1 : 0;
    path_.push_back({std::move(page), pos});
    countStep();
}

void DBobjCDXTag::descendEdge(bool toLast) {
    while (!path_.back().page->isLeaf()) enterChild(toLast);
}

void DBobjCDXTag::setAtEnd(bool storageEnd) {
    path_.clear();
    currentKey_ = {};
    recNo_ = 0;
    atStorageEnd_ = storageEnd;
    atStorageBeginning_ = !storageEnd;
}

uint32_t DBobjCDXTag::land() {
    const Level& leaf = path_.back();
    currentKey_ = leaf.page->key(leaf.pos);
    recNo_ = leaf.page->recNo(leaf.pos);
    atStorageBeginning_ = false;
    atStorageEnd_ = false;
    return recNo_;
}

// Leaves the exhausted leaf at the bottom of the path for the neighbouring one in the
// direction given, skipping empty leaves.
uint32_t DBobjCDXTag::climb(bool forward) {
    for (;;) {
        path_.pop_back();
        if (path_.empty()) {
            setAtEnd(forward);
            return 0;
        }
        Level& l = path_.back();
        if (forward) {
            if (l.pos + 1 >= l.page->count()) continue;
            ++l.pos;
        } else {
            if (l.pos == 0) continue;
            --l.pos;
        }
        descendEdge(!forward);
        if (path_.back().page->count() > 0) return land();
        countStep();
    }
}

uint32_t DBobjCDXTag::edgeStorage(bool toLast) {
    startAtRoot();
    if (toLast && path_.back().page->count() > 0) path_.back().pos = path_.back().page->count() - 1;
    descendEdge(toLast);
    if (path_.back().page->count() > 0) return land();
    if (path_.size() == 1) {
        // An empty tag: before its first and past its last key at once.
        setAtEnd(true);
        atStorageBeginning_ = true;
        return 0;
    }
    return climb(!toLast);
}

uint32_t DBobjCDXTag::stepStorage(bool forward) {
    if (path_.empty()) {
        // From either end (or no position) a step back in leads to the nearest edge.
        if (forward && atStorageEnd_) return 0;
        if (!forward && atStorageBeginning_) return 0;
        return edgeStorage(!forward);
    }
    countStep();
    Level& leaf = path_.back();
    if (forward) {
        if (leaf.pos + 1 < leaf.page->count()) {
            ++leaf.pos;
            return land();
        }
    } else if (leaf.pos > 0) {
        --leaf.pos;
        return land();
    }
    return climb(forward);
}

// After another user changed the file the path is stale: find the key the tag stood on
// again and report where the search landed (see seek), or 2 when there was no position.
int DBobjCDXTag::revalidate() {
    if (headerGeneration_ == file_.generation()) return 3;
    bool hadPosition = !path_.empty() && recNo_ != 0;
    savedKey_.assign(currentKey_);
    uint32_t savedRecNo = recNo_;
    bool wasEnd = atStorageEnd_, wasBeginning = atStorageBeginning_;
    refreshHeader();
    if (!hadPosition) {
        atStorageEnd_ = wasEnd;
        atStorageBeginning_ = wasBeginning;
        return 2;
    }
    return seekHeld(savedKey_, savedRecNo, true);
}

uint32_t DBobjCDXTag::step(bool forward) {
    int r = revalidate();
    if (r == -1) {
        // Landed on the key after the vanished one: that is already the next key.
        if (forward) return recNo_;
    } else if (r == 1) {
        if (!forward) return edgeStorage(true);
        return 0;
    }
    return stepStorage(forward);
}

uint32_t DBobjCDXTag::first() {
    revalidate();
    return edgeStorage(descending_);
}

uint32_t DBobjCDXTag::last() {
    revalidate();
    return edgeStorage(!descending_);
}

uint32_t DBobjCDXTag::next() { return step(!descending_); }

uint32_t DBobjCDXTag::previous() { return step(descending_); }

uint32_t DBobjCDXTag::stepForward() { return step(true); }

uint32_t DBobjCDXTag::current() {
    revalidate();
    return recNo_;
}

int DBobjCDXTag::seek(std::string_view key, int64_t recNo, bool exact) {
    if (headerGeneration_ != file_.generation()) refreshHeader();
    return seekHeld(key, recNo, exact);
}

namespace {

// The search key as it meets one page. All keys of a sorted page begin with the page's
// common prefix, so the search key is compared with that once; if it differs there, it
// compares alike with every entry (`all`), otherwise only its rest is compared, first by
// 8-byte prefixes.
struct PageProbe {
    int all = kCdxComparePrefixTie;   // the comparison with every entry, when one settles it
    std::string_view rest;            // the search key past the common prefix
    uint64_t restPrefix = 0;

    PageProbe(const DBobjIndexKey& page, std::string_view key, bool character, CdxPrefixMode mode) {
        size_t common = page.commonPrefix();
        rest = key;
        if (common > 0) {
            std::string_view first = page.key(0);
            size_t m = std::min({key.size(), common, first.size()});
            int c = m > 0 ? std::memcmp(key.data(), first.data(), m) : 0;
            if (c != 0)
                all = c < 0 ? -1 : 1;
            else if (key.size() < common)
                all = character ? static_cast<int>(mode) : -1;
            else
                rest = key.substr(common);
        }
        restPrefix = cdxKeyPrefix(rest);
    }
};

}  // namespace

int DBobjCDXTag::seekHeld(std::string_view key, int64_t recNo, bool exact) {
    const CdxPrefixMode mode = exact ? CdxPrefixMode::Exact : CdxPrefixMode::Partial;
    const bool character = format_.character;
    auto compareAt = [&](const PageProbe& probe, const DBobjIndexKey& page, size_t i) {
        int c = probe.all;
        if (c == kCdxComparePrefixTie) {
            c = cdxComparePrefixes(probe.rest, probe.restPrefix, page.prefix(i), character, mode);
            if (c == kCdxComparePrefixTie) c = cdxCompare(key, page.key(i), character, mode);
        }
        if (c == 0 && recNo >= 0) {
            int64_t r = page.recNo(i);
            if (r < recNo) c = 1;
            else if (r > recNo) c = -1;
        }
        return c;
    };
    // After a move to the next leaf: how the key compares with the key landed on.
    auto landedResult = [&]() {
        const DBobjIndexKey& page = *path_.back().page;
        PageProbe probe(page, key, character, mode);
        return compareAt(probe, page, path_.back().pos) == 0 ? 0 : -1;
    };
    startAtRoot();
    for (;;) {
        Level& l = path_.back();
        const DBobjIndexKey& page = *l.page;
        size_t n = page.count();
        if (n == 0) {
            if (path_.size() == 1) {
                setAtEnd(true);
                return 1;
            }
            // An empty leaf below the root: the first key after it is the one sought.
            if (climb(true) == 0) return 1;
            return landedResult();
        }
        // The first entry the key is not greater than; pages hold ascending keys, so this is
        // where a scan from the first entry would stop.
        PageProbe probe(page, key, character, mode);
        size_t lo = 0, hi = n;
        while (lo < hi) {
            size_t mid = lo + (hi - lo) / 2;
            if (compareAt(probe, page, mid) > 0)
                lo = mid + 1;
            else
                hi = mid;
        }
        if (!page.isLeaf()) {
            l.pos = lo == n ? n - 1 : lo;
            enterChild(false);
            continue;
        }
        if (lo < n) {
            l.pos = lo;
            land();
            return compareAt(probe, page, lo) == 0 ? 0 : -1;
        }
        // Greater than every key of this leaf: the answer, if any, is the next leaf's first.
        l.pos = n - 1;
        if (climb(true) == 0) return 1;
        return landedResult();
    }
}

void DBobjCDXTag::prepareKey(std::string_view text, std::string& out) const {
    if (keyType_ == 'C') {
        out.assign(trimRight(text.substr(0, format_.keyLength)));
        return;
    }
    std::string_view t = trimBlanks(text);
    if (keyType_ == 'D') {
        out = numericHeldKey(static_cast<double>(julianFromDtos(t)));
        return;
    }
    char buffer[64];
    size_t n = std::min(t.size(), sizeof buffer - 1);
    std::memcpy(buffer, t.data(), n);
    buffer[n] = '\0';
    out = numericHeldKey(std::strtod(buffer, nullptr));
}

void DBobjCDXTag::prepareKey(const TdbVariant& value, std::string& out) const {
    if (keyTypeOf(value.type()) != keyType_)
        throw ETableError(kNoCode, kNoSubCode, msg::kVariantMismatch);
    out = heldKey(value);
    if (keyType_ == 'C' && out.size() > format_.keyLength) {
        out.resize(trimRight(std::string_view(out).substr(0, format_.keyLength)).size());
    }
}

double DBobjCDXTag::numberOfKey(std::string_view held) noexcept {
    // The held key lacks its trailing zero bytes.
    uint8_t b[kNumericKeyLength] = {};
    std::memcpy(b, held.data(), std::min(held.size(), sizeof b));
    uint64_t bits = ByteView(b).u64be(0);
    // Values >= 0 were stored with the sign bit set, negative ones inverted.
    bits = (bits & 0x8000000000000000ull) ? bits & 0x7FFFFFFFFFFFFFFFull : ~bits;
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

std::string DBobjCDXTag::keyText(std::string_view held) const {
    if (keyType_ == 'C') return std::string(held);
    double v = numberOfKey(held);
    if (keyType_ == 'D') {
        auto julian = static_cast<int32_t>(v);
        return julian == 0 ? std::string() : dtos(julian);
    }
    if (v == 0) v = 0;   // no "-0"
    char buf[40];
    for (int precision = 15; precision <= 17; ++precision) {
        std::snprintf(buf, sizeof buf, "%.*g", precision, v);
        if (std::strtod(buf, nullptr) == v) break;
    }
    return buf;
}

TdbVariant DBobjCDXTag::evaluateKey(const FieldSource& fields) const {
    if (!keyHandler_) raiseCannotEvaluate();
    return keyHandler_->evaluate(fields);
}

}  // namespace dbf
