// The failures of key expressions, raised with the engine's texts (TableError.h).
#include "dbf/expr/ExpressionError.h"

#include <string>

#include "dbf/core/TableError.h"

namespace dbf {

void raiseSyntaxError(std::string_view expressionText) {
    throw ETableExpression(msg::kSyntaxError + ("\"" + std::string(expressionText) + "\""));
}

void raiseUnknownField(std::string_view name) {
    throw ETableExpression(msg::kUnknownField + std::string(name) + msg::kIsUnknown);
}

void raiseUnknownFunction(std::string_view name) {
    throw ETableExpression(msg::kNoFunction + std::string(name));
}

void raiseMissingParenthesis() { throw ETableExpression(msg::kMissingParenthesis); }

void raiseUnclosedLiteral(char closing) {
    throw ETableExpression(msg::kMissingClosing + ("\"" + std::string(1, closing) + "\"") + msg::kOnLiteral);
}

void raiseCannotEvaluate() { throw ETableExpression(msg::kCannotEvaluate); }

}  // namespace dbf
