// The table handler: index files in slots, the active tag, key-order navigation and FindKey.
#include "dbf/table/DBO_dBHandler.h"

#include "dbf/core/TableError.h"
#include "dbf/core/XbaseText.h"
#include "dbf/index/CdxKeyCompare.h"

namespace dbf {

namespace {

// The directory part of `path`, its last separator included; empty when there is none.
std::string_view directoryOf(std::string_view path) noexcept {
    size_t cut = path.find_last_of("\\/:");
    return cut == std::string_view::npos ? std::string_view{} : path.substr(0, cut + 1);
}

std::string_view extensionOf(std::string_view name) noexcept {
    std::string_view base = DBO_DiskFile::baseName(name);
    size_t dot = base.rfind('.');
    return dot == std::string_view::npos ? std::string_view{} : base.substr(dot);
}

}  // namespace

DBO_dBHandler::DBO_dBHandler(const std::string& fileName, bool readWrite, bool shared, const std::string& key)
    : DBO_dBaseFld(fileName, readWrite, shared, key), fields_(*this) {
    searchKey_.reserve(kCdxKeyBufferSize);
}

DBO_dBHandler::~DBO_dBHandler() = default;

DBobjCDXFile* DBO_dBHandler::indexFile(int slot) const noexcept {
    if (slot < 1 || slot > kMaxIndexFiles) return nullptr;
    return files_[static_cast<size_t>(slot)].get();
}

int DBO_dBHandler::indexFileCount() const noexcept {
    int n = 0;
    for (const auto& f : files_)
        if (f) ++n;
    return n;
}

void DBO_dBHandler::setIndexCacheBudget(size_t bytes) {
    cacheBudget_ = bytes;
    for (auto& f : files_)
        if (f) f->cache().setBudget(bytes);
}

std::string DBO_dBHandler::indexFullName(const std::string& name) const {
    std::string_view n = trimBlanks(name, kBlanksAndTabs);
    std::string withExt(n);
    if (extensionOf(withExt).empty()) withExt += ".CDX";
    if (n.find_first_of("\\/:") != std::string_view::npos) return DBO_DiskFile::expandFileName(withExt, ".CDX");
    return std::string(directoryOf(fileName())) + upperAscii(withExt);
}

int DBO_dBHandler::OpenIndexFile(const std::string& name) {
    std::string full = indexFullName(name);
    std::string_view base = DBO_DiskFile::baseName(full);
    for (const auto& f : files_)
        if (f && equalNoCase(f->fileName(), base)) return kIndexAlreadyOpen;

    std::string ext = upperAscii(extensionOf(base));
    if (ext == ".NTX" || ext == ".MDX" || ext == ".NDX")
        raiseCorrupt(kErrIndexUnreadable, kSubIndexUnreadable, full, "only compound (.CDX) index files can be opened");
    size_t slot = 1;
    while (slot <= kMaxIndexFiles && files_[slot]) ++slot;
    if (slot > kMaxIndexFiles) raiseTableError(kErrTooManyOpenFiles, kSubOpen, full);

    // The file is opened through the table's real directory, so a case-sensitive file
    // system finds it beside the table whatever case the caller used.
    std::string openPath;
    std::string_view given = trimBlanks(name, kBlanksAndTabs);
    if (given.find_first_of("\\/:") != std::string_view::npos) {
        openPath = DBO_DiskFile::expandPath(given, ".CDX");
    } else {
        openPath = std::string(directoryOf(openedPath())) + std::string(given);
        if (extensionOf(given).empty()) openPath += ".CDX";
    }
    auto file = std::make_unique<DBobjCDXFile>(full, openPath, readWrite(), shared(), readKey(), fields_);
    file->cache().setBudget(cacheBudget_);
    files_[slot] = std::move(file);
    setIndexOpen(true);

    // The structural index has the table's base name; the table header says it exists.
    if ((tableFlags() & DbfHeader::kFlagStructuralIndex) == 0) {
        std::string asTable = full.substr(0, full.size() - extensionOf(full).size());
        asTable += upperAscii(extensionOf(fileName()));
        if (equalNoCase(asTable, fileName())) {
            setTableFlags(static_cast<uint8_t>(tableFlags() | DbfHeader::kFlagStructuralIndex));
            if (readWrite()) writeHeader();
        }
    }
    return kIndexOpened;
}

void DBO_dBHandler::CloseIndexFiles() noexcept {
    activeTag_ = nullptr;
    activeFile_ = nullptr;
    activeTagName_.clear();
    for (auto& f : files_) f.reset();
    setIndexOpen(false);
    setReadAhead(true);
}

int DBO_dBHandler::SelectTag(const std::string& name) {
    std::string wanted = upperAscii(trimBlanks(name, kBlanksAndTabs));
    if (wanted.empty()) {
        if (activeTag_) activeTag_->dropPath();
        activeTag_ = nullptr;
        activeFile_ = nullptr;
        activeTagName_.clear();
        setReadAhead(true);
        GetRec(kFirst);
        return 0;
    }
    for (int slot = 1; slot <= kMaxIndexFiles; ++slot) {
        DBobjCDXFile* file = files_[static_cast<size_t>(slot)].get();
        if (!file) continue;
        DBobjCDXTag* tag = file->findTag(wanted);
        if (!tag) continue;
        if (activeTag_) activeTag_->dropPath();
        setReadAhead(false);
        activeTag_ = tag;
        activeFile_ = file;
        activeTagName_ = tag->name();
        checkIndexChanged();
        if (recNo() >= 1 && recNo() <= recordCount() && !eof() && !bof()) positionTagAtCurrent();
        if (activeTag_->recNo() == 0 || activeTag_->recNo() != recNo()) activeTag_->first();
        GetRec(kFirst);
        return slot;
    }
    throw ETableError(kNoCode, kNoSubCode, msg::kTagNotFound + name);
}

void DBO_dBHandler::checkIndexChanged() {
    if (activeFile_) activeFile_->refreshIfChanged();
}

void DBO_dBHandler::positionTagAtCurrent() {
    TdbVariant value = activeTag_->evaluateKey(fields_);
    activeTag_->prepareKey(value, searchKey_);
    activeTag_->seek(searchKey_, recNo(), true);
}

void DBO_dBHandler::readRecord(uint32_t recNo) {
    // Record numbers from an index go to the table as numbers, never as step codes.
    if (recNo > 0x7FFFFFFFu) raiseTableError(kErrBeyondEof, kSubRecordRead, fileName());
    DBO_dBaseDBF::GetRec(static_cast<int32_t>(recNo));
}

void DBO_dBHandler::GetRec(int32_t n) {
    if (n > 0) {
        outsideTag_ = false;
        DBO_dBaseDBF::GetRec(n);
        if (eof()) {
            blankRecord();
            return;
        }
        if (activeTag_ && recNo() == static_cast<uint32_t>(n)) {
            checkIndexChanged();
            if (activeTag_->recNo() != recNo()) {
                positionTagAtCurrent();
                if (activeTag_->recNo() != recNo()) outsideTag_ = true;
            }
        }
        return;
    }
    if (n == 0 || n < kCurrent) {
        DBO_dBaseDBF::GetRec(n);
        return;
    }
    if (!activeTag_) {
        // Record order; first continues with next and last with previous past deleted records.
        DBO_dBaseDBF::GetRec(n);
        if (n == kCurrent) return;
        bool forward = n == kFirst || n == kNext;
        while (rejected() && !eof() && !bof() && recNo() != 0) {
            uint32_t before = recNo();
            DBO_dBaseDBF::GetRec(forward ? kNext : kPrevious);
            if (recNo() == before) break;
        }
        if (rejected() && (n == kFirst || n == kLast)) {
            setEof(true);
            setBof(true);
        }
        return;
    }
    stepInKeyOrder(n);
}

void DBO_dBHandler::stepInKeyOrder(int32_t n) {
    if (recordCount() == 0) {
        if (shared()) rereadHeader();
        if (recordCount() == 0) {
            setEof(true);
            setBof(true);
            return;
        }
    }
    checkIndexChanged();
    DBobjCDXTag& tag = *activeTag_;
    uint32_t r = 0;
    bool forward = true;
    switch (n) {
    case kFirst: r = tag.first(); break;
    case kLast: r = tag.last(); forward = false; break;
    case kNext: r = tag.next(); break;
    case kPrevious: r = tag.previous(); forward = false; break;
    default:   // kCurrent: the record of the key the tag stands on, as it is
        r = tag.current();
        if (r != 0)
            readRecord(r);
        else
            DBO_dBaseDBF::GetRec(kCurrent);   // the tag stands nowhere: the table's own record
        return;
    }
    const bool fromEdge = n == kFirst || n == kLast;
    for (;;) {
        if (r == 0) {
            if (forward || fromEdge) setEof(true);
            if (!forward || fromEdge) setBof(true);
            return;
        }
        readRecord(r);
        if (eof()) return;
        if (!rejected()) return;
        r = forward ? tag.next() : tag.previous();
    }
}

void DBO_dBHandler::goLastWithEof() {
    GetRec(kLast);
    setEof(true);
}

bool DBO_dBHandler::FindKey(std::string_view key) {
    found_ = false;
    if (recordCount() == 0) {
        if (shared()) rereadHeader();
        if (recordCount() == 0) return false;
    }
    if (!activeTag_) {
        GetRec(kLast);
        setEof(true);
        return false;
    }
    checkIndexChanged();
    DBobjCDXTag& tag = *activeTag_;
    tag.prepareKey(key, searchKey_);
    int result = tag.seek(searchKey_, -1, exact_);
    if (result != 0) {
        if (result == 1 || !near_)
            goLastWithEof();
        else
            readRecord(tag.recNo());
        return false;
    }
    readRecord(tag.recNo());
    // Equal keys follow one another in storage order, whatever the tag's order, so deleted
    // records are passed over in that direction: in a descending tag "next in key order"
    // would leave the keys sought.
    while (!eof() && rejected()) {
        uint32_t r = tag.stepForward();
        if (r == 0) {
            setEof(true);
            break;
        }
        readRecord(r);
    }
    if (eof()) return false;
    std::string_view held = tag.currentKey();
    if (cdxCompare(searchKey_, held, tag.keyFormat().character, CdxPrefixMode::Exact) == 0)
        found_ = true;
    else if (!exact_ && tag.keyFormat().character && cdxMatchCount(searchKey_, held) > searchKey_.size())
        found_ = true;
    if (!found_ && !near_) goLastWithEof();
    return found_;
}

}  // namespace dbf
