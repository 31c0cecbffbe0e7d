// The operation log's trace level, which is also the severity of one log line. Stored in
// one byte; the ordinals are what the registry record holds.
#pragma once

#include <cstdint>

namespace scan {

enum TmTraceLevel : std::uint8_t {
    mtrcOperation = 0,
    mtrcOperationDetail = 1,
    mtrcException = 2,
};

}  // namespace scan
