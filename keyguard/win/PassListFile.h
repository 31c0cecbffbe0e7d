// The pass-through list's file, "pl.txt" in the program's folder. It is only ever read, by
// the hook thread between keys and never from the hook procedure: no key comes near a file.
#pragma once

#include <windows.h>

#include "keyguard/core/PassThrough.h"

namespace keyguard {

class PassListFile {
public:
    // Names the file in `folder` (with its trailing backslash) and watches the folder.
    // Returns the change notification's handle, or INVALID_HANDLE_VALUE when the folder is
    // not known or cannot be watched (the list is then read at each idle refresh).
    HANDLE watch(const char* folder);
    // The file's names into `list`; a missing or unreadable file is an empty list.
    void readInto(PassList& list) const;

private:
    char path_[MAX_PATH + 8] = {};
};

}  // namespace keyguard
