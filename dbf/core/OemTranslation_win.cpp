// The Windows half of the OEM/ANSI translation: the system's own, for the code pages the
// user's Windows is set to.
#include <windows.h>

#include <cstring>

#include "dbf/core/OemTranslation.h"

namespace dbf {

namespace {

// The system calls take a DWORD length; the data set never translates more than a record.
constexpr size_t kChunk = 0x10000000;

}  // namespace

void ansiToOem(const char* source, char* destination, size_t count) noexcept {
    for (size_t done = 0; done < count; done += kChunk) {
        size_t n = count - done < kChunk ? count - done : kChunk;
        ::CharToOemBuffA(source + done, destination + done, static_cast<DWORD>(n));
    }
}

void oemToAnsi(const char* source, char* destination, size_t count) noexcept {
    for (size_t done = 0; done < count; done += kChunk) {
        size_t n = count - done < kChunk ? count - done : kChunk;
        ::OemToCharBuffA(source + done, destination + done, static_cast<DWORD>(n));
    }
}

}  // namespace dbf
