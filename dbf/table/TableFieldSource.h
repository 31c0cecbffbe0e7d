// The current record of an open table as key and FOR expressions see it.
#pragma once

#include "dbf/expr/FieldSource.h"
#include "dbf/table/DBO_dBaseFld.h"

namespace dbf {

// Fields are numbered from 0 here and from 1 in the table; the view follows the table's
// record buffer, so it always shows the record the table stands on.
class TableFieldSource final : public FieldSource {
public:
    explicit TableFieldSource(const DBO_dBaseFld& table) noexcept : table_(table) {}

    int findField(std::string_view name) const override { return table_.fieldNumber(name) - 1; }
    char fieldType(int field) const override { return at(field).type; }
    int fieldLength(int field) const override { return static_cast<int>(at(field).length); }
    int fieldDecimals(int field) const override { return at(field).decimals; }
    std::string_view fieldRaw(int field) const override { return table_.fieldBytes(at(field)); }

    bool deleted() const override { return table_.isDeleted(); }
    uint32_t recNo() const override { return table_.recNo(); }
    bool bof() const override { return table_.bof(); }
    bool eof() const override { return table_.eof(); }

private:
    const TdbField& at(int field) const { return table_.field(field + 1); }

    const DBO_dBaseFld& table_;
};

}  // namespace dbf
