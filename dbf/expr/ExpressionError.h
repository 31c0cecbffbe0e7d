// The failures of key expressions, raised as ETableExpression with the engine's own texts.
#pragma once

#include <string_view>

namespace dbf {

[[noreturn]] void raiseSyntaxError(std::string_view expressionText);
[[noreturn]] void raiseUnknownField(std::string_view name);
[[noreturn]] void raiseUnknownFunction(std::string_view name);
[[noreturn]] void raiseMissingParenthesis();
[[noreturn]] void raiseUnclosedLiteral(char closing);
[[noreturn]] void raiseCannotEvaluate();

}  // namespace dbf
