// Marks of the start-up's phases, for the start-up bench's breakdown. They cost nothing in the
// shipped program: only the bench's own copy of it is built with OMBRIX_STARTUP_PHASES, and
// that copy writes the marks to "ombrix-phases.txt" in its current directory once its window
// has been shown: the counter's frequency, then a line "<counter> <private bytes> <phase>"
// for each phase, stamped when the phase is over.
#pragma once

namespace app {

#ifdef OMBRIX_STARTUP_PHASES
void startupPhase(const char* name) noexcept;
void writeStartupPhases() noexcept;
#else
inline void startupPhase(const char*) noexcept {}
inline void writeStartupPhases() noexcept {}
#endif

}  // namespace app
