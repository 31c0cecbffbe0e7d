// Splits the text of a key expression into tokens.
#pragma once

#include <string>
#include <string_view>

#include "dbf/expr/ExpressionNode.h"

namespace dbf {

struct ExpressionToken {
    enum class Kind { End, Number, String, Logical, Identifier, LeftParen, RightParen, Comma, Alias, Operator };
    Kind kind = Kind::End;
    std::string text;       // Number: its digits; String: its contents; Identifier: as written
    ExpressionOp op = ExpressionOp::Add;  // Operator
    bool logical = false;   // Logical
};

// Reads one token at a time; raises the syntax error for a character that starts no token and
// "Missing closing ..." for a literal that runs to the end.
class ExpressionLexer {
public:
    explicit ExpressionLexer(std::string_view text) noexcept : text_(text) {}

    ExpressionToken next();

private:
    // Whether the text at the position spells `word` (upper case) in any letter case.
    bool atWord(std::string_view word) const noexcept;
    // A number from its first digit (or its point); the point only when a digit follows.
    ExpressionToken number();
    // A character literal from its opening character up to `closing`.
    ExpressionToken literal(char closing);

    std::string_view text_;
    size_t pos_ = 0;
};

}  // namespace dbf
