// The table data set: a table opened and closed as a whole through published properties,
// searched with Find on its active index tag, read row by row through the fetch that a
// data-access framework drives, with fields and bookmarks. It carries the small part of
// such a framework that the program needs (First, Last, Next, Prior, a single active row);
// editing, filters and links are not part of it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/dataset/TField.h"
#include "dbf/dataset/TRecordBuffer.h"
#include "dbf/table/DBO_dBHandler.h"

namespace dbf {

class TableAliases;

// What the row fetch is asked for and what it gives back.
enum class TGetMode { gmNext, gmPrior, gmCurrent };
enum class TGetResult { grOK, grBOF, grEOF, grError };
// Long operations during which the table refuses other work.
enum class TBusyState { None, BuildingIndex, Copying };

struct TIndexDef {
    std::string name;         // the tag name
    std::string expression;   // its key expression
};

class TTableDataSet {
public:
    TTableDataSet();
    // Closes the data set; never throws.
    virtual ~TTableDataSet();
    TTableDataSet(const TTableDataSet&) = delete;
    TTableDataSet& operator=(const TTableDataSet&) = delete;

    // Properties. Those marked "inactive only" raise EDatabaseError "Cannot perform this
    // operation on an open dataset" while the data set is open.
    // Table file; ".DBF" is added on open when it has no extension. Inactive only; a
    // different name clears IndexFiles.
    void setTableName(const std::string& name);
    const std::string& TableName() const noexcept { return tableName_; }
    // Directory of the table and index files: "Default Directory" (the executable's
    // folder), an alias of "tables.cfg", or a directory; empty: the current directory.
    void setDatabaseName(const std::string& name) { databaseName_ = name; }
    const std::string& DatabaseName() const noexcept { return databaseName_; }
    // Index files opened with the table, in order.
    std::vector<std::string> IndexFiles;
    // The active tag; empty means record order. With an open table the setter selects it
    // at once (raising the engine's "Cannot find index tag %s", the name kept all the same).
    void setIndexName(const std::string& name);
    const std::string& IndexName() const noexcept { return indexName_; }
    // Key of an enciphered table. Inactive only.
    void setEncryptionKey(const std::string& key);
    const std::string& EncryptionKey() const noexcept { return encryptionKey_; }
    bool Exclusive = false;       // false: table and index files opened shared (deny none)
    bool ReadOnly = false;        // false: opened for reading and writing
    bool TranslateASCII = true;   // character data and search keys translated OEM <-> ANSI
    bool UseDeleted = false;      // false: records marked deleted are not seen
    bool AutoFlush = false;       // flush the file buffers after each record write
    TdbLokProtocol LockProtocol = TdbLokProtocol::Default;
    uint32_t UserID = 0;          // written into the table header with each header write
    bool ExactCount = false;      // RecordCount walks the table instead of trusting its size
    // The engine's version banner; no effect.
    static const char* About() noexcept;

    // Where "Default Directory" and aliases point; the system's unless a test sets others.
    void setAliases(const TableAliases* aliases) noexcept { aliases_ = aliases; }
    void setExecutableFolder(const std::string& folder) { executableFolder_ = folder; }

    // Opens the table with its index files, selects IndexName and fetches the first row.
    // Raises the data set's errors ("Table name missing", "Cannot find file %s", "Error
    // getting %s") and the engine's; a failed Open leaves the data set closed. Opening an
    // open data set does nothing.
    void Open();
    // Closes the table and its index files; closing a closed data set does nothing.
    void Close() noexcept;
    bool Active() const noexcept { return handler_ != nullptr; }

    // Opens one more index file on the open table; an index file of that name already open
    // is left alone. Raises on a closed or busy data set and for a file that cannot be
    // opened.
    void OpenIndexFile(const std::string& name);

    // Searches `key` on the active tag (translated to OEM first when TranslateASCII is on;
    // keys beyond 255 characters are cut). IsExact: a key that is only the beginning of an
    // index key is no hit. IsNear: a miss stands on the next greater key. True on a hit;
    // the data set then stands on the first visible record carrying the key. A miss without
    // a greater key, or without IsNear, stands on the last record in key order with Eof.
    // An empty table gives false without moving.
    bool Find(const std::string& key, bool IsExact, bool IsNear);

