// The function vocabulary of key expressions. Character results are capped at
// TdbExpHandler::kMaxStringLength: an index file is untrusted, and SPACE(1e9) in a key
// expression must fail cleanly rather than exhaust memory.
#include "dbf/expr/ExpressionFunctions.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "dbf/core/TableError.h"
#include "dbf/core/TdbDate.h"
#include "dbf/core/XbaseText.h"
#include "dbf/expr/ExpressionError.h"
#include "dbf/expr/ExpressionEvaluator.h"
#include "dbf/expr/ExpressionParser.h"
#include "dbf/expr/FieldSource.h"
#include "dbf/expr/TdbExpHandler.h"

namespace dbf {

namespace {

using Args = std::vector<TdbVariant>;

// Counts, positions and widths: the whole part, held within a range no string can reach, so
// that later arithmetic on it cannot overflow.
int64_t whole(const TdbVariant& v) noexcept {
    const double t = std::trunc(v.number());
    if (t > 1e15) return 1'000'000'000'000'000;
    if (t < -1e15) return -1'000'000'000'000'000;
    return static_cast<int64_t>(t);
}

const std::string& text(const Args& a, size_t i) { return a[i].text(); }
double number(const Args& a, size_t i) { return a[i].number(); }
bool has(const Args& a, size_t i) { return a.size() > i; }

// A width asked for by the expression: negative gives nothing, beyond the cap fails.
size_t widthArg(const TdbVariant& v) {
    const int64_t w = whole(v);
    if (w <= 0) return 0;
    if (static_cast<uint64_t>(w) > TdbExpHandler::kMaxStringLength) raiseCannotEvaluate();
    return static_cast<size_t>(w);
}

TdbVariant count(size_t n) { return TdbVariant::numeric(static_cast<double>(n)); }
TdbVariant chars(std::string s) { return TdbVariant::character(std::move(s)); }

// A number as STR() shows it without a width: its own width, else ten digits and its decimals.
int defaultWidth(const TdbVariant& v) { return v.width() > 0 ? v.width() : 10 + (v.decimals() > 0 ? v.decimals() + 1 : 0); }

std::string strOf(const Args& a) {
    const TdbVariant& v = a[0];
    int width = defaultWidth(v);
    int decimals = has(a, 1) ? 0 : v.decimals();
    if (has(a, 1)) {
        const size_t w = widthArg(a[1]);
        if (w > 0) width = static_cast<int>(w);  // a width below 1 means the default, as an omitted one
    }
    if (has(a, 2)) decimals = static_cast<int>(std::min<int64_t>(std::max<int64_t>(whole(a[2]), 0), TdbExpHandler::kMaxStringLength));
    return formatNumber(v.number(), width, std::clamp(decimals, 0, width));
}

// The text that the PAD functions pad: numbers as STR() shows them, without leading blanks.
std::string padSource(const TdbVariant& v) {
    switch (v.type()) {
    case 'N': return std::string(trimLeft(formatNumber(v.number(), defaultWidth(v), std::clamp(v.decimals(), 0, defaultWidth(v)))));
    case 'D': return dtoc(v.julian());
    case 'L': return v.logicalValue() ? "T" : "F";
    default: return v.text();
    }
}

enum class PadSide { Left, Right, Center };

TdbVariant pad(const Args& a, PadSide side) {
    std::string source = padSource(a[0]);
    const size_t width = widthArg(a[1]);
    const char fill = has(a, 2) && !text(a, 2).empty() ? text(a, 2)[0] : ' ';
    if (source.size() >= width) return chars(source.substr(0, width));
    const size_t room = width - source.size();
    const size_t before = side == PadSide::Left ? room : side == PadSide::Center ? room / 2 : 0;
    return chars(std::string(before, fill) + source + std::string(room - before, fill));
}

size_t findAt(std::string_view hay, std::string_view needle, int64_t occurrence) {
    if (needle.empty() || occurrence < 1) return 0;
    size_t from = 0;
    for (int64_t n = 1;; ++n) {
        const size_t at = hay.find(needle, from);
        if (at == std::string_view::npos) return 0;
        if (n == occurrence) return at + 1;
        from = at + 1;
    }
}

TdbVariant fnAbs(const Args& a, const EvalContext&) { return TdbVariant::numeric(std::fabs(number(a, 0)), a[0].width(), a[0].decimals()); }
TdbVariant fnAllTrim(const Args& a, const EvalContext&) { return chars(std::string(trimBlanks(text(a, 0)))); }
TdbVariant fnAsc(const Args& a, const EvalContext&) {
    return count(text(a, 0).empty() ? 0 : static_cast<uint8_t>(text(a, 0)[0]));
}
TdbVariant fnAt(const Args& a, const EvalContext&) {
    return count(findAt(text(a, 1), text(a, 0), has(a, 2) ? whole(a[2]) : 1));
}
TdbVariant fnAtc(const Args& a, const EvalContext&) {
    return count(findAt(upperAscii(text(a, 1)), upperAscii(text(a, 0)), has(a, 2) ? whole(a[2]) : 1));
}
TdbVariant fnBetween(const Args& a, const EvalContext&) {
    return TdbVariant::logical(compareValues(a[0], a[1], false) >= 0 && compareValues(a[0], a[2], false) <= 0);
}
TdbVariant fnCeiling(const Args& a, const EvalContext&) { return TdbVariant::numeric(std::ceil(number(a, 0))); }
TdbVariant fnChr(const Args& a, const EvalContext&) {
    const int64_t code = ((whole(a[0]) % 256) + 256) % 256;
    return chars(std::string(1, static_cast<char>(static_cast<uint8_t>(code))));
}
TdbVariant fnCtod(const Args& a, const EvalContext&) { return TdbVariant::date(ctod(text(a, 0))); }
TdbVariant fnDate(const Args&, const EvalContext&) { return TdbVariant::date(today()); }
TdbVariant fnDay(const Args& a, const EvalContext&) {
    int y, m, d;
    ymdFromJulian(a[0].julian(), y, m, d);
    return TdbVariant::numeric(d, 3);
}
TdbVariant fnDeleted(const Args&, const EvalContext& c) { return TdbVariant::logical(c.fields.deleted()); }
TdbVariant fnBof(const Args&, const EvalContext& c) { return TdbVariant::logical(c.fields.bof()); }
TdbVariant fnEof(const Args&, const EvalContext& c) { return TdbVariant::logical(c.fields.eof()); }
TdbVariant fnDescend(const Args& a, const EvalContext&) {
    const TdbVariant& v = a[0];
    switch (v.type()) {
    case 'C': {
        // Each byte becomes its complement to 256, so the order of keys turns round; 0 stays 0.
        std::string out(v.text());
        for (char& ch : out) ch = static_cast<char>(static_cast<uint8_t>(256 - static_cast<uint8_t>(ch)));
        return chars(std::move(out));
    }
    case 'N': return TdbVariant::numeric(-v.number(), v.width(), v.decimals());
    case 'D': return TdbVariant::numeric(5231808.0 - v.julian());
    default: return TdbVariant::logical(!v.logicalValue());
    }
}
TdbVariant fnDow(const Args& a, const EvalContext&) { return TdbVariant::numeric(dayOfWeek(a[0].julian()), 3); }
TdbVariant fnDtoc(const Args& a, const EvalContext&) { return chars(dtoc(a[0].julian())); }
TdbVariant fnDtos(const Args& a, const EvalContext&) { return chars(dtos(a[0].julian())); }
TdbVariant fnEmpty(const Args& a, const EvalContext&) {
    const TdbVariant& v = a[0];
    switch (v.type()) {
    case 'C':
        return TdbVariant::logical(std::all_of(v.text().begin(), v.text().end(), isXbaseSpace));
    case 'N': return TdbVariant::logical(v.number() == 0.0);
    case 'D': return TdbVariant::logical(v.julian() == 0);
    default: return TdbVariant::logical(!v.logicalValue());
    }
}
TdbVariant fnFieldNo(const Args& a, const EvalContext& c) {
    std::string_view name = trimBlanks(text(a, 0));
    const size_t arrow = name.find("->");
    if (arrow != std::string_view::npos) name = trimLeft(name.substr(arrow + 2));
    return count(static_cast<size_t>(std::max(c.fields.findField(name), -1) + 1));
}
TdbVariant fnFloor(const Args& a, const EvalContext&) { return TdbVariant::numeric(std::floor(number(a, 0))); }
TdbVariant fnInt(const Args& a, const EvalContext&) { return TdbVariant::numeric(std::trunc(number(a, 0))); }
TdbVariant fnLeft(const Args& a, const EvalContext&) { return chars(text(a, 0).substr(0, widthArg(a[1]))); }
TdbVariant fnLen(const Args& a, const EvalContext&) { return count(text(a, 0).size()); }
TdbVariant fnLower(const Args& a, const EvalContext&) { return chars(lowerAscii(text(a, 0))); }
TdbVariant fnLTrim(const Args& a, const EvalContext&) { return chars(std::string(trimLeft(text(a, 0)))); }
TdbVariant fnMax(const Args& a, const EvalContext&) { return compareValues(a[0], a[1], false) >= 0 ? a[0] : a[1]; }
TdbVariant fnMin(const Args& a, const EvalContext&) { return compareValues(a[0], a[1], false) <= 0 ? a[0] : a[1]; }
TdbVariant fnMod(const Args& a, const EvalContext&) {
    // xBase's MOD takes the sign of the divisor: MOD(-1, 3) is 2.
    const double divisor = number(a, 1);
    if (divisor == 0.0) raiseCannotEvaluate();
    double r = std::fmod(number(a, 0), divisor);
    if (r != 0.0 && (r < 0) != (divisor < 0)) r += divisor;
    return TdbVariant::numeric(checkedNumber(r), 0, std::max(a[0].decimals(), a[1].decimals()));
}
TdbVariant fnMonth(const Args& a, const EvalContext&) {
    int y, m, d;
    ymdFromJulian(a[0].julian(), y, m, d);
    return TdbVariant::numeric(m, 3);
}
TdbVariant fnPadC(const Args& a, const EvalContext&) { return pad(a, PadSide::Center); }
TdbVariant fnPadL(const Args& a, const EvalContext&) { return pad(a, PadSide::Left); }
TdbVariant fnPadR(const Args& a, const EvalContext&) { return pad(a, PadSide::Right); }
TdbVariant fnProper(const Args& a, const EvalContext&) { return chars(properCase(text(a, 0))); }
TdbVariant fnRecNo(const Args&, const EvalContext& c) { return TdbVariant::numeric(c.fields.recNo(), 7); }
TdbVariant fnReplicate(const Args& a, const EvalContext&) {
    const std::string& unit = text(a, 0);
    const int64_t times = whole(a[1]);
    if (times <= 0 || unit.empty()) return chars({});
    if (static_cast<uint64_t>(times) > TdbExpHandler::kMaxStringLength / unit.size()) raiseCannotEvaluate();
    std::string out;
    out.reserve(unit.size() * static_cast<size_t>(times));
    for (int64_t i = 0; i < times; ++i) out += unit;
    return chars(std::move(out));
}
TdbVariant fnRight(const Args& a, const EvalContext&) {
    const std::string& s = text(a, 0);
    const size_t n = std::min(widthArg(a[1]), s.size());
    return chars(s.substr(s.size() - n));
}
TdbVariant fnRound(const Args& a, const EvalContext&) {
    const int64_t places = std::clamp<int64_t>(whole(a[1]), -308, 308);
    return TdbVariant::numeric(checkedNumber(roundDecimals(number(a, 0), static_cast<int>(places))), 0,
                               static_cast<int>(std::clamp<int64_t>(places, 0, 15)));
}
TdbVariant fnRTrim(const Args& a, const EvalContext&) { return chars(std::string(trimRight(text(a, 0)))); }
TdbVariant fnSoundex(const Args& a, const EvalContext&) { return chars(soundex(text(a, 0))); }
TdbVariant fnSpace(const Args& a, const EvalContext&) { return chars(std::string(widthArg(a[0]), ' ')); }
TdbVariant fnStr(const Args& a, const EvalContext&) { return chars(strOf(a)); }
TdbVariant fnStrTran(const Args& a, const EvalContext&) {
    const std::string& source = text(a, 0);
    const std::string& search = text(a, 1);
    const std::string replacement = has(a, 2) ? text(a, 2) : std::string();
    const int64_t first = has(a, 3) ? std::max<int64_t>(whole(a[3]), 1) : 1;
    const int64_t limit = has(a, 4) ? whole(a[4]) : INT64_MAX;
    if (search.empty() || limit <= 0) return a[0];
    std::string out;
    size_t from = 0;
    int64_t seen = 0, replaced = 0;
    while (replaced < limit) {
        const size_t at = source.find(search, from);
        if (at == std::string::npos) break;
        ++seen;
        out.append(source, from, at - from);
        if (seen >= first) {
            out += replacement;
            ++replaced;
        } else {
            out += search;
        }
        checkLength(out.size());
        from = at + search.size();
    }
    out.append(source, from, std::string::npos);
    checkLength(out.size());
    return chars(std::move(out));
}
TdbVariant fnStrZero(const Args& a, const EvalContext&) {
    std::string s = strOf(a);
    if (s.find('*') != std::string::npos) return chars(std::move(s));
    const size_t digits = s.find_first_not_of(' ');
    if (digits == std::string::npos) return chars(std::move(s));
    const bool negative = s[digits] == '-';
    for (size_t i = 0; i < digits; ++i) s[i] = '0';
    if (negative) {
        s[digits] = '0';
        s[0] = '-';
    }
    return chars(std::move(s));
}
TdbVariant fnSubStr(const Args& a, const EvalContext&) {
    const std::string& s = text(a, 0);
    const int64_t size = static_cast<int64_t>(s.size());
    int64_t start = whole(a[1]);
    if (start < 0) start = std::max<int64_t>(size + start + 1, 1);  // counted from the end
    if (start == 0) start = 1;
    if (start > size) return chars({});
    int64_t n = has(a, 2) ? whole(a[2]) : size;
    if (n <= 0) return chars({});
    n = std::min(n, size - start + 1);
    return chars(s.substr(static_cast<size_t>(start - 1), static_cast<size_t>(n)));
}
TdbVariant fnType(const Args& a, const EvalContext& c) {
    // TYPE() parses and evaluates its argument against the record. A field can hold
    // "TYPE(NAME)" itself, so every level counts against the nesting limit.
    if (c.depth + 1 > TdbExpHandler::kMaxDepth) return chars("U");
    try {
        const EvalContext inner{c.fields, c.depth + 1};
        const auto tree = ExpressionParser(text(a, 0), c.fields, c.depth + 1).parse();
        return chars(std::string(1, evaluateNode(*tree, inner).type()));
    } catch (const ETableExpression&) {
        return chars("U");
    }
}
TdbVariant fnUpper(const Args& a, const EvalContext&) { return chars(upperAscii(text(a, 0))); }
TdbVariant fnVal(const Args& a, const EvalContext&) {
    int decimals = 0;
    const double value = parseNumber(text(a, 0), &decimals);
    return TdbVariant::numeric(std::isfinite(value) ? value : 0.0, 0, std::min(decimals, 15));
}
TdbVariant fnYear(const Args& a, const EvalContext&) {
    int y, m, d;
    ymdFromJulian(a[0].julian(), y, m, d);
    return TdbVariant::numeric(y, 5);
}

constexpr std::string_view kAny = "CNDL";

// In alphabetical order: abbreviations are resolved by a scan for the one name they begin.
constexpr FunctionDef kFunctions[] = {
    {"ABS", 1, 1, {"N"}, 'N', false, fnAbs},
    {"ALLTRIM", 1, 1, {"C"}, 'C', false, fnAllTrim},
    {"ASC", 1, 1, {"C"}, 'N', false, fnAsc},
    {"AT", 2, 3, {"C", "C", "N"}, 'N', false, fnAt},
    {"ATC", 2, 3, {"C", "C", "N"}, 'N', false, fnAtc},
    {"BETWEEN", 3, 3, {kAny, kAny, kAny}, 'L', true, fnBetween},
    {"BOF", 0, 0, {}, 'L', false, fnBof},
    {"CEILING", 1, 1, {"N"}, 'N', false, fnCeiling},
    {"CHR", 1, 1, {"N"}, 'C', false, fnChr},
    {"CTOD", 1, 1, {"C"}, 'D', false, fnCtod},
    {"DATE", 0, 0, {}, 'D', false, fnDate},
    {"DAY", 1, 1, {"D"}, 'N', false, fnDay},
    {"DELETED", 0, 0, {}, 'L', false, fnDeleted},
    {"DESCEND", 1, 1, {kAny}, 'X', false, fnDescend},
    {"DOW", 1, 1, {"D"}, 'N', false, fnDow},
    {"DTOC", 1, 1, {"D"}, 'C', false, fnDtoc},
    {"DTOS", 1, 1, {"D"}, 'C', false, fnDtos},
    {"EMPTY", 1, 1, {kAny}, 'L', false, fnEmpty},
    {"EOF", 0, 0, {}, 'L', false, fnEof},
    {"FIELDNO", 1, 1, {"C"}, 'N', false, fnFieldNo},
    {"FLOOR", 1, 1, {"N"}, 'N', false, fnFloor},
    {"IIF", 3, 3, {"L", kAny, kAny}, 'I', true, nullptr},
    {"INT", 1, 1, {"N"}, 'N', false, fnInt},
    {"LEFT", 2, 2, {"C", "N"}, 'C', false, fnLeft},
    {"LEN", 1, 1, {"C"}, 'N', false, fnLen},
    {"LOWER", 1, 1, {"C"}, 'C', false, fnLower},
    {"LTRIM", 1, 1, {"C"}, 'C', false, fnLTrim},
    {"MAX", 2, 2, {"ND", "ND"}, '1', true, fnMax},
    {"MIN", 2, 2, {"ND", "ND"}, '1', true, fnMin},
    {"MOD", 2, 2, {"N", "N"}, 'N', false, fnMod},
    {"MONTH", 1, 1, {"D"}, 'N', false, fnMonth},
    {"PADC", 2, 3, {kAny, "N", "C"}, 'C', false, fnPadC},
    {"PADL", 2, 3, {kAny, "N", "C"}, 'C', false, fnPadL},
    {"PADR", 2, 3, {kAny, "N", "C"}, 'C', false, fnPadR},
    {"PROPER", 1, 1, {"C"}, 'C', false, fnProper},
    {"RECNO", 0, 0, {}, 'N', false, fnRecNo},
    {"REPLICATE", 2, 2, {"C", "N"}, 'C', false, fnReplicate},
    {"RIGHT", 2, 2, {"C", "N"}, 'C', false, fnRight},
    {"ROUND", 2, 2, {"N", "N"}, 'N', false, fnRound},
    {"RTRIM", 1, 1, {"C"}, 'C', false, fnRTrim},
    {"SOUNDEX", 1, 1, {"C"}, 'C', false, fnSoundex},
    {"SPACE", 1, 1, {"N"}, 'C', false, fnSpace},
    {"STR", 1, 3, {"N", "N", "N"}, 'C', false, fnStr},
    {"STRTRAN", 2, 5, {"C", "C", "C", "N", "N"}, 'C', false, fnStrTran},
    {"STRZERO", 1, 3, {"N", "N", "N"}, 'C', false, fnStrZero},
    {"SUBSTR", 2, 3, {"C", "N", "N"}, 'C', false, fnSubStr},
    {"TRIM", 1, 1, {"C"}, 'C', false, fnRTrim},
    {"TYPE", 1, 1, {"C"}, 'C', false, fnType},
    {"UPPER", 1, 1, {"C"}, 'C', false, fnUpper},
    {"VAL", 1, 1, {"C"}, 'N', false, fnVal},
    {"YEAR", 1, 1, {"D"}, 'N', false, fnYear},
};

constexpr size_t kMinAbbreviation = 4;

// The first types of `args` beyond the condition that must agree: all of them for
// BETWEEN, MAX and MIN, the two branches for IIF.
size_t firstSharedArgument(const FunctionDef& f) noexcept { return f.result == 'I' ? 1 : 0; }

}  // namespace

const FunctionDef* findFunction(std::string_view name) noexcept {
    for (const FunctionDef& f : kFunctions)
        if (equalNoCase(name, f.name)) return &f;
    if (name.size() < kMinAbbreviation) return nullptr;
    const FunctionDef* found = nullptr;
    for (const FunctionDef& f : kFunctions) {
        if (f.name.size() <= name.size() || !equalNoCase(name, f.name.substr(0, name.size()))) continue;
        if (found) return nullptr;  // it could be either
        found = &f;
    }
    return found;
}

char callResultType(const FunctionDef& f, const std::vector<char>& argTypes) {
    for (size_t i = 0; i < argTypes.size() && i < f.params.size(); ++i)
        if (argTypes[i] != 'U' && f.params[i].find(argTypes[i]) == std::string_view::npos) raiseCannotEvaluate();
    char shared = 'U';
    if (f.sameTypes) {
        for (size_t i = firstSharedArgument(f); i < argTypes.size(); ++i) {
            if (argTypes[i] == 'U') continue;
            if (shared != 'U' && shared != argTypes[i]) {
                if (f.result == 'I') return 'U';  // IIF may yield either type; only the record tells
                raiseCannotEvaluate();
            }
            shared = argTypes[i];
        }
    }
    switch (f.result) {
    case '1': return argTypes.empty() ? 'U' : argTypes[0];
    case 'I': {
        const bool known = argTypes.size() == 3 && argTypes[1] != 'U' && argTypes[2] != 'U';
        return known ? shared : 'U';
    }
    case 'X': return argTypes.empty() || argTypes[0] == 'D' ? 'N' : argTypes[0];
    default: return f.result;
    }
}

void checkCallArguments(const FunctionDef& f, const std::vector<TdbVariant>& args) {
    std::vector<char> types;
    types.reserve(args.size());
    for (const TdbVariant& v : args) types.push_back(v.type());
    callResultType(f, types);
}

}  // namespace dbf
