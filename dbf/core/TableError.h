// The table engine's error classes, and the one list of its error numbers, subcodes and
// fixed message texts. Every failure of the engine is raised as one of these classes;
// nothing crosses the engine's interface as an error code.
#pragma once

#include <stdexcept>
#include <string>

namespace dbf {

// A failed file operation or a damaged file: carries the engine's error code (operating
// system numbers below 1000, the engine's own from 1001), the subcode naming the failed
// operation (kNoSubCode: none) and the message built from the engine's error table.
class ETableError : public std::runtime_error {
public:
    ETableError(int code, int subCode, const std::string& message)
        : std::runtime_error(message), code_(code), subCode_(subCode) {}
    int code() const noexcept { return code_; }
    int subCode() const noexcept { return subCode_; }

private:
    int code_;
    int subCode_;
};

// A missing, unexpected or wrong key for an enciphered table.
class ETableEncryption : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A key or FOR expression that cannot be parsed or evaluated.
class ETableExpression : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Error codes. Below 1000 the operating system's numbers (GetLastError), whatever the
// platform: the POSIX half of the disk file maps errno onto them. Those with a text in the
// engine's error table (TableError.cpp) come first.
constexpr int kErrFileNotFound = 2;
constexpr int kErrPathNotFound = 3;
constexpr int kErrTooManyOpenFiles = 4;
constexpr int kErrAccessDenied = 5;
constexpr int kErrInvalidAccessCode = 12;
constexpr int kErrInvalidDrive = 15;
constexpr int kErrSharingViolation = 32;
constexpr int kErrLockViolation = 33;
constexpr int kErrDiskRead = 100;
constexpr int kErrDiskWrite = 101;
constexpr int kErrFileNotAssigned = 102;
constexpr int kErrFileNotOpen = 103;
constexpr int kErrNotOpenForInput = 104;
constexpr int kErrNotOpenForOutput = 105;
constexpr int kErrInvalidNumber = 106;
constexpr int kErrWriteProtected = 150;
constexpr int kErrDriveNotReady = 152;
constexpr int kErrHardwareFailure = 162;
constexpr int kErrAlreadyExists = 183;
// System numbers without a text of their own ("Table Error" form).
constexpr int kErrInvalidHandle = 6;
constexpr int kErrNotEnoughMemory = 8;
constexpr int kErrReadFault = 30;
constexpr int kErrGeneralFailure = 31;
constexpr int kErrInvalidParameter = 87;
constexpr int kErrDiskFull = 112;
// A read that returned fewer bytes than asked (left in the file's error state).
constexpr int kErrShortRead = 221;
// The engine's own.
constexpr int kErrHeaderInvalid = 1001;
constexpr int kErrBeyondEof = 1002;
constexpr int kErrFieldName = 1003;
constexpr int kErrFieldType = 1004;
constexpr int kErrMemoFormat = 1005;
constexpr int kErrFormula = 1006;
constexpr int kErrNumberTooLarge = 1011;
// Three codes of the table whose text is empty: their message is " - " and the file name.
constexpr int kErrNoText1269 = 1269;
constexpr int kErrNoText1270 = 1270;
constexpr int kErrNoText1271 = 1271;
// An index file (or any block read through a ByteView) found damaged; no text of its own.
constexpr int kErrIndexUnreadable = 2112;
// A message that stands on its own, outside the error table ("Cannot find index tag ...").
constexpr int kNoCode = 0;

// Subcodes naming the failed operation.
constexpr int kSubRead = 1101;
constexpr int kSubWrite = 1102;
constexpr int kSubFileSize = 1105;
constexpr int kSubRename = 1106;
constexpr int kSubOpen = 1107;
constexpr int kSubCreate = 1108;
constexpr int kSubTruncate = 1109;
constexpr int kSubFlush = 1111;
constexpr int kSubHeaderCheck = 1204;
constexpr int kSubRecordRead = 1207;
constexpr int kSubFieldLookup = 1298;
constexpr int kSubKeyChange = 2105;       // change of key on a shared table
constexpr int kSubIndexUnreadable = 2112;
constexpr int kNoSubCode = -7;

// The engine's fixed texts outside the error table; a trailing blank means the caller
// appends a name. The user sees them in the error box, misspellings included.
namespace msg {
inline constexpr const char* kNoPassword = "No Password for encrypted file ";
inline constexpr const char* kPasswordForPlainFile = "A Password is included for unencrypted file ";
inline constexpr const char* kInvalidPassword = "Invalid Password for encrypted file ";
inline constexpr const char* kTagNotFound = "Cannot find index tag ";
inline constexpr const char* kVariantMismatch = "Variant types mismatch for compare";
// Key and FOR expressions (raised by expr/ExpressionError.cpp).
inline constexpr const char* kSyntaxError = "Syntax Error in expression ";   // + the text in quotes
inline constexpr const char* kUnknownField = "Field/variable ";               // + name + kIsUnknown
inline constexpr const char* kIsUnknown = " is unknown";
inline constexpr const char* kNoFunction = "There is no function for ";
inline constexpr const char* kMissingParenthesis = "Missing closing parentheses";
inline constexpr const char* kMissingClosing = "Missing closing ";           // + the character in quotes
inline constexpr const char* kOnLiteral = " on literal";
inline constexpr const char* kCannotEvaluate = "Expression cannot be evaluated";
}  // namespace msg

// The message for `code` as the engine's error table forms it, with `fileName` (may be empty).
std::string tableErrorMessage(int code, int subCode, const std::string& fileName);

// Raises ETableError for `code`/`subCode` on `fileName`.
[[noreturn]] void raiseTableError(int code, int subCode, const std::string& fileName);

// Raises ETableError for a damaged file: the "Table Error" form with `code` and `subCode`,
// followed by a plain description of what was wrong and where (`detail`).
[[noreturn]] void raiseCorrupt(int code, int subCode, const std::string& fileName, const std::string& detail);

}  // namespace dbf