    // The record number of the active row (0: none). Raises on a closed data set.
    uint32_t RecNo() const;
    // Without ExactCount the table's record count; with it, the records met walking the
    // current order (deleted records skipped unless used). Raises on a closed data set.
    uint32_t RecordCount();

    // Copies `source` into `destination` (room for source.size() bytes; may be the same
    // buffer), translated to OEM (ToOem) or to ANSI when TranslateASCII is on. Returns the
    // length of the source.
    size_t Translate(std::string_view source, char* destination, bool ToOem) const;

    // Fields, made from the table's descriptors on open (types without a field are left
    // out). FieldByName raises EDatabaseError "Field 'NAME' not found".
    const std::vector<TField>& Fields() const noexcept { return fields_; }
    const TField* FindField(std::string_view name) const noexcept;
    const TField& FieldByName(std::string_view name) const;
    // One per tag of the open index files: rebuilt on open, and when asked for after
    // OpenIndexFile.
    const std::vector<TIndexDef>& IndexDefs();

    // Navigation, as the framework offers it. Each raises on a closed data set and runs
    // BeforeScroll and AfterScroll around the move.
    void First();
    void Last();
    void Next();
    void Prior();
    bool Eof() const noexcept { return eof_; }
    bool Bof() const noexcept { return bof_; }

    // Bookmarks: the active row's record number in the bookmark form (TRecordBuffer).
    std::string Bookmark() const;
    // A bookmark holding a record number from 1 to the record count.
    bool BookmarkValid(std::string_view bookmark);
    // Makes the bookmarked record the active row; raises "Record request beyond range of
    // table" for a bookmark that is not valid.
    void GotoBookmark(std::string_view bookmark);
    static int CompareBookmarks(std::string_view a, std::string_view b) noexcept;

    // The row fetch the framework drives: next, prior or current row into `buffer`.
    // grError for a current row that cannot be given; with `doCheck` that raises "Record
    // request beyond range of table" instead.
    TGetResult GetRecord(TRecordBuffer& buffer, TGetMode mode, bool doCheck);
    // Positioning hooks of the fetch: the next fetch of the next (prior) row gives the
    // first (last) row.
    void InternalFirst() noexcept;
    void InternalLast() noexcept;

    // Events around moves of the cursor.
    std::function<void(TTableDataSet&)> BeforeScroll;
    std::function<void(TTableDataSet&)> AfterScroll;

    // The table handler while open, else null.
    DBO_dBHandler* DBFObject() const noexcept { return handler_.get(); }
    TBusyState busyState() const noexcept { return busy_; }
    // The record image of the active row, null when there is none.
    const uint8_t* activeRecord() const noexcept;

protected:
    // For long operations of derived data sets (building an index, copying the table).
    void setBusyState(TBusyState state) noexcept { busy_ = state; }

private:
    void checkActive() const;
    void checkInactive() const;
    void checkNotBusy() const;
    std::string tableDirectory() const;
    void internalOpen();
    void openIndexFiles();
    void rebuildIndexDefs();
    // First (Last): the row at the start (end) of the current order.
    void goToEnd(bool last);
    // Next (Prior): the row after (before) the active one.
    void step(bool forward);
    // Brings the table back to the active row before a relative fetch, when a failed fetch
    // or a search moved it.
    void setToActiveRecord();
    // Makes the record the table stands on the active row.
    void resync();
    void clearActive() noexcept;

    std::string tableName_;
    std::string databaseName_;
    std::string indexName_;
    std::string encryptionKey_;
    const TableAliases* aliases_ = nullptr;
    std::string executableFolder_;   // empty: the running executable's

    std::unique_ptr<DBO_dBHandler> handler_;
    std::vector<TField> fields_;
    std::vector<TIndexDef> indexDefs_;
    bool indexDefsStale_ = false;
    TRecordBuffer active_;
    TRecordBuffer fetch_;
    uint32_t calcFieldsSize_ = 0;
    bool beforeFirst_ = false;
    bool afterLast_ = false;
    bool eof_ = true;
    bool bof_ = true;
    TBusyState busy_ = TBusyState::None;
};

}  // namespace dbf
