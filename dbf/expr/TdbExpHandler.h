// A parsed key or FOR expression of an index tag, evaluated against a table's current record.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "dbf/core/TdbVariant.h"
#include "dbf/expr/FieldSource.h"

namespace dbf {

struct ExpressionNode;

// Parsing checks everything that does not depend on the record: syntax, field and function
// names, argument counts and operand types, so a tag that cannot work fails when its index
// file opens. Failures raise ETableExpression with the engine's messages:
//   "Syntax Error in expression "%s"" (the whole expression text), "Field/variable %s is
//   unknown", "There is no function for %s", "Missing closing parentheses", "Missing closing
//   "%s" on literal" (the expected closing character), "Expression cannot be evaluated"
//   (type errors, values out of range, limits on nesting and on string sizes).
// An expression may only be evaluated against the field layout it was parsed against.
class TdbExpHandler {
public:
    // Nesting deeper than this (parentheses, operators, function arguments) is refused.
    static constexpr int kMaxDepth = 64;
    // No character value grows beyond this many bytes, whatever the expression asks for.
    static constexpr size_t kMaxStringLength = 65535;
    // Longer expression texts are refused before parsing.
    static constexpr size_t kMaxTextLength = 4096;

    TdbExpHandler(std::string_view text, const FieldSource& fields);
    ~TdbExpHandler();
    TdbExpHandler(TdbExpHandler&&) noexcept;
    TdbExpHandler& operator=(TdbExpHandler&&) noexcept;
    TdbExpHandler(const TdbExpHandler&) = delete;
    TdbExpHandler& operator=(const TdbExpHandler&) = delete;

    // The value for the record that `fields` stands on. Raises ETableExpression when a value
    // met on this record makes the expression fail (a division by zero, a date out of range).
    TdbVariant evaluate(const FieldSource& fields) const;

    // 'C', 'N', 'D' or 'L' as far as it is known without a record; 'U' when it depends on the
    // data (an IIF() whose branches differ). evaluate() always yields one of the four.
    char resultType() const noexcept;

    const std::string& text() const noexcept { return text_; }

private:
    std::string text_;
    std::unique_ptr<ExpressionNode> root_;
};

}  // namespace dbf
