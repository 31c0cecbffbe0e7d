// The function vocabulary of key expressions: names, argument types and implementations.
#pragma once

#include <array>
#include <string_view>
#include <vector>

#include "dbf/core/TdbVariant.h"
#include "dbf/expr/ExpressionNode.h"

namespace dbf {

using FunctionImpl = TdbVariant (*)(const std::vector<TdbVariant>& args, const EvalContext& context);

struct FunctionDef {
    std::string_view name;
    int minArgs;
    int maxArgs;
    // The type letters that each argument may have.
    std::array<std::string_view, 5> params;
    // A type letter, or '1' for the type of the first argument, 'I' for IIF (its branches'
    // type), 'X' for DESCEND (its argument's, but a number for a date).
    char result;
    // Arguments after the first condition (IIF) or all arguments (BETWEEN, MAX, MIN) share a type.
    bool sameTypes;
    // Null for IIF, which evaluates only the branch it takes.
    FunctionImpl impl;
};

// The function called `name`, without regard to case; a name of four letters or more may
// stand for the one function it begins, as xBase lets "SUBS" stand for SUBSTR. Null if none.
const FunctionDef* findFunction(std::string_view name) noexcept;

// The result type of a call with arguments of `argTypes` ('U' where unknown); raises
// "Expression cannot be evaluated" for an argument of a type the function does not take.
char callResultType(const FunctionDef& function, const std::vector<char>& argTypes);

// The same check on the values of a call, for arguments whose type the parser could not know.
void checkCallArguments(const FunctionDef& function, const std::vector<TdbVariant>& args);

}  // namespace dbf
