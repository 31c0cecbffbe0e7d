// The dBASE/FoxPro table file: header and field descriptors checked on open, one record
// buffer moved by record number or by step, enciphered tables deciphered on the way in.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/core/DBO_DiskFile.h"
#include "dbf/core/TableError.h"
#include "dbf/table/DbfLayout.h"

namespace dbf {

// Which byte ranges the engine locks; each sets a base for record and file locks, the
// header-lock offset and the file-lock length.
enum class TdbLokProtocol { Default, DB4Lock, ClipLock, FoxLock };

// One field as the engine holds it. Offsets are computed on open from the descriptor
// order; the file's own offsets are not trusted.
struct TdbField {
    std::string name;       // as stored, up to the first NUL (at most 11 characters)
    char type = 0;          // the type letter as stored ("C", "N", ...), any byte is carried
    uint32_t offset = 0;    // first byte within the record; the first field is at 1
    uint32_t length = 0;    // bytes in the record; "C": length byte + 256 × decimal byte
    uint8_t decimals = 0;   // the decimal byte; 0 for "C" fields (it is part of the length)
    int number = 0;         // 1-based position in the descriptor order
};

class DBO_dBaseDBF : public DBO_DiskFile {
public:
    // Record steps for GetRec; positive arguments are record numbers.
    static constexpr int32_t kNext = -1;
    static constexpr int32_t kPrevious = -2;
    static constexpr int32_t kFirst = -3;
    static constexpr int32_t kLast = -4;
    static constexpr int32_t kCurrent = -5;

    // Size of the record-order read-ahead buffer (rounded down to whole records).
    static constexpr size_t kReadAheadBytes = 32768;

    // Opens and checks the table `fileName` (".DBF" added when it has no extension; the name
    // is expanded and held upper case). `key` is empty for a plain table. Raises
    // ETableError for a missing, unreadable or damaged file and ETableEncryption for a
    // missing, unexpected or wrong key; a failed open leaves nothing open.
    DBO_dBaseDBF(const std::string& fileName, bool readWrite, bool shared, const std::string& key = {});
    // Writes the header back when it was changed and the table is open for writing;
    // never throws.
    ~DBO_dBaseDBF() override;

    // Moves the record buffer. n > 0: that record; kNext, kPrevious, kFirst, kLast,
    // kCurrent: a step in record order. 0 does nothing; below -5 raises kErrBeyondEof.
    // count + 1 sets end-of-file without error (buffer and record number unchanged);
    // beyond that raises kErrBeyondEof, subcode kSubRecordRead. kPrevious on record 1 sets
    // beginning-of-file and leaves the buffer. Every record is returned, deleted or not.
    // Virtual: the index layer moves in key order while a tag is active.
    virtual void GetRec(int32_t n);

    // Header facts.
    uint8_t version() const noexcept { return header_[DbfHeader::kVersion]; }
    const uint8_t* header() const noexcept { return header_; }   // the 32 bytes as held
    uint32_t recordCount() const noexcept { return recordCount_; }
    uint32_t headerLength() const noexcept { return headerLength_; }
    uint32_t recordLength() const noexcept { return recordLength_; }
    uint8_t tableFlags() const noexcept { return header_[DbfHeader::kTableFlags]; }
    // Sets the table-flags byte (structural index, memo, container) and marks the header
    // for writing.
    void setTableFlags(uint8_t flags) noexcept;
    bool encrypted() const noexcept { return encrypted_; }
    bool hasMemo() const noexcept { return hasMemo_; }

    // Fields in descriptor order.
    int fieldCount() const noexcept { return static_cast<int>(fields_.size()); }
    const std::vector<TdbField>& fields() const noexcept { return fields_; }

    // Position.
    uint32_t recNo() const noexcept { return recNo_; }
    bool eof() const noexcept { return eof_; }
    bool bof() const noexcept { return bof_; }
    // Byte 0 of the record buffer is "*".
    bool isDeleted() const noexcept { return record_[0] == kDbfDeletedFlag; }

    // The current record (record-length bytes, deciphered). The buffer is blank until the
    // first read and stays where it is; its address never changes while the table is open.
    const uint8_t* recordBuffer() const noexcept { return record_.data(); }
    uint8_t* recordBuffer() noexcept { return record_.data(); }
    // The record as last read, to tell what the caller changed.
    const uint8_t* recordAsRead() const noexcept { return asRead_.data(); }
    // Fills the record buffer with blanks.
    void blankRecord() noexcept;

