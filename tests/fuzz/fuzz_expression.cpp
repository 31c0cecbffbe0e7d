// libFuzzer target: parse the input as a key expression against a fixed record with a field
// of every type, then evaluate it. Input after the first line break, if any, replaces the
// record's bytes, so hostile field contents are explored as well as hostile expressions.
// Only the engine's expression error may escape parsing or evaluation; anything else (an
// out-of-range access, a bad_alloc, a sanitizer report, a stack overflow) is a finding.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/core/XbaseText.h"
#include "dbf/index/KeyExpression.h"

namespace {

struct Field {
    const char* name;
    char type;
    int length;
    int decimals;
};

constexpr Field kFields[] = {
    {"NAME", 'C', 10, 0},  {"CITY", 'C', 12, 0},  {"AMOUNT", 'N', 10, 2}, {"QTY", 'N', 5, 0},
    {"RATE", 'F', 8, 3},   {"BIRTH", 'D', 8, 0},  {"ACTIVE", 'L', 1, 0},  {"PID", 'I', 4, 0},
    {"NOTES", 'M', 10, 0}, {"PRICE", 'Y', 8, 4},  {"STAMP", 'T', 8, 0},  {"DBL", 'B', 8, 2},
    {"PIC", 'G', 4, 0},    {"AUTO", '+', 4, 0},   {"ODD", 'Q', 3, 0},    {"LONGTXT", 'C', 300, 0},
};
constexpr size_t kFieldCount = sizeof kFields / sizeof kFields[0];

const std::string kDefaultRecord = std::string("Smith     ") + "Austin      " + "    -45.25" + "   12" + "   1.500" +
                                   "19650704" + "T" + std::string("\x2e\xfb\xff\xff", 4) + "        17" +
                                   std::string("\x10\x27\0\0\0\0\0\0", 8) + std::string("\x8c\x3d\x25\0\0\0\0\0", 8) +
                                   std::string("\0\0\0\0\0\0\xf8\x3f", 8) + std::string(4, '\0') +
                                   std::string("\x80\0\0\x05", 4) + std::string("x\0y", 3) + std::string(300, 'L');

class FuzzRecord : public dbf::FieldSource {
public:
    explicit FuzzRecord(std::string_view bytes) {
        size_t offset = 0;
        for (const Field& f : kFields) {
            offsets_.push_back(offset);
            offset += static_cast<size_t>(f.length);
        }
        record_ = std::string(bytes.substr(0, offset));
        if (record_.size() < offset) record_ += kDefaultRecord.substr(record_.size(), offset - record_.size());
    }

    int findField(std::string_view name) const override {
        for (size_t i = 0; i < kFieldCount; ++i) {
            if (dbf::equalNoCase(name, kFields[i].name)) return static_cast<int>(i);
        }
        return -1;
    }
    char fieldType(int f) const override { return kFields[checked(f)].type; }
    int fieldLength(int f) const override { return kFields[checked(f)].length; }
    int fieldDecimals(int f) const override { return kFields[checked(f)].decimals; }
    std::string_view fieldRaw(int f) const override {
        const size_t i = checked(f);
        return std::string_view(record_).substr(offsets_[i], static_cast<size_t>(kFields[i].length));
    }
    bool deleted() const override { return false; }
    uint32_t recNo() const override { return 7; }
    bool bof() const override { return false; }
    bool eof() const override { return false; }

private:
    // A field number the parser did not hand out is a bug in the engine: stop here loudly.
    static size_t checked(int f) {
        if (f < 0 || static_cast<size_t>(f) >= kFieldCount) __builtin_trap();
        return static_cast<size_t>(f);
    }

    std::string record_;
    std::vector<size_t> offsets_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t lineBreak = input.find('\n');
    const std::string_view text = input.substr(0, lineBreak);
    const FuzzRecord record(lineBreak == std::string_view::npos ? kDefaultRecord
                                                                : input.substr(lineBreak + 1));
    try {
        const dbf::TdbExpHandler expression(text, record);
        const char declared = expression.resultType();
        const dbf::TdbVariant value = expression.evaluate(record);
        // What the parser promised about the type must hold for the value.
        if (declared != 'U' && declared != value.type()) __builtin_trap();
        if (value.isCharacter() && value.text().size() > dbf::TdbExpHandler::kMaxStringLength) __builtin_trap();
        const std::string key = dbf::heldKey(value);
        if (!value.isCharacter() && !value.isLogical() && key.size() > dbf::kNumericKeyLength) __builtin_trap();
    } catch (const dbf::ETableExpression&) {
    }
    return 0;
}
