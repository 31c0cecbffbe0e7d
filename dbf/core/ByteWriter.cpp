// The byte writer's copy of a run of bytes and its one way out.
#include "dbf/core/ByteWriter.h"

#include <cstring>
#include <stdexcept>
#include <string>

namespace dbf {

void ByteWriter::putBytes(size_t off, std::string_view bytes) {
    need(off, bytes.size());
    if (!bytes.empty()) std::memcpy(d_ + off, bytes.data(), bytes.size());
}

void ByteWriter::outOfBounds(size_t off, size_t len) const {
    throw std::out_of_range("a write of " + std::to_string(len) + " bytes at offset " + std::to_string(off) +
                            " leaves the " + std::to_string(n_) + "-byte block");
}

}  // namespace dbf
