// The marks of the bench's copy of the program: a fixed table, filled without allocating, so
// that marking changes the start-up as little as it can. Each mark also sums the process's
// committed private memory; the time that sum takes is taken out of the later marks.
#include "app/StartupPhases.h"

#include <windows.h>

#include <cstdio>
#include <iterator>

#include "win32/ProcessMemory.h"

namespace app {

namespace {

struct Mark {
    const char* name;
    LONGLONG counter;
    unsigned long long privateBytes;
};

Mark gMarks[32];
int gCount = 0;
LONGLONG gMarking = 0;  // counter ticks spent summing memory so far

}  // namespace

void startupPhase(const char* name) noexcept {
    if (gCount == static_cast<int>(std::size(gMarks))) return;
    LARGE_INTEGER now, after;
    QueryPerformanceCounter(&now);
    const unsigned long long bytes = win::committedPrivateBytes();
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
        std::fprintf(f, "%lld %llu %s\n", gMarks[i].counter, gMarks[i].privateBytes, gMarks[i].name);
    std::fclose(f);
}

}  // namespace app
