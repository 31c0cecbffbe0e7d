// A parsed key or FOR expression of an index tag.
#include "dbf/expr/TdbExpHandler.h"

#include "dbf/expr/ExpressionEvaluator.h"
#include "dbf/expr/ExpressionNode.h"
#include "dbf/expr/ExpressionParser.h"

namespace dbf {

TdbExpHandler::TdbExpHandler(std::string_view text, const FieldSource& fields)
    : text_(text), root_(ExpressionParser(text, fields).parse()) {}

TdbExpHandler::~TdbExpHandler() = default;
TdbExpHandler::TdbExpHandler(TdbExpHandler&&) noexcept = default;
TdbExpHandler& TdbExpHandler::operator=(TdbExpHandler&&) noexcept = default;

TdbVariant TdbExpHandler::evaluate(const FieldSource& fields) const {
    return evaluateNode(*root_, EvalContext{fields, 0});
}

char TdbExpHandler::resultType() const noexcept { return root_->type; }

}  // namespace dbf
