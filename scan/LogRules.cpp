// Operation log lines and filter.
#include "scan/LogRules.h"

namespace scan {

bool passesFilter(TmTraceLevel traceLevel, TmTraceLevel severity) {
    switch (severity) {
    case mtrcOperation: return traceLevel == mtrcOperation || traceLevel == mtrcOperationDetail;
    case mtrcOperationDetail: return traceLevel == mtrcOperationDetail;
    case mtrcException: return true;
    }
    return false;
}

std::string_view severityTag(TmTraceLevel severity) {
    switch (severity) {
    case mtrcOperation: return " [Operation] ";
    case mtrcOperationDetail: return " [OperationDetail] ";
    case mtrcException: return " [Exception] ";
    }
    return " ";
}

std::string dateTimeText(std::string_view shortDate, std::string_view longTime, bool midnight) {
    std::string text(shortDate);
    if (!midnight) {
        text += ' ';
        text += longTime;
    }
    return text;
}

std::string logLine(std::string_view dateTime, bool showSeverity, TmTraceLevel severity, std::string_view text) {
    std::string line(dateTime);
    line += showSeverity ? severityTag(severity) : std::string_view(" ");
    line += text;
    line += "\r\n";
    return line;
}

std::string registryKeyPath(std::string_view traceLevelRegKeyValue) {
    if (!traceLevelRegKeyValue.empty() && traceLevelRegKeyValue.front() == '\\') traceLevelRegKeyValue.remove_prefix(1);
    return std::string(traceLevelRegKeyValue);
}

}  // namespace scan
