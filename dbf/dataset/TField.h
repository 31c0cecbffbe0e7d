// A field of a table data set: a named view of one field of the data set's active row.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "dbf/table/DBO_dBaseDBF.h"

namespace dbf {

class TTableDataSet;

enum class TFieldType { ftString, ftSmallint, ftInteger, ftBoolean, ftFloat, ftDate, ftDateTime, ftMemo, ftBlob };

class TField {
public:
    // The field type a table field gets, or none for a type the data set does not show:
    //   "C" ftString; "D" ftDate; "F"/"N" ftFloat with decimals, ftSmallint below length 5,
    //   ftInteger otherwise; "I" ftInteger; "L" ftBoolean; "M" ftMemo; "B"/"G" ftBlob;
    //   "T" ftDateTime.
    static std::optional<TFieldType> typeOf(const TdbField& field) noexcept;

    TField(const TTableDataSet& owner, const TdbField& field, TFieldType type);

    const std::string& FieldName() const noexcept { return field_.name; }
    TFieldType DataType() const noexcept { return type_; }
    // The field length for ftString (character fields may exceed 255), 0 for the others.
    uint32_t Size() const noexcept { return type_ == TFieldType::ftString ? field_.length : 0; }
    // 1-based number of the table field.
    int FieldNo() const noexcept { return field_.number; }

    // The values in the data set's active row. With no active row (an empty or closed data
    // set) every field is null.
    //   ftString: null when the text (trailing blanks removed) is empty;
    //   ftDate: null for a blank, "00000000" or impossible date;
    //   others: null only without an active row.
    bool IsNull() const;
    // The field text of the table (OEM text translated to ANSI for ftString when the data
    // set translates); empty when null.
    std::string AsString() const;
    // Numbers of ftFloat, ftSmallint and ftInteger fields (0 when null); the others raise
    // EDatabaseError.
    double AsFloat() const;
    int32_t AsInteger() const;
    // ftBoolean only: the field text "T" ("TtYyJj" stored).
    bool AsBoolean() const;
    // ftDate only: the Julian day number, 0 when null.
    int32_t AsDate() const;

private:
    bool text(std::string& out) const;
    [[noreturn]] void wrongType(const char* asType) const;

    const TTableDataSet& owner_;
    TdbField field_;
    TFieldType type_;
};

}  // namespace dbf
