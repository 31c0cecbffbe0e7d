// The portable half of DBO_DiskFile: file-name expansion, the process-wide list of open
// engine files, and the read and write loops around the platform's single transfers, where
// a short read is noted and a read that must return every byte asked for raises.
#include "dbf/core/DBO_DiskFile.h"

#include <algorithm>
#include <mutex>

#include "dbf/core/TableError.h"
#include "dbf/core/XbaseText.h"

namespace dbf {

namespace {

std::mutex& registryMutex() {
    static std::mutex m;
    return m;
}

std::vector<DBO_DiskFile*>& registry() {
    static std::vector<DBO_DiskFile*> files;
    return files;
}

bool isSeparator(char c) noexcept { return c == '\\' || c == '/' || c == ':'; }

}  // namespace

DBO_DiskFile::DBO_DiskFile(std::string fileName, bool readWrite, bool shared)
    : fileName_(std::move(fileName)), readWrite_(readWrite), shared_(shared) {
    openedPath_ = fileName_;
    open();
}

DBO_DiskFile::DBO_DiskFile(std::string fileName, std::string openPath, bool readWrite, bool shared)
    : fileName_(std::move(fileName)), openedPath_(std::move(openPath)), readWrite_(readWrite), shared_(shared) {
    open();
}

void DBO_DiskFile::open() {
    osOpen();   // raises on failure; nothing to undo then
    try {
        registerOpen();
    } catch (...) {
        osClose();
        throw;
    }
}

DBO_DiskFile::~DBO_DiskFile() {
    unregisterOpen();
    osClose();
}

size_t DBO_DiskFile::read(uint64_t offset, void* buffer, size_t count) {
    auto* p = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < count) {
        const size_t n = osRead(offset + done, p + done, count - done);
        if (n == 0) break;
        done += n;
    }
    if (done < count) error_ = kErrShortRead;
    return done;
}

void DBO_DiskFile::write(uint64_t offset, const void* buffer, size_t count) {
    const auto* p = static_cast<const char*>(buffer);
    size_t done = 0;
    while (done < count) done += osWrite(offset + done, p + done, count - done);
}

void DBO_DiskFile::readExact(uint64_t offset, void* buffer, size_t count, int subCode) {
    size_t got = read(offset, buffer, count);
    if (got < count)
        raiseCorrupt(kErrShortRead, subCode, fileName_,
                     "the file ends after " + std::to_string(got) + " of the " + std::to_string(count) +
                         " bytes at offset " + std::to_string(offset));
}

std::string_view DBO_DiskFile::baseName(std::string_view name) noexcept {
    size_t i = name.size();
    while (i > 0 && !isSeparator(name[i - 1])) --i;
    return name.substr(i);
}

std::string DBO_DiskFile::expandPath(std::string_view name, std::string_view defaultExt) {
    std::string s(trimControls(name));
    if (baseName(s).find('.') == std::string_view::npos) s += defaultExt;
    // A name that already says where it lives is taken as it stands.
    if (s.find('\\') != std::string::npos || (s.size() > 2 && s.find(':', 2) != std::string::npos)) return s;
    return osFullPath(s);
}

std::string DBO_DiskFile::expandFileName(std::string_view name, std::string_view defaultExt) {
    std::string s = expandPath(name, defaultExt);
    osUpperCase(s);
    return s;
}

void DBO_DiskFile::registerOpen() {
    std::lock_guard<std::mutex> g(registryMutex());
    registry().push_back(this);
}

void DBO_DiskFile::unregisterOpen() noexcept {
    std::lock_guard<std::mutex> g(registryMutex());
    auto& r = registry();
    r.erase(std::remove(r.begin(), r.end(), this), r.end());
}

std::vector<std::string> DBO_DiskFile::openFileNames() {
    std::lock_guard<std::mutex> g(registryMutex());
    std::vector<std::string> names;
    for (const auto* f : registry()) names.push_back(f->fileName_);
    return names;
}

size_t DBO_DiskFile::openFileCount() {
    std::lock_guard<std::mutex> g(registryMutex());
    return registry().size();
}

}  // namespace dbf
