// The parsed form of a key expression: a tree of literals, fields, operators and function
// calls, each node typed as far as the parser can tell.
#pragma once

#include <memory>
#include <vector>

#include "dbf/core/TdbVariant.h"

namespace dbf {

class FieldSource;
struct FunctionDef;

enum class ExpressionOp {
    Negate, Identity, Not,
    Add, Subtract, Multiply, Divide, Modulo, Power,
    Equal, ExactEqual, NotEqual, Less, Greater, LessEqual, GreaterEqual, Contains,
    And, Or,
};

struct ExpressionNode {
    enum class Kind { Literal, Field, Unary, Binary, Call };

    Kind kind = Kind::Literal;
    // 'C', 'N', 'D', 'L', or 'U' when only the record can tell.
    char type = 'U';
    // Nodes on the longest path down from here, this one included.
    int height = 1;
    TdbVariant value;                 // Literal
    int field = -1;                   // Field
    ExpressionOp op = ExpressionOp::Add;  // Unary, Binary
    const FunctionDef* function = nullptr;  // Call
    std::vector<std::unique_ptr<ExpressionNode>> args;  // operands or arguments
};

// What an evaluation needs besides the tree: the record, and how deep TYPE() has already
// nested parsing and evaluating inside this evaluation.
struct EvalContext {
    const FieldSource& fields;
    int depth = 0;
};

}  // namespace dbf
