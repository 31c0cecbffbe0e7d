// The operation log's rules that need no system call: which lines pass the trace level,
// how a line is put together, and where its registry record goes. Tested natively.
#pragma once

#include <string>
#include <string_view>

#include "scan/TmTraceLevel.h"

namespace scan {

// Whether a line of `severity` is written under `traceLevel`: operation lines under the two
// operation levels, detail lines under the detail level only, exception lines always.
bool passesFilter(TmTraceLevel traceLevel, TmTraceLevel severity);

// " [Operation] ", " [OperationDetail] " or " [Exception] ", blanks included.
std::string_view severityTag(TmTraceLevel severity);

// The date-time text: the short date, then a blank and the long time, except at exactly
// midnight (hour, minute and second zero), when the date stands alone.
std::string dateTimeText(std::string_view shortDate, std::string_view longTime, bool midnight);

// One line as it goes into the file: the date-time text, a blank or the severity's tag, the
// text unchanged, and CR LF.
std::string logLine(std::string_view dateTime, bool showSeverity, TmTraceLevel severity, std::string_view text);

// The key path below HKEY_LOCAL_MACHINE: a leading backslash only says that the path starts
// at the root, where every path of this program starts anyway.
std::string registryKeyPath(std::string_view traceLevelRegKeyValue);

}  // namespace scan
