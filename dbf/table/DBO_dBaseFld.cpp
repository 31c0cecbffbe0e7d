// Field lookup and the text form of each field type in the current record.
#include "dbf/table/DBO_dBaseFld.h"

#include <charconv>
#include <cstdio>
#include <cstring>

#include "dbf/core/ByteView.h"
#include "dbf/core/TableError.h"
#include "dbf/core/XbaseText.h"

namespace dbf {

namespace {

std::string_view upToNul(std::string_view s) noexcept {
    size_t n = s.find('\0');
    return n == std::string_view::npos ? s : s.substr(0, n);
}

// Memo, binary and general fields hold a block number: ten digits in dBASE tables, a
// 4-byte integer in Visual FoxPro tables.
bool hasBlock(std::string_view bytes) noexcept {
    if (bytes.size() == 4) {
        if (bytes == "    ") return false;
        return ByteView(bytes).u32le(0) != 0;
    }
    for (char c : bytes)
        if (c >= '1' && c <= '9') return true;
    return false;
}

void appendUnsigned(std::string& out, uint64_t v, int minDigits) {
    char buf[24];
    int n = 0;
    do {
        buf[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    while (n < minDigits) buf[n++] = '0';
    while (n > 0) out += buf[--n];
}

// Civil date of a Julian day number (the day count that "T" fields and date keys use).
void julianToDate(int64_t jd, int64_t& y, int64_t& m, int64_t& d) noexcept {
    int64_t a = jd + 32044;
    int64_t b = (4 * a + 3) / 146097;
    int64_t c = a - 146097 * b / 4;
    int64_t e = (4 * c + 3) / 1461;
    int64_t f = c - 1461 * e / 4;
    int64_t g = (5 * f + 2) / 153;
    d = f - (153 * g + 2) / 5 + 1;
    m = g + 3 - 12 * (g / 10);
    y = 100 * b + e - 4800 + g / 10;
}

}  // namespace

const TdbField& DBO_dBaseFld::fieldByName(std::string_view name) const {
    int n = fieldNumber(name);
    if (n == 0) raiseTableError(kErrFieldName, kSubFieldLookup, std::string(name) + "->" + fileName());
    return fields()[static_cast<size_t>(n - 1)];
}

int DBO_dBaseFld::fieldNumber(std::string_view name) const noexcept {
    std::string_view wanted = trimBlanks(name);
    for (const auto& f : fields())
        if (equalNoCase(f.name, wanted)) return f.number;
    return 0;
}

const TdbField& DBO_dBaseFld::field(int number) const {
    if (number < 1 || number > fieldCount())
        raiseCorrupt(kErrFieldName, kNoSubCode, fileName(), "there is no field number " + std::to_string(number));
    return fields()[static_cast<size_t>(number - 1)];
}

std::string DBO_dBaseFld::fieldText(const TdbField& f) const {
    std::string s;
    fieldText(f, s);
    return s;
}

void DBO_dBaseFld::fieldText(const TdbField& f, std::string& out) const { fieldTextOf(f, fieldBytes(f), out); }

void DBO_dBaseFld::fieldTextOf(const TdbField& f, std::string_view raw, std::string& out) {
    out.clear();
    switch (f.type) {
    case 'F':
    case 'N': {
        std::string_view t = trimBlanks(upToNul(raw));
        if (!t.empty()) {
            out.assign(t);
        } else {
            out = "0";
            if (f.decimals > 0) {
                out += '.';
                out.append(f.decimals, '0');
            }
        }
        return;
    }
    case 'L': {
        std::string_view t = trimRight(upToNul(raw));
        out = !t.empty() && std::string_view("TtYyJj").find(t) != std::string_view::npos ? "T" : "F";
        return;
    }
    case 'M':
        out = hasBlock(raw) ? "---MEMO---" : "---memo---";
        return;
    case 'B':
        out = hasBlock(raw) ? "--BINARY--" : "--binary--";
        return;
    case 'G':
        out = hasBlock(raw) ? "-GENERAL--" : "-general--";
        return;
    case 'I':
        if (raw.size() == 4) {
            int64_t v = static_cast<int32_t>(ByteView(raw).u32le(0));
            if (v < 0) out += '-';
            appendUnsigned(out, static_cast<uint64_t>(v < 0 ? -v : v), 1);
            return;
        }
        break;
    case 'T':
        if (raw.size() == 8) {
            const ByteView b(raw);
            uint32_t day = b.u32le(0);
            uint32_t ms = b.u32le(4);
            if (day == 0 && ms == 0) return;
            int64_t y, m, d;
            julianToDate(day, y, m, d);
            uint32_t secs = ms / 1000;
            appendUnsigned(out, static_cast<uint64_t>(y < 0 ? 0 : y), 4);
            appendUnsigned(out, static_cast<uint64_t>(m), 2);
            appendUnsigned(out, static_cast<uint64_t>(d), 2);
            appendUnsigned(out, secs / 3600 % 100, 2);
            appendUnsigned(out, secs / 60 % 60, 2);
            appendUnsigned(out, secs % 60, 2);
            return;
        }
        break;
    default:
        break;
    }
    // "C", "D" and every other type: the characters as stored.
    out.assign(trimRight(upToNul(raw)));
}

double DBO_dBaseFld::fieldValue(const TdbField& f) const {
    if (f.type == 'I' && f.length == 4) return static_cast<int32_t>(ByteView(fieldBytes(f)).u32le(0));
    if (f.type != 'F' && f.type != 'N')
        raiseCorrupt(kErrFieldType, kNoSubCode, fileName(),
                     "field " + f.name + " of type " + std::string(1, f.type) + " has no numeric value");
    std::string_view t = trimBlanks(upToNul(fieldBytes(f)));
    if (!t.empty() && t.front() == '+') t.remove_prefix(1);
    double v = 0;
    auto r = std::from_chars(t.data(), t.data() + t.size(), v);
    return r.ec == std::errc() ? v : 0.0;
}

}  // namespace dbf
