// The table file: open-time checks of header and descriptors, record positioning with the
// record-order read-ahead, header write-back and locks. The file's layout is in DbfLayout.h.
#include "dbf/table/DBO_dBaseDBF.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>

#include "dbf/core/ByteView.h"
#include "dbf/core/ByteWriter.h"
#include "dbf/core/Cipher.h"
#include "dbf/core/TableError.h"
#include "dbf/table/DbfLayout.h"

namespace dbf {

namespace {

// GetRec takes a signed record number, so no table may hold more records than that.
constexpr uint64_t kMaxRecords = 0x7FFFFFFF;

bool acceptedVersion(uint8_t v) noexcept {
    return v == DbfHeader::kDbase || v == DbfHeader::kVisualFoxPro || v == DbfHeader::kDbaseMemo ||
           v == DbfHeader::kDbase4Memo || v == DbfHeader::kFoxProMemo;
}

}  // namespace

DBO_dBaseDBF::DBO_dBaseDBF(const std::string& fileName, bool readWrite, bool shared, const std::string& key)
    : DBO_DiskFile(expandFileName(fileName, ".DBF"), expandPath(fileName, ".DBF"), readWrite, shared),
      readKey_(key),
      writeKey_(key) {
    readHeaderBlock();
    checkHeader();
    encrypted_ = header_[DbfHeader::kEncrypted] != 0;
    if (encrypted_ && key.empty()) throw ETableEncryption(msg::kNoPassword + this->fileName());
    if (!encrypted_ && !key.empty())
        throw ETableEncryption(msg::kPasswordForPlainFile + this->fileName());
    readDescriptors();

    record_.assign(recordLength_ + 1, ' ');
    record_[recordLength_] = kDbfEndOfFile;   // written with an appended record as the end-of-file marker
    asRead_.assign(recordLength_, ' ');
    work_.assign(recordLength_ + 1, ' ');
    readAheadCapacity_ = std::max<uint32_t>(1, static_cast<uint32_t>(kReadAheadBytes / recordLength_));
}

DBO_dBaseDBF::~DBO_dBaseDBF() {
    if (headerChanged_ && readWrite()) {
        try {
            writeHeaderNow();
        } catch (...) {
            // A destructor must not throw; the header keeps its previous contents.
        }
    }
}

void DBO_dBaseDBF::raise(int code, int subCode) const { raiseTableError(code, subCode, fileName()); }

void DBO_dBaseDBF::readHeaderBlock() {
    size_t got = read(0, header_, DbfHeader::kSize);
    if (got < DbfHeader::kSize)
        raiseCorrupt(kErrHeaderInvalid, kSubHeaderCheck, fileName(),
                     "the file holds " + std::to_string(got) + " bytes, less than the 32-byte table header");
}

void DBO_dBaseDBF::checkHeader() {
    const ByteView h(header_);
    const uint8_t version = h.u8(DbfHeader::kVersion);
    if (!acceptedVersion(version)) raise(kErrHeaderInvalid, kSubHeaderCheck);
    headerLength_ = h.u16le(DbfHeader::kHeaderLength);
    recordLength_ = h.u16le(DbfHeader::kRecordLength);
    changeStamp_ = h.u32le(DbfHeader::kChangeStamp);
    const uint32_t reserved = DbfHeader::reservedBytes(version);
    if (headerLength_ < reserved)
        raiseCorrupt(kErrHeaderInvalid, kSubHeaderCheck, fileName(),
                     "header length " + std::to_string(headerLength_) + " is below " + std::to_string(reserved));
    descriptorBlockLength_ = headerLength_ - reserved;
    if (descriptorBlockLength_ < DbfDescriptor::kSize)
        raiseCorrupt(kErrHeaderInvalid, kSubHeaderCheck, fileName(),
                     "header length " + std::to_string(headerLength_) + " leaves no room for a field descriptor");
    if (recordLength_ == 0)
        raiseCorrupt(kErrHeaderInvalid, kSubHeaderCheck, fileName(), "record length is 0");
    recordCount_ = countFromFileSize();
    hasMemo_ = version == DbfHeader::kVisualFoxPro
                   ? (h.u8(DbfHeader::kTableFlags) & DbfHeader::kFlagMemo) != 0
                   : version == DbfHeader::kDbaseMemo || version == DbfHeader::kDbase4Memo ||
                         version == DbfHeader::kFoxProMemo;
}

uint32_t DBO_dBaseDBF::countFromFileSize() {
    uint64_t size = fileSize();
    // Bytes after the last whole record (the end-of-file marker) are no record.
    uint64_t count = size > headerLength_ ? (size - headerLength_) / recordLength_ : 0;
    if (count > kMaxRecords)
        raiseCorrupt(kErrHeaderInvalid, kSubHeaderCheck, fileName(),
                     "the file holds " + std::to_string(count) + " records, more than the engine addresses");
    return static_cast<uint32_t>(count);
}

void DBO_dBaseDBF::readDescriptors() {
    descriptors_.resize(descriptorBlockLength_);
    size_t got = read(DbfHeader::kSize, descriptors_.data(), descriptorBlockLength_);
    if (got < descriptorBlockLength_)
        raiseCorrupt(kErrHeaderInvalid, kSubHeaderCheck, fileName(),
                     "the file ends inside the field descriptors (" + std::to_string(DbfHeader::kSize + got) +
                         " of " + std::to_string(DbfHeader::kSize + descriptorBlockLength_) + " header bytes)");
    if (encrypted_) Cipher(readKey_, descriptors_.data(), descriptors_.data(), descriptors_.size(), CipherDirection::Decipher);

    const size_t count = descriptorBlockLength_ / DbfDescriptor::kSize;
    const ByteView block(descriptors_, &fileName(), DbfHeader::kSize);
    auto descriptor = [&](size_t i) { return block.sub(i * DbfDescriptor::kSize, DbfDescriptor::kSize); };
    auto lengthOf = [](const ByteView& d) {
        const uint32_t length = d.u8(DbfDescriptor::kLength);
        return d.u8(DbfDescriptor::kType) == 'C' ? length + 256u * d.u8(DbfDescriptor::kDecimals) : length;
    };
    // The lengths are checked before anything else is taken from the descriptors: under a
    // wrong key everything in them is noise.
    uint64_t needed = 1;
    for (size_t i = 0; i < count; ++i) needed += lengthOf(descriptor(i));
    if (encrypted_ && needed != recordLength_)
        throw ETableEncryption(msg::kInvalidPassword + fileName());
    if (needed > recordLength_)
        raiseCorrupt(kErrHeaderInvalid, kSubHeaderCheck, fileName(),
                     "the fields need " + std::to_string(needed) + " bytes but the record length is " +
                         std::to_string(recordLength_));

    fields_.resize(count);
    uint32_t offset = 1;
    for (size_t i = 0; i < count; ++i) {
        const ByteView d = descriptor(i);
        TdbField& f = fields_[i];
        f.name.assign(d.cstr(DbfDescriptor::kName, DbfDescriptor::kNameSize));
        f.type = static_cast<char>(d.u8(DbfDescriptor::kType));
        f.length = lengthOf(d);
        f.decimals = f.type == 'C' ? 0 : d.u8(DbfDescriptor::kDecimals);
        f.offset = offset;
        f.number = static_cast<int>(i + 1);
        offset += f.length;
    }
}

void DBO_dBaseDBF::GetRec(int32_t n) {
    if (recordCount_ == 0) {
        if (shared()) rereadHeader();
        if (recordCount_ == 0) {
            eof_ = bof_ = true;
            return;
        }
    }
    uint32_t target;
    switch (n) {
    case 0:
        return;
    case kCurrent:
        if (recNo_ == 0) return;   // no current record: nothing to read again
        target = recNo_;
        break;
    case kLast:
        target = recordCount_;
        break;
    case kFirst:
        target = 1;
        break;
    case kPrevious:
        // Before the first record (or with no current record) there is nothing to read.
        if (recNo_ <= 1) {
            bof_ = true;
            return;
        }
        target = recNo_ - 1;
        break;
    case kNext:
        target = recNo_ + 1;
        break;
    default:
        if (n < 0) raise(kErrBeyondEof, kSubRecordRead);
        target = static_cast<uint32_t>(n);
        break;
    }
    if (target > recordCount_) {
        if (shared()) rereadHeader();
        if (target > recordCount_) {
            if (target == recordCount_ + 1u) {
                eof_ = true;
                return;
            }
            raise(kErrBeyondEof, kSubRecordRead);
        }
    }
    readRecordInto(target);
    recNo_ = target;
    eof_ = bof_ = false;
    std::memcpy(asRead_.data(), record_.data(), recordLength_);
}

void DBO_dBaseDBF::readRecordInto(uint32_t n) {
    const size_t rl = recordLength_;   // at most 65535, and the buffer at most 32768 or one record
    if (readAhead_) {
        if (readAheadFirst_ == 0 || n < readAheadFirst_ || n >= readAheadFirst_ + readAheadCount_) {
            // Walking backwards, keep the records before this one; otherwise those after it.
            uint32_t first = n;
            if (recNo_ != 0 && n + 1 == recNo_) first = n > readAheadCapacity_ ? n - readAheadCapacity_ + 1 : 1;
            uint32_t want = std::min<uint32_t>(readAheadCapacity_, recordCount_ - first + 1);
            if (readAheadBuf_.size() < static_cast<size_t>(readAheadCapacity_) * rl)
                readAheadBuf_.resize(static_cast<size_t>(readAheadCapacity_) * rl);
            readAheadFirst_ = 0;
            size_t got = read(headerLength_ + uint64_t{first - 1} * rl, readAheadBuf_.data(), want * rl);
            uint32_t whole = static_cast<uint32_t>(got / rl);
            if (n - first >= whole)
                raiseCorrupt(kErrShortRead, kSubRecordRead, fileName(),
                             "the file ends inside record " + std::to_string(n));
            readAheadFirst_ = first;
            readAheadCount_ = whole;
        }
        std::memcpy(record_.data(), readAheadBuf_.data() + (n - readAheadFirst_) * rl, rl);
    } else {
        size_t got = read(headerLength_ + uint64_t{n - 1} * rl, record_.data(), recordLength_);
        if (got < recordLength_)
            raiseCorrupt(kErrShortRead, kSubRecordRead, fileName(), "the file ends inside record " + std::to_string(n));
    }
    if (encrypted_) Cipher(readKey_, record_.data(), record_.data(), recordLength_, CipherDirection::Decipher);
}

void DBO_dBaseDBF::blankRecord() noexcept { std::memset(record_.data(), ' ', recordLength_); }

void DBO_dBaseDBF::writeRecord(uint32_t n) {
    if (!readWrite()) raise(kErrNotOpenForOutput, kSubWrite);
    if (n == 0 || n > recordCount_ + 1u) raise(kErrBeyondEof, kSubWrite);
    const bool append = n == recordCount_ + 1u;
    if (append && recordCount_ == kMaxRecords) raise(kErrBeyondEof, kSubWrite);
    const uint8_t* out = record_.data();
    if (encrypted_) {
        Cipher(writeKey_, record_.data(), work_.data(), recordLength_, CipherDirection::Encipher);
        work_[recordLength_] = kDbfEndOfFile;
        out = work_.data();
    }
    const uint64_t offset = headerLength_ + uint64_t{n - 1} * recordLength_;
    write(offset, out, append ? recordLength_ + 1 : recordLength_);
    if (readAheadFirst_ != 0 && n >= readAheadFirst_ && n < readAheadFirst_ + readAheadCount_)
        std::memcpy(readAheadBuf_.data() + uint64_t{n - readAheadFirst_} * recordLength_, out, recordLength_);
    if (append) {
        ++recordCount_;
        headerChanged_ = true;
    }
    if (autoFlush_) flush();
    std::memcpy(asRead_.data(), record_.data(), recordLength_);
    recNo_ = n;
    eof_ = bof_ = false;
}

bool DBO_dBaseDBF::rereadHeader() {
    uint8_t fresh[DbfHeader::kSize];
    size_t got = read(0, fresh, DbfHeader::kSize);
    if (got < DbfHeader::kSize)
        raiseCorrupt(kErrHeaderInvalid, kSubHeaderCheck, fileName(), "the table header can no longer be read");
    // Only the count and the stamp may change under a shared table; new lengths would
    // mean the file was rebuilt under us, and its records can no longer be addressed.
    const ByteView h(fresh);
    if (h.u16le(DbfHeader::kHeaderLength) != headerLength_ || h.u16le(DbfHeader::kRecordLength) != recordLength_)
        raiseCorrupt(kErrHeaderInvalid, kSubHeaderCheck, fileName(),
                     "header or record length changed while the table was open");
    const uint32_t count = countFromFileSize();
    const uint32_t stamp = h.u32le(DbfHeader::kChangeStamp);
    const bool changed = count != recordCount_ || stamp != changeStamp_;
    // Date and count, stamp and user, as written.
    std::memcpy(header_ + DbfHeader::kDate, fresh + DbfHeader::kDate, 3 + 4);
    std::memcpy(header_ + DbfHeader::kChangeStamp, fresh + DbfHeader::kChangeStamp, 4 + 4);
    recordCount_ = count;
    changeStamp_ = stamp;
    if (changed) {
        changedByOther_ = true;
        readAheadFirst_ = 0;   // what it holds may be out of date
    }
    return changed;
}

void DBO_dBaseDBF::setTableFlags(uint8_t flags) noexcept {
    header_[DbfHeader::kTableFlags] = flags;
    headerChanged_ = true;
}

void DBO_dBaseDBF::writeHeader() {
    if (!readWrite()) return;
    writeHeaderNow();
}

void DBO_dBaseDBF::writeHeaderNow() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    std::tm local{};
    if (const std::tm* p = std::localtime(&t)) local = *p;
    const auto ms = static_cast<uint32_t>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);

    ByteWriter h(header_);
    h.putU8(DbfHeader::kDate, static_cast<uint8_t>((local.tm_year + 1900) % 100));
    h.putU8(DbfHeader::kDate + 1, static_cast<uint8_t>(local.tm_mon + 1));
    h.putU8(DbfHeader::kDate + 2, static_cast<uint8_t>(local.tm_mday));
    h.putU32le(DbfHeader::kRecordCount, recordCount_);
    changeStamp_ = ((static_cast<uint32_t>(local.tm_hour) * 64 + static_cast<uint32_t>(local.tm_min)) * 64 +
                    static_cast<uint32_t>(local.tm_sec)) * 1024 + ms;
    h.putU32le(DbfHeader::kChangeStamp, changeStamp_);
    h.putU8(DbfHeader::kEncrypted, encrypted_ ? 1 : 0);
    h.putU32le(DbfHeader::kUserId, userId_);
    write(0, header_, DbfHeader::kSize);
    headerChanged_ = false;
    if (autoFlush_) flush();
}

