// The pass-through list's file, "pl.txt" in the program's folder. It is only ever read, by
// the hook thread between keys and never from the hook procedure: no key comes near a file.
#pragma once

#include <windows.h>

#include "keyguard/core/PassThrough.h"

namespace keyguard {

class PassListFile {
public:
    PassListFile() = default;
    virtual ~PassListFile() { close(); }
    PassListFile(const PassListFile&) = delete;
    PassListFile& operator=(const PassListFile&) = delete;

    // Names the file in `folder` (with its trailing backslash) and watches the folder.
    // False when the folder is not known or cannot be watched: the caller then reads the
    // list again from time to time.
    bool watch(const char* folder);
    // Signalled when something in the folder changed; INVALID_HANDLE_VALUE when not watched.
    HANDLE changes() const noexcept { return changes_; }
    // After `changes()` was signalled: watches again, then reads. Wine forgets a change made
    // before the watch is asked for again (Windows keeps it), and the program's replacement
    // of the file lands the moment a reader lets go of it: read first, that list would go
    // unseen until the next change.
    void takeChange(PassList& list);
    // The file's names into `list`; a missing or unreadable file is an empty list.
    virtual void readInto(PassList& list) const;
    void close() noexcept;

private:
    char path_[MAX_PATH + 8] = {};
    HANDLE changes_ = INVALID_HANDLE_VALUE;
};

}  // namespace keyguard
