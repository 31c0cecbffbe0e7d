// What a key or FOR expression sees of a table: the fields of the current record and the
// record's position. The table handler adapts itself to this; tests use small in-memory ones.
#pragma once

#include <cstdint>
#include <string_view>

namespace dbf {

// Fields are numbered from 0 here; FIELDNO() adds one, as the table layer numbers them.
class FieldSource {
public:
    virtual ~FieldSource() = default;

    // The number of the field called `name`, compared without regard to case; -1 if none.
    virtual int findField(std::string_view name) const = 0;
    // The descriptor's type letter ('C', 'N', 'F', 'D', 'L', 'I', 'M', ...).
    virtual char fieldType(int field) const = 0;
    // The field's length in bytes (for 'C' fields the full length, above 255 included).
    virtual int fieldLength(int field) const = 0;
    virtual int fieldDecimals(int field) const = 0;
    // The field's bytes in the current record buffer, exactly fieldLength() of them.
    virtual std::string_view fieldRaw(int field) const = 0;

    virtual bool deleted() const = 0;
    virtual uint32_t recNo() const = 0;
    virtual bool bof() const = 0;
    virtual bool eof() const = 0;
};

}  // namespace dbf
