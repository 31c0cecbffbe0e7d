// The byte forms in which an index holds its keys.
#include "dbf/index/IndexKeyForm.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "dbf/core/ByteWriter.h"
#include "dbf/core/XbaseText.h"

namespace dbf {

std::string numericKeyBytes(double value) {
    if (std::isnan(value)) value = std::numeric_limits<double>::quiet_NaN();  // one NaN, positive
    if (value == 0.0) value = 0.0;  // -0.0 has the sign bit; it must form as 0.0
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    if (std::signbit(value))
        bits = ~bits;
    else
        bits |= uint64_t{1} << 63;
    uint8_t bytes[kNumericKeyLength];
    ByteWriter(bytes).putU64be(0, bits);
    return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

std::string numericHeldKey(double value) {
    std::string key = numericKeyBytes(value);
    while (!key.empty() && key.back() == '\0') key.pop_back();
    return key;
}

std::string characterHeldKey(std::string_view text) { return std::string(trimRight(text)); }

std::string heldKey(const TdbVariant& value) {
    switch (value.type()) {
    case 'C': return characterHeldKey(value.text());
    case 'L': return value.logicalValue() ? "T" : "F";
    case 'N': return numericHeldKey(value.number());
    case 'D': return numericHeldKey(static_cast<double>(value.julian()));
    default: return {};
    }
}

char keyTypeOf(char resultType) noexcept {
    switch (resultType) {
    case 'C': case 'L': return 'C';
    case 'N': return 'N';
    case 'D': return 'D';
    default: return 0;
    }
}

}  // namespace dbf
