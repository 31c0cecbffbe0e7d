// The failures of key expressions. The texts are the engine's, misspellings included,
// because the user sees them in the error box.
#include "dbf/expr/ExpressionError.h"

#include <string>

#include "dbf/core/TableError.h"

namespace dbf {

void raiseSyntaxError(std::string_view expressionText) {
    throw ETableExpression("Syntax Error in expression \"" + std::string(expressionText) + "\"");
}

void raiseUnknownField(std::string_view name) {
    throw ETableExpression("Field/variable " + std::string(name) + " is unknown");
}

void raiseUnknownFunction(std::string_view name) {
    throw ETableExpression("There is no function for " + std::string(name));
}

void raiseMissingParenthesis() { throw ETableExpression("Missing closing parentheses"); }

void raiseUnclosedLiteral(char closing) {
    throw ETableExpression("Missing closing \"" + std::string(1, closing) + "\" on literal");
}

void raiseCannotEvaluate() { throw ETableExpression("Expression cannot be evaluated"); }

}  // namespace dbf