void DBO_dBaseDBF::setReadAhead(bool on) noexcept {
    readAhead_ = on;
    if (!on) readAheadFirst_ = 0;
}

void DBO_dBaseDBF::setLockProtocol(TdbLokProtocol protocol) noexcept {
    lockProtocol_ = protocol;
    switch (protocol) {
    case TdbLokProtocol::Default:
    case TdbLokProtocol::FoxLock:
        lockBase_ = 0x40000000;
        headerLockOffset_ = 0x7FFFFFFE;
        fileLockLength_ = 0x3FFFFFFF;
        break;
    case TdbLokProtocol::DB4Lock:
        lockBase_ = 0x40000000;
        headerLockOffset_ = 0xEFFFFFFF;
        fileLockLength_ = 0xB0000000;
        break;
    case TdbLokProtocol::ClipLock:
        lockBase_ = 1000000000;
        headerLockOffset_ = 1000000000;
        fileLockLength_ = 1000000000;
        break;
    }
}

uint64_t DBO_dBaseDBF::recordLockOffset(uint32_t n) const noexcept {
    switch (lockProtocol_) {
    case TdbLokProtocol::DB4Lock:
        return n < headerLockOffset_ ? headerLockOffset_ - n : 0;
    case TdbLokProtocol::ClipLock:
        return lockBase_ + n;
    case TdbLokProtocol::Default:
    case TdbLokProtocol::FoxLock:
        break;
    }
    if (indexOpen_) return n < headerLockOffset_ ? headerLockOffset_ - n : 0;
    return lockBase_ + headerLength_ + uint64_t{n ? n - 1 : 0} * recordLength_;
}

bool DBO_dBaseDBF::lockRecord(uint32_t n) { return !shared() || lock(recordLockOffset(n), 1); }
void DBO_dBaseDBF::unlockRecord(uint32_t n) {
    if (shared()) unlock(recordLockOffset(n), 1);
}
bool DBO_dBaseDBF::lockTable() { return !shared() || lock(lockBase_, fileLockLength_); }
void DBO_dBaseDBF::unlockTable() {
    if (shared()) unlock(lockBase_, fileLockLength_);
}
bool DBO_dBaseDBF::lockHeader() { return !shared() || lock(headerLockOffset_, 1); }
void DBO_dBaseDBF::unlockHeader() {
    if (shared()) unlock(headerLockOffset_, 1);
}

}  // namespace dbf
