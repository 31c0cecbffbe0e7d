// Turns the text of a key expression into a typed tree, checking names, argument counts and
// operand types against the table's fields.
#pragma once

#include <memory>
#include <string_view>

#include "dbf/expr/ExpressionLexer.h"
#include "dbf/expr/ExpressionNode.h"
#include "dbf/expr/FieldSource.h"

namespace dbf {

// Precedence, loosest first: .OR.; .AND.; .NOT.; the comparisons = == <> # != < > <= >= $;
// + and -; * / %; ^ and **; unary - and +. Binary operators group from the left.
class ExpressionParser {
public:
    // No tree grows taller than this: a chain "A+A+A+..." nests without parentheses, and
    // evaluating or freeing a tree recurses once per level.
    static constexpr int kMaxHeight = 256;

    // `depth` is how deeply this parse is already nested inside TYPE() evaluations.
    ExpressionParser(std::string_view text, const FieldSource& fields, int depth = 0);

    std::unique_ptr<ExpressionNode> parse();

private:
    using NodePtr = std::unique_ptr<ExpressionNode>;

    NodePtr parseOr();
    // The binary operators that bind at `binding` (see bindingOf in the .cpp), left to right.
    NodePtr parseBinary(int binding);
    NodePtr parseNot();
    NodePtr parseUnary();
    NodePtr parsePrimary();
    NodePtr parseCall(const std::string& name);
    NodePtr parseField(std::string alias, std::string name);

    NodePtr makeUnary(ExpressionOp op, NodePtr operand);
    NodePtr makeBinary(ExpressionOp op, NodePtr left, NodePtr right);
    void advance();
    bool atOperator(ExpressionOp op) const noexcept;
    void enter();
    [[noreturn]] void syntaxError() const;

    std::string_view text_;
    const FieldSource& fields_;
    ExpressionLexer lexer_;
    ExpressionToken token_;
    int depth_;
};

}  // namespace dbf
