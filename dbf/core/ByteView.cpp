// The one way out of a ByteView read that would leave its bytes.
#include "dbf/core/ByteView.h"

namespace dbf {

// A read outside a block that came from a file means a damaged structure in that file: the
// engine's "unreadable file" number (no entry in the error table, so the "Table Error"
// form), followed by where it happened.
void ByteView::outOfBounds(size_t off, size_t len) const {
    raiseCorrupt(kErrIndexUnreadable, kNoSubCode, file_ ? *file_ : std::string(),
                 "a read of " + std::to_string(len) + " bytes at file offset " +
                     std::to_string(base_ + off) + " leaves the " + std::to_string(n_) +
                     "-byte block at file offset " + std::to_string(base_));
}

}  // namespace dbf
