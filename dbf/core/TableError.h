// The table engine's error classes. Every failure of the engine is raised as one of these;
// nothing crosses the engine's interface as an error code.
#pragma once

#include <stdexcept>
#include <string>

namespace dbf {

// A failed file operation or a damaged file: carries the engine's error code (operating
// system numbers below 1000, the engine's own from 1001), the subcode naming the failed
// operation (-7: none) and the message built from the engine's error table.
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

constexpr int kNoSubCode = -7;

// The message for `code` as the engine's error table forms it, with `fileName` (may be empty).
std::string tableErrorMessage(int code, int subCode, const std::string& fileName);

// Raises ETableError for `code`/`subCode` on `fileName`.
[[noreturn]] void raiseTableError(int code, int subCode, const std::string& fileName);

// Raises ETableError for a damaged file: the "Table Error" form with `code` and `subCode`,
// followed by a plain description of what was wrong and where (`detail`).
[[noreturn]] void raiseCorrupt(int code, int subCode, const std::string& fileName, const std::string& detail);

}  // namespace dbf
