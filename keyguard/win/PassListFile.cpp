#include "keyguard/win/PassListFile.h"

#include <cstring>
#include <string>

namespace keyguard {

bool PassListFile::watch(const char* folder) {
    close();
    const std::size_t n = folder ? strnlen(folder, MAX_PATH) : 0;
    path_[0] = 0;
    if (n == 0 || n >= MAX_PATH) return false;
    memcpy(path_, folder, n);
    memcpy(path_ + n, "pl.txt", sizeof "pl.txt");
    changes_ = FindFirstChangeNotificationA(
        folder, FALSE, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE);
    return changes_ != INVALID_HANDLE_VALUE;
}

void PassListFile::takeChange(PassList& list) {
    if (changes_ != INVALID_HANDLE_VALUE && !FindNextChangeNotification(changes_)) close();
    readInto(list);
}

void PassListFile::readInto(PassList& list) const {
    list.clear();
    if (!path_[0]) return;
    HANDLE file = CreateFileA(path_, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    std::string text(PassList::kMaxBytes, '\0');
    DWORD got = 0;
    if (ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &got, nullptr)) {
        text.resize(got);
        list.assign(text);
    }
    CloseHandle(file);
}

void PassListFile::close() noexcept {
    if (changes_ != INVALID_HANDLE_VALUE) FindCloseChangeNotification(changes_);
    changes_ = INVALID_HANDLE_VALUE;
}

}  // namespace keyguard
