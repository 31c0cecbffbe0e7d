// The marks of the bench's copy of the program: a fixed table, filled without allocating, so
// that marking changes the start-up as little as it can. Each mark also sums the process's
// committed private memory; the time that sum takes is taken out of the later marks.
#include "app/StartupPhases.h"

#include <windows.h>

#include <cstdio>
#include <iterator>

namespace app {

namespace {

struct Mark {
    const char* name;
    LONGLONG counter;
    SIZE_T privateBytes;
};

Mark gMarks[32];
int gCount = 0;
LONGLONG gMarking = 0;  // counter ticks spent summing memory so far

SIZE_T committedPrivateBytes() {
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION m;
    for (const char* p = nullptr; VirtualQuery(p, &m, sizeof m) == sizeof m;) {
        if (m.State == MEM_COMMIT && m.Type == MEM_PRIVATE) total += m.RegionSize;
        const char* next = static_cast<const char*>(m.BaseAddress) + m.RegionSize;
        if (next <= p) break;
        p = next;
    }
    return total;
}

}  // namespace

void startupPhase(const char* name) noexcept {
    if (gCount == static_cast<int>(std::size(gMarks))) return;
    LARGE_INTEGER now, after;
    QueryPerformanceCounter(&now);
    const SIZE_T bytes = committedPrivateBytes();
    gMarks[gCount++] = {name, now.QuadPart - gMarking, bytes};
    QueryPerformanceCounter(&after);
    gMarking += after.QuadPart - now.QuadPart;
}

void writeStartupPhases() noexcept {
    FILE* f = std::fopen("ombrix-phases.txt", "w");
    if (!f) return;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::fprintf(f, "%lld\n", frequency.QuadPart);
    for (int i = 0; i < gCount; ++i)
        std::fprintf(f, "%lld %lu %s\n", gMarks[i].counter, static_cast<unsigned long>(gMarks[i].privateBytes),
                     gMarks[i].name);
    std::fclose(f);
}

}  // namespace app
