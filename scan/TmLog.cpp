// The operation log's file and registry work.
#include "scan/TmLog.h"

#include <windows.h>

#include "scan/LogRules.h"
#include "win32/UniqueHandle.h"
#include "win32/Win32Error.h"

namespace scan {

namespace {

struct RegKeyTraits {
    using Handle = HKEY;
    static Handle invalid() noexcept { return nullptr; }
    static bool valid(Handle h) noexcept { return h != nullptr; }
    static void close(Handle h) noexcept { ::RegCloseKey(h); }
};
using UniqueRegKey = win::UniqueHandle<RegKeyTraits>;

[[noreturn]] void raiseLogError(const std::string& what, const std::string& file, DWORD code) {
    throw LogWriteError(what + " " + file + ": " + win::errorText(code));
}

// What GetDateFormatA or GetTimeFormatA wrote: `n` counts the closing NUL, and is 0 on failure.
std::string formattedText(const char* buffer, int n) {
    return n > 0 ? std::string(buffer, static_cast<size_t>(n - 1)) : std::string();
}

}  // namespace

std::string currentDateTimeText() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    char date[128], time[128];
    int dateLength = GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, sizeof date);
    int timeLength = GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &st, nullptr, time, sizeof time);
    return dateTimeText(formattedText(date, dateLength), formattedText(time, timeLength),
                        st.wHour == 0 && st.wMinute == 0 && st.wSecond == 0);
}

TmLog::TmLog() { writeRecord(); }

TmLog TmLog::withoutRecord() { return TmLog(NoRecord{}); }

void TmLog::Log(const std::string& text, TmTraceLevel severity) {
    if (!passesFilter(traceLevel_, severity)) return;
    std::string line = logLine(currentDateTimeText(), showSeverityLevelInLog_, severity, text);

    win::UniqueFileHandle file(CreateFileA(logFileName_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) raiseLogError("Cannot open log file", logFileName_, GetLastError());
    LARGE_INTEGER end{};
    if (!SetFilePointerEx(file.get(), LARGE_INTEGER{}, &end, FILE_END))
        raiseLogError("Cannot open log file", logFileName_, GetLastError());
    DWORD written = 0;
    if (!WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr))
        raiseLogError("Cannot write log file", logFileName_, GetLastError());
    if (written != line.size()) raiseLogError("Cannot write log file", logFileName_, ERROR_DISK_FULL);
    if (!FlushFileBuffers(file.get())) raiseLogError("Cannot flush log file", logFileName_, GetLastError());
    if (!CloseHandle(file.release())) raiseLogError("Cannot close log file", logFileName_, GetLastError());
}

void TmLog::setLogFileName(std::string name) {
    logFileName_ = std::move(name);
    writeRecord();
}

void TmLog::setTraceLevel(TmTraceLevel level) {
    traceLevel_ = level;
    writeRecord();
}

void TmLog::setTraceLevelRegKeyValue(std::string key) {
    traceLevelRegKeyValue_ = std::move(key);
    writeRecord();
}

void TmLog::writeRecord() const {
    if (traceLevelRegKeyValue_.empty()) return;
    const std::string failed = "Failed to set data for '" + logFileName_ + "'";
    HKEY opened = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, registryKeyPath(traceLevelRegKeyValue_).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &opened, nullptr) != ERROR_SUCCESS)
        throw RegistryError(failed);
    UniqueRegKey key(opened);
    DWORD data = traceLevel_;
    if (RegSetValueExA(key.get(), logFileName_.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                       sizeof data) != ERROR_SUCCESS)
        throw RegistryError(failed);
}

}  // namespace scan
