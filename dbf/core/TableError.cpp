// The engine's error table and the message forms built from it.
#include "dbf/core/TableError.h"

#include <iterator>

namespace dbf {

namespace {

struct ErrorText {
    int code;
    const char* text;
};

// Codes below 1000 are the operating system's (GetLastError); from 1001 the engine's own.
constexpr ErrorText kErrorTable[] = {
    {2, "File not found"},
    {3, "Path not found"},
    {4, "Too many open files"},
    {5, "File access denied"},
    {12, "Invalid file access code"},
    {15, "Invalid drive number"},
    {32, "File access denied"},
    {33, "Record locked by another user"},
    {100, "Disk read error"},
    {101, "Disk write error"},
    {102, "File not assigned"},
    {103, "File not open"},
    {104, "File not open for input"},
    {105, "File not open for output"},
    {106, "Invalid numeric format"},
    {150, "Disk is write-protected"},
    {152, "Drive not ready"},
    {162, "Hardware failure"},
    {183, "File already exists"},
    {1001, "dBase DBF file header invalid"},
    {1002, "dBase record request beyond EOF"},
    {1003, "dBase field name is invalid"},
    {1004, "dBase field is of incorrect type"},
    {1005, "dBase memo record has format error"},
    {1006, "Formula expression cannot be translated"},
    {1011, "Number too large to fit in field"},
    {1269, ""},
    {1270, ""},
    {1271, ""},
};

const char* findText(int code) noexcept {
    for (const auto& e : kErrorTable)
        if (e.code == code) return e.text;
    return nullptr;
}

}  // namespace

std::string tableErrorMessage(int code, int subCode, const std::string& fileName) {
    if (const char* text = findText(code)) {
        std::string m = text;
        // Without a file there is nothing to put after the separator.
        if (!fileName.empty()) m += " - " + fileName;
        return m;
    }
    std::string m = "Table Error " + std::to_string(code);
    if (subCode != kNoSubCode) m += ", SubCode " + std::to_string(subCode);
    m += ".\r";
    if (!fileName.empty()) m += " " + fileName + ">" + std::to_string(subCode);
    return m;
}

void raiseTableError(int code, int subCode, const std::string& fileName) {
    throw ETableError(code, subCode, tableErrorMessage(code, subCode, fileName));
}

void raiseCorrupt(int code, int subCode, const std::string& fileName, const std::string& detail) {
    throw ETableError(code, subCode, tableErrorMessage(code, subCode, fileName) + " (" + detail + ")");
}

}  // namespace dbf
