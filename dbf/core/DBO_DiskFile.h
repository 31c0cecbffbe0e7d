// A named engine file: positioned reads and writes, its size, byte-range locks and the last
// operating-system error. The Windows and POSIX halves live in DBO_DiskFile_win.cpp and
// DBO_DiskFile_posix.cpp; everything here is the same on both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/core/TableError.h"

namespace dbf {

class DBO_DiskFile {
public:
    // Opens the existing file `fileName` for reading, or reading and writing; shared means
    // others may read and write it too (deny none), otherwise the file is held exclusively.
    // The name is held as given (callers pass the expanded, upper-cased full name) and is
    // the name every error reports. On POSIX the name is matched against the real file
    // system without regard to case, so an upper-cased name finds "a_tiny.dbf".
    // Raises ETableError with the system's error number (TableError.h) and subcode kSubOpen
    // on failure.
    DBO_DiskFile(std::string fileName, bool readWrite, bool shared);
    // As above, held and reported as `fileName` but opened through `openPath` (the same
    // file named in its real letter case, for case-sensitive file systems).
    DBO_DiskFile(std::string fileName, std::string openPath, bool readWrite, bool shared);
    virtual ~DBO_DiskFile();

    DBO_DiskFile(const DBO_DiskFile&) = delete;
    DBO_DiskFile& operator=(const DBO_DiskFile&) = delete;

    // The held (full, upper-case) name.
    const std::string& fileName() const noexcept { return fileName_; }
    // The path the file was actually opened by (its real letter case on POSIX).
    const std::string& openedPath() const noexcept { return openedPath_; }
    bool readWrite() const noexcept { return readWrite_; }
    bool shared() const noexcept { return shared_; }

    // Last error number (0: none) left by an operation of this file.
    int lastError() const noexcept { return error_; }
    void clearError() noexcept { error_ = 0; }

    // Reads up to `count` bytes at `offset`, returns how many were read. A short read (end
    // of file) leaves kErrShortRead in lastError() and does not raise: a caller that needs
    // all the bytes raises itself (see readExact). An operating-system failure raises
    // ETableError with subcode kSubRead.
    size_t read(uint64_t offset, void* buffer, size_t count);
    // Reads exactly `count` bytes or raises ETableError naming `subCode`, the offset and
    // how many bytes were missing.
    void readExact(uint64_t offset, void* buffer, size_t count, int subCode);
    // Writes `count` bytes at `offset`; raises ETableError with subcode kSubWrite on failure.
    void write(uint64_t offset, const void* buffer, size_t count);
    // Current size of the file; raises with subcode kSubFileSize.
    uint64_t fileSize();
    // Commits written data to the disk; raises with subcode kSubFlush.
    void flush();

    // Byte-range locks. lock() returns false when another holder has the range
    // (kErrLockViolation is left in lastError()); unlock() of a range not held is harmless.
    bool lock(uint64_t offset, uint64_t length);
    void unlock(uint64_t offset, uint64_t length);

    // Trims, upper-cases, adds `defaultExt` (e.g. ".DBF") when the file part has no
    // extension, and expands the result against the current directory unless it already
    // holds a directory ("\" anywhere, ":" after the second character; on POSIX also
    // "/"). The result is upper case: the engine holds and reports file names that way.
    static std::string expandFileName(std::string_view name, std::string_view defaultExt);
    // The same expansion without the change of case: the path to open.
    static std::string expandPath(std::string_view name, std::string_view defaultExt);
    // The part of `name` after its last "\", "/" or ":".
    static std::string_view baseName(std::string_view name) noexcept;
    // True when `name` names an existing regular file (matched as open() matches it).
    static bool exists(const std::string& name);

    // The process-wide list of open engine files, in opening order.
    static std::vector<std::string> openFileNames();
    static size_t openFileCount();

private:
    void registerOpen();
    void unregisterOpen() noexcept;

    void open();

    // Platform half. osRead and osWrite transfer at most `count` bytes at `offset` in one
    // call and return how many they did (osRead: 0 at the end of the file); a failure
    // raises.
    void osOpen();
    void osClose() noexcept;
    size_t osRead(uint64_t offset, char* buffer, size_t count);
    size_t osWrite(uint64_t offset, const char* buffer, size_t count);
    static std::string osFullPath(const std::string& name);
    static void osUpperCase(std::string& s);

    std::string fileName_;
    std::string openedPath_;
    bool readWrite_;
    bool shared_;
    int error_ = 0;
    // The open file: a HANDLE on Windows, a descriptor on POSIX; -1 (INVALID_HANDLE_VALUE
    // on Windows) when closed.
    intptr_t os_ = -1;
};

}  // namespace dbf
