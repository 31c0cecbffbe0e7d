// Evaluation of a parsed key expression.
#include "dbf/expr/ExpressionEvaluator.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "dbf/core/ByteView.h"
#include "dbf/core/TdbDate.h"
#include "dbf/core/XbaseText.h"
#include "dbf/expr/ExpressionError.h"
#include "dbf/expr/ExpressionFunctions.h"
#include "dbf/expr/TdbExpHandler.h"

namespace dbf {

namespace {

// Memo-like fields show a marker, as the table's field text does: upper case when the record
// points to a block, lower case when it does not.
std::string memoMarker(char type, std::string_view raw) {
    const bool used = std::any_of(raw.begin(), raw.end(), [](char c) { return c != ' ' && c != '0' && c != '\0'; });
    std::string marker = type == 'G' ? "-GENERAL--" : type == 'B' ? "--BINARY--" : "---MEMO---";
    return used ? marker : lowerAscii(marker);
}

// Date arithmetic leaves a blank date blank and refuses to leave the calendar.
TdbVariant addDays(int32_t julian, double days) {
    if (julian == 0) return TdbVariant::date(0);
    if (!(std::fabs(days) < 1e7)) raiseCannotEvaluate();
    const int64_t result = int64_t{julian} + static_cast<int64_t>(std::trunc(days));
    if (result < kFirstJulianDay || result > kLastJulianDay) raiseCannotEvaluate();
    return TdbVariant::date(static_cast<int32_t>(result));
}

int divisionDecimals(const TdbVariant& l, const TdbVariant& r, double result) {
    return l.decimals() == 0 && r.decimals() == 0 && result == std::trunc(result) ? 0 : 2;
}

TdbVariant applyBinary(ExpressionOp op, const TdbVariant& l, const TdbVariant& r) {
    switch (op) {
    case ExpressionOp::Add:
        if (l.isCharacter()) {
            checkLength(l.text().size() + r.text().size());
            return TdbVariant::character(l.text() + r.text());
        }
        if (l.isDate()) return addDays(l.julian(), r.number());
        if (r.isDate()) return addDays(r.julian(), l.number());
        return TdbVariant::numeric(checkedNumber(l.number() + r.number()), 0, std::max(l.decimals(), r.decimals()));
    case ExpressionOp::Subtract:
        if (l.isCharacter()) {
            // xBase moves the left operand's trailing blanks behind the joined text.
            checkLength(l.text().size() + r.text().size());
            const std::string_view kept = trimRight(l.text());
            std::string joined(kept);
            joined += r.text();
            joined.append(l.text().size() - kept.size(), ' ');
            return TdbVariant::character(std::move(joined));
        }
        if (l.isDate() && r.isDate()) return TdbVariant::numeric(double(l.julian()) - double(r.julian()));
        if (l.isDate()) return addDays(l.julian(), -r.number());
        return TdbVariant::numeric(checkedNumber(l.number() - r.number()), 0, std::max(l.decimals(), r.decimals()));
    case ExpressionOp::Multiply:
        return TdbVariant::numeric(checkedNumber(l.number() * r.number()), 0, std::min(l.decimals() + r.decimals(), 30));
    case ExpressionOp::Divide: {
        if (r.number() == 0.0) raiseCannotEvaluate();
        const double result = checkedNumber(l.number() / r.number());
        return TdbVariant::numeric(result, 0, divisionDecimals(l, r, result));
    }
    case ExpressionOp::Modulo:
        if (r.number() == 0.0) raiseCannotEvaluate();
        return TdbVariant::numeric(checkedNumber(std::fmod(l.number(), r.number())), 0,
                                   std::max(l.decimals(), r.decimals()));
    case ExpressionOp::Power: {
        const double result = checkedNumber(std::pow(l.number(), r.number()));
        return TdbVariant::numeric(result, 0, divisionDecimals(l, r, result));
    }
    case ExpressionOp::Equal: return TdbVariant::logical(compareValues(l, r, false) == 0);
    case ExpressionOp::ExactEqual: return TdbVariant::logical(compareValues(l, r, true) == 0);
    case ExpressionOp::NotEqual: return TdbVariant::logical(compareValues(l, r, false) != 0);
    case ExpressionOp::Less: return TdbVariant::logical(compareValues(l, r, false) < 0);
    case ExpressionOp::Greater: return TdbVariant::logical(compareValues(l, r, false) > 0);
    case ExpressionOp::LessEqual: return TdbVariant::logical(compareValues(l, r, false) <= 0);
    case ExpressionOp::GreaterEqual: return TdbVariant::logical(compareValues(l, r, false) >= 0);
    case ExpressionOp::Contains:
        return TdbVariant::logical(!l.text().empty() && r.text().find(l.text()) != std::string::npos);
    default: break;
    }
    raiseCannotEvaluate();
}

}  // namespace

double checkedNumber(double value) {
    if (!std::isfinite(value)) raiseCannotEvaluate();
    return value;
}

void checkLength(size_t length) {
    if (length > TdbExpHandler::kMaxStringLength) raiseCannotEvaluate();
}

char fieldValueType(char fieldType, int fieldLength) noexcept {
    switch (upperAscii(fieldType)) {
    case 'N': case 'F': case 'I': case 'Y': case '+': return 'N';
    case 'B': return fieldLength == 8 ? 'N' : 'C';  // a Visual FoxPro double, else a binary memo
    case 'D': case 'T': return 'D';
    case 'L': return 'L';
    default: return 'C';
    }
}

TdbVariant fieldValue(const FieldSource& fields, int field) {
    const std::string_view raw = fields.fieldRaw(field);
    const int length = fields.fieldLength(field);
    const char type = upperAscii(fields.fieldType(field));
    switch (type) {
    case 'N': case 'F': {
        const double value = parseNumber(raw);
        const int decimals = std::clamp(fields.fieldDecimals(field), 0, std::max(length, 0));
        return TdbVariant::numeric(std::isfinite(value) ? value : 0.0, std::max(length, 0), decimals);
    }
    case 'I':
        if (raw.size() < 4) return TdbVariant::numeric(0.0, 10);
        return TdbVariant::numeric(static_cast<int32_t>(ByteView(raw).u32le(0)), 10);
    case '+':  // dBASE 7 autoincrement: big-endian with the sign bit flipped
        if (raw.size() < 4) return TdbVariant::numeric(0.0, 10);
        return TdbVariant::numeric(static_cast<int32_t>(ByteView(raw).u32be(0) ^ 0x80000000u), 10);
    case 'Y':  // currency: a 64-bit integer of ten-thousandths
        if (raw.size() < 8) return TdbVariant::numeric(0.0, 20, 4);
        return TdbVariant::numeric(double(static_cast<int64_t>(ByteView(raw).u64le(0))) / 10000.0, 20, 4);
    case 'B':
        if (length == 8) {
            if (raw.size() < 8) return TdbVariant::numeric(0.0);
            const uint64_t bits = ByteView(raw).u64le(0);
            double value;
            std::memcpy(&value, &bits, sizeof value);
            return TdbVariant::numeric(std::isfinite(value) ? value : 0.0, 20, std::clamp(fields.fieldDecimals(field), 0, 15));
        }
        return TdbVariant::character(memoMarker(type, raw));
    case 'M': case 'G': return TdbVariant::character(memoMarker(type, raw));
    case 'D': return TdbVariant::date(julianFromDtos(raw));
    case 'T': {
        if (raw.size() < 4) return TdbVariant::date(0);
        const int32_t julian = static_cast<int32_t>(ByteView(raw).u32le(0));
        return TdbVariant::date(isValidJulian(julian) ? julian : 0);
    }
    case 'L': return TdbVariant::logical(!raw.empty() && std::strchr("TtYyJj", raw[0]) != nullptr && raw[0] != '\0');
    default: return TdbVariant::character(std::string(raw));
    }
}

char unaryResultType(ExpressionOp op, char operand) noexcept {
    const bool unknown = operand == 'U';
    switch (op) {
    case ExpressionOp::Negate: case ExpressionOp::Identity: return unknown || operand == 'N' ? 'N' : 0;
    case ExpressionOp::Not: return unknown || operand == 'L' ? 'L' : 0;
    default: return 0;
    }
}

char binaryResultType(ExpressionOp op, char l, char r) noexcept {
    const bool unknown = l == 'U' || r == 'U';
    switch (op) {
    case ExpressionOp::Add:
        if (unknown) return 'U';
        if (l == 'C' && r == 'C') return 'C';
        if (l == 'N' && r == 'N') return 'N';
        if ((l == 'D' && r == 'N') || (l == 'N' && r == 'D')) return 'D';
        return 0;
    case ExpressionOp::Subtract:
        if (unknown) return 'U';
        if (l == 'C' && r == 'C') return 'C';
        if (l == 'N' && r == 'N') return 'N';
        if (l == 'D' && r == 'N') return 'D';
        if (l == 'D' && r == 'D') return 'N';
        return 0;
    case ExpressionOp::Multiply: case ExpressionOp::Divide: case ExpressionOp::Modulo: case ExpressionOp::Power:
        return (l == 'N' || l == 'U') && (r == 'N' || r == 'U') ? 'N' : 0;
    case ExpressionOp::Equal: case ExpressionOp::ExactEqual: case ExpressionOp::NotEqual:
    case ExpressionOp::Less: case ExpressionOp::Greater: case ExpressionOp::LessEqual: case ExpressionOp::GreaterEqual:
        return unknown || l == r ? 'L' : 0;
    case ExpressionOp::Contains:
        return (l == 'C' || l == 'U') && (r == 'C' || r == 'U') ? 'L' : 0;
    case ExpressionOp::And: case ExpressionOp::Or:
        return (l == 'L' || l == 'U') && (r == 'L' || r == 'U') ? 'L' : 0;
    default: return 0;
    }
}

int compareValues(const TdbVariant& l, const TdbVariant& r, bool exact) {
    if (l.type() != r.type()) raiseCannotEvaluate();
    switch (l.type()) {
    case 'C': {
        const std::string& a = l.text();
        const std::string& b = r.text();
        const size_t common = std::min(a.size(), b.size());
        const int c = common == 0 ? 0 : std::memcmp(a.data(), b.data(), common);
        if (c != 0) return c < 0 ? -1 : 1;
        if (a.size() == b.size()) return 0;
        if (a.size() < b.size()) return -1;
        return exact ? 1 : 0;  // EXACT off: the right value only needs to begin the left one
    }
    case 'N': return l.number() < r.number() ? -1 : l.number() > r.number() ? 1 : 0;
    case 'D': return l.julian() < r.julian() ? -1 : l.julian() > r.julian() ? 1 : 0;
    case 'L': return int{l.logicalValue()} - int{r.logicalValue()};
    default: raiseCannotEvaluate();
    }
}

TdbVariant evaluateNode(const ExpressionNode& node, const EvalContext& context) {
    switch (node.kind) {
    case ExpressionNode::Kind::Literal: return node.value;
    case ExpressionNode::Kind::Field: return fieldValue(context.fields, node.field);
    case ExpressionNode::Kind::Unary: {
        TdbVariant v = evaluateNode(*node.args[0], context);
        if (unaryResultType(node.op, v.type()) == 0) raiseCannotEvaluate();
        if (node.op == ExpressionOp::Not) return TdbVariant::logical(!v.logicalValue());
        if (node.op == ExpressionOp::Negate) return TdbVariant::numeric(-v.number(), v.width(), v.decimals());
        return v;
    }
    case ExpressionNode::Kind::Binary: {
        const TdbVariant l = evaluateNode(*node.args[0], context);
        if (node.op == ExpressionOp::And || node.op == ExpressionOp::Or) {
            if (!l.isLogical()) raiseCannotEvaluate();
            // Both stop at the first operand that decides, as xBase does.
            if (l.logicalValue() == (node.op == ExpressionOp::Or)) return l;
            const TdbVariant r = evaluateNode(*node.args[1], context);
            if (!r.isLogical()) raiseCannotEvaluate();
            return r;
        }
        const TdbVariant r = evaluateNode(*node.args[1], context);
        const char type = binaryResultType(node.op, l.type(), r.type());
        if (type == 0 || type == 'U') raiseCannotEvaluate();
        return applyBinary(node.op, l, r);
    }
    case ExpressionNode::Kind::Call: {
        const FunctionDef& function = *node.function;
        if (!function.impl) {  // IIF
            const TdbVariant condition = evaluateNode(*node.args[0], context);
            if (!condition.isLogical()) raiseCannotEvaluate();
            return evaluateNode(*node.args[condition.logicalValue() ? 1 : 2], context);
        }
        std::vector<TdbVariant> args;
        args.reserve(node.args.size());
        for (const auto& arg : node.args) args.push_back(evaluateNode(*arg, context));
        checkCallArguments(function, args);
        return function.impl(args, context);
    }
    }
    raiseCannotEvaluate();
}

}  // namespace dbf
