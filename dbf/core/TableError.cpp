// The engine's error table and the message forms built from it.
#include "dbf/core/TableError.h"

#include <iterator>

namespace dbf {

namespace {

struct ErrorText {
    int code;
    const char* text;
};

// The error table: the text of each code that has one (TableError.h lists every code).
constexpr ErrorText kErrorTable[] = {
    {kErrFileNotFound, "File not found"},
    {kErrPathNotFound, "Path not found"},
    {kErrTooManyOpenFiles, "Too many open files"},
    {kErrAccessDenied, "File access denied"},
    {kErrInvalidAccessCode, "Invalid file access code"},
    {kErrInvalidDrive, "Invalid drive number"},
    {kErrSharingViolation, "File access denied"},
    {kErrLockViolation, "Record locked by another user"},
    {kErrDiskRead, "Disk read error"},
    {kErrDiskWrite, "Disk write error"},
    {kErrFileNotAssigned, "File not assigned"},
    {kErrFileNotOpen, "File not open"},
    {kErrNotOpenForInput, "File not open for input"},
    {kErrNotOpenForOutput, "File not open for output"},
    {kErrInvalidNumber, "Invalid numeric format"},
    {kErrWriteProtected, "Disk is write-protected"},
    {kErrDriveNotReady, "Drive not ready"},
    {kErrHardwareFailure, "Hardware failure"},
    {kErrAlreadyExists, "File already exists"},
    {kErrHeaderInvalid, "dBase DBF file header invalid"},
    {kErrBeyondEof, "dBase record request beyond EOF"},
    {kErrFieldName, "dBase field name is invalid"},
    {kErrFieldType, "dBase field is of incorrect type"},
    {kErrMemoFormat, "dBase memo record has format error"},
    {kErrFormula, "Formula expression cannot be translated"},
    {kErrNumberTooLarge, "Number too large to fit in field"},
    {kErrNoText1269, ""},
    {kErrNoText1270, ""},
    {kErrNoText1271, ""},
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
