// The POSIX half of DBO_DiskFile. Errors are reported with the Windows numbers of the
// engine's error table. Share modes are imitated with flock (shared opens take a shared
// lock, exclusive opens an exclusive one); byte-range locks are open-file-description
// locks where the system has them, so closing another descriptor of the same file does not
// drop them.
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>

#include "dbf/core/DBO_DiskFile.h"
#include "dbf/core/TableError.h"
#include "dbf/core/XbaseText.h"

namespace dbf {

namespace {

int windowsError(int e) noexcept {
    switch (e) {
    case ENOENT: return kErrFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return kErrPathNotFound;
    case EMFILE:
    case ENFILE: return kErrTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS: return kErrAccessDenied;
    case EBADF: return kErrInvalidHandle;
    case ENOMEM: return kErrNotEnoughMemory;
    case EBUSY:
    case ETXTBSY:
    case EWOULDBLOCK: return kErrSharingViolation;
    case EIO: return kErrReadFault;
    case ENOSPC: return kErrDiskFull;
    case EFBIG:
    case EOVERFLOW:
    case EINVAL: return kErrInvalidParameter;
    case EEXIST: return kErrAlreadyExists;
    default: return kErrGeneralFailure;
    }
}

// Finds `path` without regard to letter case, one component at a time: an exact match is
// taken first, otherwise the first directory entry equal to it ignoring case. Empty when
// some component has no match.
std::string resolveCase(const std::string& path) {
    std::string result = path.empty() || path[0] != '/' ? "." : "";
    size_t i = 0;
    while (i < path.size()) {
        while (i < path.size() && path[i] == '/') ++i;
        if (i >= path.size()) break;
        size_t j = path.find('/', i);
        if (j == std::string::npos) j = path.size();
        std::string part = path.substr(i, j - i);
        i = j;
        std::string dir = result.empty() ? "/" : result;
        std::string exact = (result.empty() ? "" : result) + "/" + part;
        struct stat st;
        if (part == "." || part == ".." || ::stat(exact.c_str(), &st) == 0) {
            result = exact;
            continue;
        }
        DIR* d = ::opendir(dir.c_str());
        if (!d) return {};
        std::string found;
        while (dirent* e = ::readdir(d)) {
            if (::strcasecmp(e->d_name, part.c_str()) == 0) {
                found = e->d_name;
                break;
            }
        }
        ::closedir(d);
        if (found.empty()) return {};
        result = (result.empty() ? "" : result) + "/" + found;
    }
    return result;
}

bool parentExists(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) return true;
    std::string parent = path.substr(0, slash);
    struct stat st;
    if (::stat(parent.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    std::string real = resolveCase(parent);
    return !real.empty() && ::stat(real.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int openFile(const std::string& path, bool readWrite) {
    int flags = (readWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC;
    int fd;
    do fd = ::open(path.c_str(), flags);
    while (fd < 0 && errno == EINTR);
    return fd;
}

bool rangeLock(int fd, short type, uint64_t offset, uint64_t length) {
    if (offset > static_cast<uint64_t>(LLONG_MAX) || length > static_cast<uint64_t>(LLONG_MAX) - offset) {
        errno = EINVAL;
        return false;
    }
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(length);
#ifdef F_OFD_SETLK
    return ::fcntl(fd, F_OFD_SETLK, &fl) == 0;
#else
    return ::fcntl(fd, F_SETLK, &fl) == 0;
#endif
}

}  // namespace

void DBO_DiskFile::osOpen() {
    int fd = openFile(openedPath_, readWrite_);
    if (fd < 0 && errno == ENOENT) {
        std::string real = resolveCase(openedPath_);
        if (!real.empty()) {
            fd = openFile(real, readWrite_);
            if (fd >= 0) openedPath_ = real;
        } else {
            errno = ENOENT;
        }
    }
    if (fd < 0) {
        error_ = windowsError(errno);
        // Windows tells a missing folder from a missing file; POSIX says ENOENT for both.
        if (error_ == kErrFileNotFound && !parentExists(openedPath_)) error_ = kErrPathNotFound;
        raiseTableError(error_, kSubOpen, fileName_);
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        error_ = kErrAccessDenied;   // a directory or device: Windows refuses it as such
        raiseTableError(error_, kSubOpen, fileName_);
    }
    if (::flock(fd, (shared_ ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0) {
        int e = errno;
        ::close(fd);
        error_ = e == EWOULDBLOCK ? kErrSharingViolation : windowsError(e);
        raiseTableError(error_, kSubOpen, fileName_);
    }
    os_ = fd;
}

void DBO_DiskFile::osClose() noexcept {
    if (os_ >= 0) {
        ::close(static_cast<int>(os_));
        os_ = -1;
    }
}

size_t DBO_DiskFile::osRead(uint64_t offset, char* buffer, size_t count) {
    if (offset > static_cast<uint64_t>(LLONG_MAX)) return 0;   // no file reaches there
    for (;;) {
        ssize_t n = ::pread(static_cast<int>(os_), buffer, count, static_cast<off_t>(offset));
        if (n >= 0) return static_cast<size_t>(n);
        if (errno == EINTR) continue;
        error_ = windowsError(errno);
        raiseTableError(error_, kSubRead, fileName_);
    }
}

size_t DBO_DiskFile::osWrite(uint64_t offset, const char* buffer, size_t count) {
    for (;;) {
        ssize_t n = ::pwrite(static_cast<int>(os_), buffer, count, static_cast<off_t>(offset));
        if (n > 0) return static_cast<size_t>(n);
        if (n < 0 && errno == EINTR) continue;
        error_ = n == 0 ? kErrDiskFull : windowsError(errno);
        raiseTableError(error_, kSubWrite, fileName_);
    }
}

uint64_t DBO_DiskFile::fileSize() {
    struct stat st;
    if (::fstat(static_cast<int>(os_), &st) != 0) {
        error_ = windowsError(errno);
        raiseTableError(error_, kSubFileSize, fileName_);
    }
    return static_cast<uint64_t>(st.st_size);
}

void DBO_DiskFile::flush() {
    if (::fsync(static_cast<int>(os_)) != 0) {
        error_ = windowsError(errno);
        raiseTableError(error_, kSubFlush, fileName_);
    }
}

bool DBO_DiskFile::lock(uint64_t offset, uint64_t length) {
    if (rangeLock(static_cast<int>(os_), readWrite_ ? F_WRLCK : F_RDLCK, offset, length)) return true;
    error_ = kErrLockViolation;
    return false;
}

void DBO_DiskFile::unlock(uint64_t offset, uint64_t length) {
    rangeLock(static_cast<int>(os_), F_UNLCK, offset, length);
}

bool DBO_DiskFile::exists(const std::string& name) {
    struct stat st;
    if (::stat(name.c_str(), &st) == 0) return S_ISREG(st.st_mode);
    std::string real = resolveCase(name);
    return !real.empty() && ::stat(real.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string DBO_DiskFile::osFullPath(const std::string& name) {
    if (!name.empty() && name[0] == '/') return name;
    std::string cwd;
    char buf[4096];
    if (::getcwd(buf, sizeof buf)) cwd = buf;
    if (cwd.empty()) return name;
    if (cwd.back() != '/') cwd += '/';
    return cwd + name;
}

void DBO_DiskFile::osUpperCase(std::string& s) { s = upperAscii(s); }

}  // namespace dbf
