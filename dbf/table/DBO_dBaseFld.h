// Field access on an open table: lookup by name or number, and the text and numeric value
// of a field in the current record.
#pragma once

#include <string>
#include <string_view>

#include "dbf/table/DBO_dBaseDBF.h"

namespace dbf {

class DBO_dBaseFld : public DBO_dBaseDBF {
public:
    // Opens the table as DBO_dBaseDBF does.
    using DBO_dBaseDBF::DBO_dBaseDBF;

    // The field named `name` (compared without regard to case, surrounding blanks ignored).
    // Raises ETableError kErrFieldName, subcode kSubFieldLookup, reported as "NAME->TABLEFILE".
    const TdbField& fieldByName(std::string_view name) const;
    // 1-based number of the field named `name`, 0 when the table has none.
    int fieldNumber(std::string_view name) const noexcept;
    // The field numbered `number` (1-based); raises ETableError kErrFieldName when out of
    // range.
    const TdbField& field(int number) const;

    // The field's bytes in the current record, as stored (no trimming).
    std::string_view fieldBytes(const TdbField& f) const noexcept {
        return {reinterpret_cast<const char*>(recordBuffer()) + f.offset, f.length};
    }
    std::string_view fieldBytes(int number) const { return fieldBytes(field(number)); }

    // The field's text in the current record:
    //   raw characters up to the field length or the first NUL, trailing blanks removed;
    //   "F"/"N": leading blanks removed as well; all blank: zero with the field's decimals
    //            ("0", "0.00");
    //   "L": "T" when the text occurs in "TtYyJj", "F" otherwise;
    //   "D": the stored "yyyymmdd" text (empty for a blank date);
    //   "M" "---MEMO---"/"---memo---", "B" "--BINARY--"/"--binary--",
    //   "G" "-GENERAL--"/"-general--": upper case when the block number is not zero;
    //   "I": the little-endian 32-bit integer in decimal;
    //   "T": "yyyymmddhhmmss" from the day number and milliseconds (empty when both are 0).
    // `out` is replaced; its storage is reused, so a loop over records allocates once.
    void fieldText(const TdbField& f, std::string& out) const;
    // The same for the field's bytes `raw` taken from any copy of a record (a data set's
    // row buffer).
    static void fieldTextOf(const TdbField& f, std::string_view raw, std::string& out);
    std::string fieldText(const TdbField& f) const;
    std::string fieldText(int number) const { return fieldText(field(number)); }
    std::string fieldText(std::string_view name) const { return fieldText(fieldByName(name)); }

    // Numeric value of an "F"/"N" field (its text converted; unreadable text gives 0) and of
    // an "I" field. Other types raise ETableError kErrFieldType.
    double fieldValue(const TdbField& f) const;
    double fieldValue(int number) const { return fieldValue(field(number)); }
};

}  // namespace dbf
