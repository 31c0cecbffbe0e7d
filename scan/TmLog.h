// The operation log: appends one time-stamped line per event to a plain text file, filtered
// by a trace level, and records that level in the registry whenever its settings change.
#pragma once

#include <stdexcept>
#include <string>

#include "scan/TmTraceLevel.h"

namespace scan {

// A log line that could not be put on disk (the file could not be opened, created,
// written, flushed or closed). Its message ends with the system's reason.
class LogWriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The registry record could not be written: "Failed to set data for '<value name>'".
class RegistryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TmLog {
public:
    static constexpr const char* kDefaultLogFileName = "default.log";
    static constexpr const char* kDefaultRegKey = "\\software\\zarurarevidev\\logs";

    // The defaults ("default.log", no severity tags, mtrcOperation, the default key), and
    // the registry record written once under them; raises RegistryError when it cannot be.
    TmLog();

    // The same defaults with nothing written to the registry, for an owner that can carry
    // on without the record (an account that may not write below HKEY_LOCAL_MACHINE).
    static TmLog withoutRecord();

    // Appends one line when the filter lets `severity` through. The file is opened (or
    // created), written, flushed and closed within the call, so the line is on disk when
    // it returns; the first failure raises LogWriteError and nothing is written after it.
    void Log(const std::string& text, TmTraceLevel severity);

    // The file; a bare name is taken in the current directory at each write.
    const std::string& LogFileName() const noexcept { return logFileName_; }
    bool ShowSeverityLevelInLog() const noexcept { return showSeverityLevelInLog_; }
    TmTraceLevel TraceLevel() const noexcept { return traceLevel_; }
    const std::string& TraceLevelRegKeyValue() const noexcept { return traceLevelRegKeyValue_; }

    // Each stores its value first and then writes the registry record, raising RegistryError
    // when that fails; the new value is kept either way.
    void setLogFileName(std::string name);
    void setTraceLevel(TmTraceLevel level);
    void setTraceLevelRegKeyValue(std::string key);
    // Only stored.
    void setShowSeverityLevelInLog(bool show) noexcept { showSeverityLevelInLog_ = show; }

private:
    struct NoRecord {};
    explicit TmLog(NoRecord) {}

    // A REG_DWORD below HKEY_LOCAL_MACHINE and the key TraceLevelRegKeyValue (created when
    // missing), named LogFileName, holding TraceLevel's ordinal. Nothing without a key.
    void writeRecord() const;

    std::string logFileName_ = kDefaultLogFileName;
    bool showSeverityLevelInLog_ = false;
    TmTraceLevel traceLevel_ = mtrcOperation;
    std::string traceLevelRegKeyValue_ = kDefaultRegKey;
};

// The current local date and time as the log writes it, in the user's regional formats.
std::string currentDateTimeText();

}  // namespace scan
