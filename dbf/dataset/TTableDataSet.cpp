// The table data set: the internal open and close, the row fetch, Find, tag selection and
// the few framework moves built on them.
#include "dbf/dataset/TTableDataSet.h"

#include <cstring>

#include "dbf/core/OemTranslation.h"
#include "dbf/core/SystemFolders.h"
#include "dbf/core/TableError.h"
#include "dbf/core/XbaseText.h"
#include "dbf/dataset/DatabaseError.h"
#include "dbf/dataset/TableAliases.h"

namespace dbf {

namespace {

// Keys are at most 255 characters; the search buffer holds one more for the terminator.
constexpr size_t kFindKeyBuffer = 256;

bool hasExtension(std::string_view name) noexcept {
    std::string_view base = DBO_DiskFile::baseName(name);
    return base.find('.') != std::string_view::npos;
}

bool hasDirectory(std::string_view name) noexcept { return name.find_first_of("\\/:") != std::string_view::npos; }

}  // namespace

TTableDataSet::TTableDataSet() = default;

TTableDataSet::~TTableDataSet() { Close(); }

const char* TTableDataSet::About() noexcept { return "Ombrix table engine 1.0: dBASE/FoxPro tables, CDX indexes"; }

void TTableDataSet::checkActive() const {
    if (!handler_) throw EDatabaseError(msg::kDataSetClosed);
}

void TTableDataSet::checkInactive() const {
    if (handler_) throw EDatabaseError(msg::kDataSetOpen);
}

void TTableDataSet::checkNotBusy() const {
    if (busy_ == TBusyState::BuildingIndex) throw EDatabaseError(msg::kBusyBuildingIndex);
    if (busy_ == TBusyState::Copying) throw EDatabaseError(msg::kBusyCopying);
}

void TTableDataSet::setTableName(const std::string& name) {
    checkInactive();
    if (name != tableName_) IndexFiles.clear();
    tableName_ = name;
}

void TTableDataSet::setEncryptionKey(const std::string& key) {
    checkInactive();
    encryptionKey_ = key;
}

void TTableDataSet::setIndexName(const std::string& name) {
    indexName_ = name;
    if (!handler_) return;
    handler_->SelectTag(name);
    // The handler has gone to the first record of the new order; the framework keeps the
    // row it showed when that row is part of the order.
    try {
        const uint32_t shown = active_.recNo();
        if (shown > 0) handler_->GetRec(static_cast<int32_t>(shown));
        if (handler_->outsideTag() || handler_->eof() || handler_->bof())
            First();
        else
            resync();
    } catch (const std::exception&) {
        // The order is selected; which row shows is the framework's matter and may wait.
    }
    if (AfterScroll) AfterScroll(*this);
}

std::string TTableDataSet::tableDirectory() const {
    const TableAliases& aliases = aliases_ ? *aliases_ : TableAliases::system();
    return aliases.directoryFor(databaseName_, executableFolder_.empty() ? executableFolder() : executableFolder_);
}

void TTableDataSet::Open() {
    if (handler_) return;
    try {
        internalOpen();
        eof_ = bof_ = false;
        if (GetRecord(active_, TGetMode::gmNext, false) == TGetResult::grOK) {
            bof_ = true;
        } else {
            active_.clear();
            eof_ = bof_ = true;
        }
    } catch (...) {
        Close();
        throw;
    }
}

void TTableDataSet::internalOpen() {
    std::string name(trimBlanks(tableName_));
    if (name.empty()) throw EDatabaseError(msg::kTableNameMissing);
    if (!hasExtension(name)) name += ".DBF";
    const std::string path = tableDirectory() + name;
    if (!DBO_DiskFile::exists(path)) throw EDatabaseError(msg::kCannotFindFile + path);

    handler_ = std::make_unique<DBO_dBHandler>(path, !ReadOnly, !Exclusive, encryptionKey_);
    handler_->setAutoFlush(AutoFlush);
    handler_->setUseDeleted(UseDeleted);
    handler_->setLockProtocol(LockProtocol);
    handler_->setUserId(UserID);

    if (size_t{handler_->recordLength()} + calcFieldsSize_ >= TRecordBuffer::kMaxDataSize)
        raiseCorrupt(kErrHeaderInvalid, kSubHeaderCheck, handler_->fileName(),
                     "a record of " + std::to_string(handler_->recordLength()) +
                         " bytes leaves no room for the data set's row information");
    fields_.clear();
    for (const TdbField& f : handler_->fields())
        if (auto type = TField::typeOf(f)) fields_.emplace_back(*this, f, *type);
    active_ = TRecordBuffer(handler_->recordLength(), calcFieldsSize_);
    fetch_ = TRecordBuffer(handler_->recordLength(), calcFieldsSize_);

    InternalFirst();
    openIndexFiles();
}

void TTableDataSet::openIndexFiles() {
    handler_->CloseIndexFiles();
    const std::string directory = tableDirectory();
    for (const std::string& listed : IndexFiles) {
        std::string name(trimBlanks(listed));
        if (name.empty()) continue;
        if (!hasExtension(name)) name += ".NDX";
        const std::string path = hasDirectory(name) ? name : directory + name;
        if (!DBO_DiskFile::exists(path)) throw EDatabaseError(msg::kCannotFindFile + path);
        int result = handler_->OpenIndexFile(path);
        // The handler raises its own errors; a positive code that it returns instead is
        // still a failure, and an index already open (-1) is no error.
        if (result > 0) throw EDatabaseError(msg::kErrorGetting + path);
    }
    rebuildIndexDefs();
    handler_->SelectTag(indexName_);
}

void TTableDataSet::rebuildIndexDefs() {
    indexDefs_.clear();
    if (handler_) {
        for (int slot = 1; slot <= DBO_dBHandler::kMaxIndexFiles; ++slot) {
            DBobjCDXFile* file = handler_->indexFile(slot);
            if (!file) continue;
            for (const auto& tag : file->tags()) indexDefs_.push_back({tag->name(), tag->keyExpression()});
        }
    }
    indexDefsStale_ = false;
}

const std::vector<TIndexDef>& TTableDataSet::IndexDefs() {
    if (indexDefsStale_) rebuildIndexDefs();
    return indexDefs_;
}

void TTableDataSet::Close() noexcept {
    fields_.clear();
    indexDefs_.clear();
    indexDefsStale_ = false;
    handler_.reset();   // writes a changed header, closes the index files and the table
    active_ = TRecordBuffer();
    fetch_ = TRecordBuffer();
    beforeFirst_ = afterLast_ = false;
    eof_ = bof_ = true;
}

void TTableDataSet::OpenIndexFile(const std::string& name) {
    checkActive();
    checkNotBusy();
    indexDefsStale_ = true;
    handler_->OpenIndexFile(name);
}

size_t TTableDataSet::Translate(std::string_view source, char* destination, bool ToOem) const {
    if (!TranslateASCII) {
        if (!source.empty()) std::memmove(destination, source.data(), source.size());
    } else if (ToOem) {
        ansiToOem(source.data(), destination, source.size());
    } else {
        oemToAnsi(source.data(), destination, source.size());
    }
    return source.size();
}

bool TTableDataSet::Find(const std::string& key, bool IsExact, bool IsNear) {
    checkActive();
    afterLast_ = false;
    if (!handler_->activeTag()) throw EDatabaseError(msg::kNoIndexForFind);
    if (handler_->recordCount() == 0 || active_.recNo() == 0) return false;

    if (BeforeScroll) BeforeScroll(*this);
    handler_->setExact(IsExact);
    handler_->setNear(IsNear);
    char buffer[kFindKeyBuffer];
    const size_t length = key.size() < kFindKeyBuffer - 1 ? key.size() : kFindKeyBuffer - 1;
    std::memcpy(buffer, key.data(), length);
    buffer[length] = '\0';
    Translate(std::string_view(buffer, length), buffer, true);
    const bool found = handler_->FindKey(std::string_view(buffer, length));
    if (found || (IsNear && !handler_->eof())) {
        resync();
        if (AfterScroll) AfterScroll(*this);
    } else {
        Last();
    }
    return found;
}

uint32_t TTableDataSet::RecNo() const {
    checkActive();
    return active_.recNo();
}

uint32_t TTableDataSet::RecordCount() {
    checkActive();
    if (!ExactCount) return handler_->recordCount();
    uint32_t count = 0;
    handler_->GetRec(DBO_dBaseDBF::kFirst);
    while (!handler_->eof()) {
        // Every step passes a record the walk has not met; the count bounds the walk.
        if (++count > handler_->recordCount()) break;
        handler_->GetRec(DBO_dBaseDBF::kNext);
    }
    const uint32_t shown = active_.recNo();
    if (shown > 0) handler_->GetRec(static_cast<int32_t>(shown));
    return count;
}

TGetResult TTableDataSet::GetRecord(TRecordBuffer& buffer, TGetMode mode, bool doCheck) {
    checkActive();
    DBO_dBHandler& h = *handler_;
    TGetResult result = TGetResult::grOK;
    switch (mode) {
    case TGetMode::gmNext:
        // After InternalLast the table has not moved yet; the next row lies past the last.
        if (afterLast_ && !beforeFirst_) h.GetRec(DBO_dBaseDBF::kLast);
        h.GetRec(beforeFirst_ ? DBO_dBaseDBF::kFirst : DBO_dBaseDBF::kNext);
        beforeFirst_ = afterLast_ = false;
        if (h.eof()) result = TGetResult::grEOF;
        break;
    case TGetMode::gmPrior:
        h.GetRec(afterLast_ ? DBO_dBaseDBF::kLast : DBO_dBaseDBF::kPrevious);
        afterLast_ = false;
        if (h.bof()) result = TGetResult::grBOF;
        break;
    case TGetMode::gmCurrent:
        if (beforeFirst_ || afterLast_ || h.recNo() == 0) {
            result = TGetResult::grError;
        } else {
            h.GetRec(DBO_dBaseDBF::kCurrent);
            if (h.eof() || h.bof() || h.recNo() == 0) result = TGetResult::grError;
        }
        break;
    }
    if (result == TGetResult::grError && doCheck) throw EDatabaseError(msg::kRecordBeyondRange);
    // A row in which the walk found only deleted records is no row either.
    if (result == TGetResult::grOK && h.recNo() == 0) result = mode == TGetMode::gmPrior ? TGetResult::grBOF : TGetResult::grEOF;
    if (result != TGetResult::grOK) return result;
    std::memcpy(buffer.record(), h.recordBuffer(), h.recordLength());
    buffer.setRecNo(h.recNo());
    buffer.setBookmarkFlag(0);
    buffer.writeBookmark();
    return result;
}

void TTableDataSet::InternalFirst() noexcept {
    beforeFirst_ = true;
    afterLast_ = false;
}

// The fetch of the prior row that follows reads the last record; reading it here as well
// would only read it twice.
void TTableDataSet::InternalLast() noexcept {
    afterLast_ = true;
    beforeFirst_ = false;
}

void TTableDataSet::setToActiveRecord() {
    const uint32_t shown = active_.recNo();
    if (shown == 0) return;
    DBO_dBHandler& h = *handler_;
    if (h.recNo() != shown || h.eof() || h.bof()) h.GetRec(static_cast<int32_t>(shown));
}

// The table has just read the record it stands on, so the row is taken from its buffer
// rather than read from the file a second time.
void TTableDataSet::resync() {
    DBO_dBHandler& h = *handler_;
    if (beforeFirst_ || afterLast_ || h.recNo() == 0 || h.eof() || h.bof())
        throw EDatabaseError(msg::kRecordBeyondRange);
    std::memcpy(active_.record(), h.recordBuffer(), h.recordLength());
    active_.setRecNo(h.recNo());
    active_.setBookmarkFlag(0);
    active_.writeBookmark();
    eof_ = bof_ = false;
}

void TTableDataSet::clearActive() noexcept {
    active_.clear();
    eof_ = bof_ = true;
}

void TTableDataSet::First() { goToEnd(false); }

void TTableDataSet::Last() { goToEnd(true); }

void TTableDataSet::Next() { step(true); }

void TTableDataSet::Prior() { step(false); }

// The framework's First and Last leave the cursor on the end row with the flag of that end
// set: Bof after First, Eof after Last.
void TTableDataSet::goToEnd(bool last) {
    checkActive();
    if (BeforeScroll) BeforeScroll(*this);
    if (last)
        InternalLast();
    else
        InternalFirst();
    if (GetRecord(active_, last ? TGetMode::gmPrior : TGetMode::gmNext, false) == TGetResult::grOK) {
        eof_ = last;
        bof_ = !last;
    } else {
        clearActive();
    }
    if (AfterScroll) AfterScroll(*this);
}

void TTableDataSet::step(bool forward) {
    checkActive();
    bool& atEdgeAhead = forward ? eof_ : bof_;
    bool& atEdgeBehind = forward ? bof_ : eof_;
    if (atEdgeAhead) return;
    if (BeforeScroll) BeforeScroll(*this);
    setToActiveRecord();
    if (GetRecord(fetch_, forward ? TGetMode::gmNext : TGetMode::gmPrior, false) == TGetResult::grOK) {
        std::swap(active_, fetch_);
        atEdgeBehind = false;
    } else {
        atEdgeAhead = true;
    }
    if (AfterScroll) AfterScroll(*this);
}

const uint8_t* TTableDataSet::activeRecord() const noexcept {
    return handler_ && active_.recNo() != 0 ? active_.record() : nullptr;
}

std::string TTableDataSet::Bookmark() const {
    checkActive();
    return active_.bookmark();
}

bool TTableDataSet::BookmarkValid(std::string_view bookmark) {
    checkActive();
    uint32_t n = TRecordBuffer::recNoOf(bookmark);
    return n >= 1 && n <= handler_->recordCount();
}

void TTableDataSet::GotoBookmark(std::string_view bookmark) {
    if (!BookmarkValid(bookmark)) throw EDatabaseError(msg::kRecordBeyondRange);
    if (BeforeScroll) BeforeScroll(*this);
    beforeFirst_ = afterLast_ = false;
    handler_->GetRec(static_cast<int32_t>(TRecordBuffer::recNoOf(bookmark)));
    resync();
    if (AfterScroll) AfterScroll(*this);
}

int TTableDataSet::CompareBookmarks(std::string_view a, std::string_view b) noexcept {
    int c = a.compare(b);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

const TField* TTableDataSet::FindField(std::string_view name) const noexcept {
    std::string_view wanted = trimBlanks(name);
    for (const TField& f : fields_)
        if (equalNoCase(f.FieldName(), wanted)) return &f;
    return nullptr;
}

const TField& TTableDataSet::FieldByName(std::string_view name) const {
    if (const TField* f = FindField(name)) return *f;
    throw EDatabaseError("Field '" + std::string(name) + "' not found");
}

}  // namespace dbf