    // Writes the record buffer as record `n` (1 .. count + 1; count + 1 appends), enciphered
    // with the writing key when the table is enciphered; the buffer itself stays plain.
    void writeRecord(uint32_t n);

    // Re-reads the header of a shared table and recomputes the record count from the file
    // size. Returns true (and notes the change) when the count or the change stamp differ.
    bool rereadHeader();
    // Another user changed the table since it was opened (seen by rereadHeader).
    bool changedByOther() const noexcept { return changedByOther_; }

    // Marks the header for writing on close; writeHeader() writes it now (tables open for
    // writing only; a read-only table ignores both).
    void markHeaderChanged() noexcept { headerChanged_ = true; }
    bool headerChanged() const noexcept { return headerChanged_; }
    void writeHeader();

    // Record-order read-ahead: on while no index tag is active. Switching it off drops the
    // buffered records.
    void setReadAhead(bool on) noexcept;
    bool readAhead() const noexcept { return readAhead_; }

    // Options that the data set hands down.
    bool useDeleted() const noexcept { return useDeleted_; }
    void setUseDeleted(bool on) noexcept { useDeleted_ = on; }
    bool autoFlush() const noexcept { return autoFlush_; }
    void setAutoFlush(bool on) noexcept { autoFlush_ = on; }
    uint32_t userId() const noexcept { return userId_; }
    void setUserId(uint32_t id) noexcept { userId_ = id; }

    // The reading and writing keys (both the key given at open).
    const std::string& readKey() const noexcept { return readKey_; }
    const std::string& writeKey() const noexcept { return writeKey_; }

    // Locks. Taken only on a shared table (an exclusive one returns true at once);
    // false when another holder has the range.
    void setLockProtocol(TdbLokProtocol protocol) noexcept;
    TdbLokProtocol lockProtocol() const noexcept { return lockProtocol_; }
    // Under Default, record locks sit below the header-lock offset while an index file is
    // open and above the base otherwise; the index layer says which.
    void setIndexOpen(bool open) noexcept { indexOpen_ = open; }
    uint64_t recordLockOffset(uint32_t n) const noexcept;
    uint64_t lockBase() const noexcept { return lockBase_; }
    uint64_t headerLockOffset() const noexcept { return headerLockOffset_; }
    uint64_t fileLockLength() const noexcept { return fileLockLength_; }
    bool lockRecord(uint32_t n);
    void unlockRecord(uint32_t n);
    bool lockTable();
    void unlockTable();
    bool lockHeader();
    void unlockHeader();

protected:
    // For the index layer's navigation in key order.
    void setEof(bool on) noexcept { eof_ = on; }
    void setBof(bool on) noexcept { bof_ = on; }

    // Raises ETableError for `code`/`subCode` on this table.
    [[noreturn]] void raise(int code, int subCode) const;

private:
    void readHeaderBlock();
    void checkHeader();
    void readDescriptors();
    uint32_t countFromFileSize();
    void readRecordInto(uint32_t n);
    void writeHeaderNow();

    uint8_t header_[DbfHeader::kSize] = {};
    uint32_t headerLength_ = 0;
    uint32_t recordLength_ = 0;
    uint32_t recordCount_ = 0;
    uint32_t descriptorBlockLength_ = 0;
    uint32_t changeStamp_ = 0;

    std::vector<uint8_t> descriptors_;   // the descriptor block, deciphered
    std::vector<TdbField> fields_;

    std::vector<uint8_t> record_;        // record length + 1 (0x1A end-of-file marker)
    std::vector<uint8_t> asRead_;
    std::vector<uint8_t> work_;          // enciphering before a write

    std::vector<uint8_t> readAheadBuf_;
    uint32_t readAheadFirst_ = 0;        // first record held, 0: none
    uint32_t readAheadCount_ = 0;
    uint32_t readAheadCapacity_ = 0;     // whole records that fit
    bool readAhead_ = true;

    uint32_t recNo_ = 0;
    bool eof_ = false;
    bool bof_ = true;

    bool headerChanged_ = false;
    bool changedByOther_ = false;
    bool useDeleted_ = true;
    bool autoFlush_ = false;
    bool encrypted_ = false;
    bool hasMemo_ = false;
    bool indexOpen_ = false;
    uint32_t userId_ = 0;

    std::string readKey_;
    std::string writeKey_;

    TdbLokProtocol lockProtocol_ = TdbLokProtocol::Default;
    uint64_t lockBase_ = 0x40000000;
    uint64_t headerLockOffset_ = 0x7FFFFFFE;
    uint64_t fileLockLength_ = 0x3FFFFFFF;
};

}  // namespace dbf
