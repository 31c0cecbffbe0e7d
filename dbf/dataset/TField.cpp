// Field values of the data set's active row.
#include "dbf/dataset/TField.h"

#include <cmath>

#include "dbf/core/TdbDate.h"
#include "dbf/core/XbaseText.h"
#include "dbf/dataset/DatabaseError.h"
#include "dbf/dataset/TTableDataSet.h"
#include "dbf/table/DBO_dBaseFld.h"

namespace dbf {

std::optional<TFieldType> TField::typeOf(const TdbField& field) noexcept {
    switch (field.type) {
    case 'C': return TFieldType::ftString;
    case 'D': return TFieldType::ftDate;
    case 'F':
    case 'N':
        if (field.decimals > 0) return TFieldType::ftFloat;
        return field.length < 5 ? TFieldType::ftSmallint : TFieldType::ftInteger;
    case 'I': return TFieldType::ftInteger;
    case 'L': return TFieldType::ftBoolean;
    case 'M': return TFieldType::ftMemo;
    case 'B':
    case 'G': return TFieldType::ftBlob;
    case 'T': return TFieldType::ftDateTime;
    default: return std::nullopt;
    }
}

TField::TField(const TTableDataSet& owner, const TdbField& field, TFieldType type)
    : owner_(owner), field_(field), type_(type) {}

bool TField::text(std::string& out) const {
    const uint8_t* record = owner_.activeRecord();
    if (!record) {
        out.clear();
        return false;
    }
    std::string_view raw(reinterpret_cast<const char*>(record) + field_.offset, field_.length);
    DBO_dBaseFld::fieldTextOf(field_, raw, out);
    return true;
}

bool TField::IsNull() const {
    std::string t;
    if (!text(t)) return true;
    if (type_ == TFieldType::ftString) return t.empty();
    if (type_ == TFieldType::ftDate) return julianFromDtos(t) == 0;
    return false;
}

std::string TField::AsString() const {
    std::string t;
    if (!text(t)) return t;
    if (type_ == TFieldType::ftString) owner_.Translate(t, t.data(), false);
    if (type_ == TFieldType::ftDate && julianFromDtos(t) == 0) t.clear();
    return t;
}

void TField::wrongType(const char* asType) const {
    throw EDatabaseError("Cannot access field '" + field_.name + "' as type " + asType);
}

double TField::AsFloat() const {
    if (type_ != TFieldType::ftFloat && type_ != TFieldType::ftSmallint && type_ != TFieldType::ftInteger)
        wrongType("Float");
    std::string t;
    if (!text(t)) return 0.0;
    return parseNumber(t);
}

int32_t TField::AsInteger() const {
    double v = AsFloat();
    if (!(v >= -2147483648.0)) return INT32_MIN;   // NaN and below the range
    if (v > 2147483647.0) return INT32_MAX;
    return static_cast<int32_t>(std::trunc(v));
}

bool TField::AsBoolean() const {
    if (type_ != TFieldType::ftBoolean) wrongType("Boolean");
    std::string t;
    return text(t) && t == "T";
}

int32_t TField::AsDate() const {
    if (type_ != TFieldType::ftDate) wrongType("Date");
    std::string t;
    return text(t) ? julianFromDtos(t) : 0;
}

}  // namespace dbf
