// Evaluation of a parsed key expression, and the operator and field rules that the parser
// also uses to type the tree.
#pragma once

#include "dbf/core/TdbVariant.h"
#include "dbf/expr/ExpressionNode.h"
#include "dbf/expr/FieldSource.h"

namespace dbf {

// The type that a field's value has in an expression.
char fieldValueType(char fieldType, int fieldLength) noexcept;

// The value of `field` in the current record of `fields`.
TdbVariant fieldValue(const FieldSource& fields, int field);

// Result type of a unary or binary operator on operands of these types ('U': unknown);
// 0 when the operator does not take them.
char unaryResultType(ExpressionOp op, char operand) noexcept;
char binaryResultType(ExpressionOp op, char left, char right) noexcept;

// Orders two values of one type: -1, 0 or 1. Character values compare as xBase "=" does with
// EXACT off (a left value that begins with the right one is equal) unless `exact`, which
// compares every byte and the lengths.
int compareValues(const TdbVariant& left, const TdbVariant& right, bool exact);

// A finite number, or "Expression cannot be evaluated".
double checkedNumber(double value);

// Raises "Expression cannot be evaluated" when a character result would exceed the cap.
void checkLength(size_t length);

TdbVariant evaluateNode(const ExpressionNode& node, const EvalContext& context);

}  // namespace dbf
