// Splits the text of a key expression into tokens.
#include "dbf/expr/ExpressionLexer.h"

#include "dbf/core/XbaseText.h"
#include "dbf/expr/ExpressionError.h"

namespace dbf {

namespace {

using Kind = ExpressionToken::Kind;

bool isIdentifierStart(char c) noexcept { return isAsciiLetter(c) || c == '_'; }
bool isIdentifierPart(char c) noexcept { return isIdentifierStart(c) || isAsciiDigit(c); }

// Every token spelt by a fixed word: the dot words (in any letter case) and the operators
// and punctuation. Where one spelling begins another, the longer comes first, so the first
// match is the token ("<=" before "<", "**" before "*").
struct Word {
    std::string_view text;   // upper case
    Kind kind;
    ExpressionOp op;
    bool logical;
};

constexpr Word kWords[] = {
    {".AND.", Kind::Operator, ExpressionOp::And, false},
    {".OR.", Kind::Operator, ExpressionOp::Or, false},
    {".NOT.", Kind::Operator, ExpressionOp::Not, false},
    {".T.", Kind::Logical, ExpressionOp::Add, true},
    {".Y.", Kind::Logical, ExpressionOp::Add, true},
    {".F.", Kind::Logical, ExpressionOp::Add, false},
    {".N.", Kind::Logical, ExpressionOp::Add, false},
    {"->", Kind::Alias, ExpressionOp::Add, false},
    {"**", Kind::Operator, ExpressionOp::Power, false},
    {"==", Kind::Operator, ExpressionOp::ExactEqual, false},
    {"!=", Kind::Operator, ExpressionOp::NotEqual, false},
    {"<=", Kind::Operator, ExpressionOp::LessEqual, false},
    {"<>", Kind::Operator, ExpressionOp::NotEqual, false},
    {">=", Kind::Operator, ExpressionOp::GreaterEqual, false},
    {"(", Kind::LeftParen, ExpressionOp::Add, false},
    {")", Kind::RightParen, ExpressionOp::Add, false},
    {",", Kind::Comma, ExpressionOp::Add, false},
    {"+", Kind::Operator, ExpressionOp::Add, false},
    {"-", Kind::Operator, ExpressionOp::Subtract, false},
    {"*", Kind::Operator, ExpressionOp::Multiply, false},
    {"/", Kind::Operator, ExpressionOp::Divide, false},
    {"%", Kind::Operator, ExpressionOp::Modulo, false},
    {"^", Kind::Operator, ExpressionOp::Power, false},
    {"$", Kind::Operator, ExpressionOp::Contains, false},
    {"#", Kind::Operator, ExpressionOp::NotEqual, false},
    {"=", Kind::Operator, ExpressionOp::Equal, false},
    {"!", Kind::Operator, ExpressionOp::Not, false},
    {"<", Kind::Operator, ExpressionOp::Less, false},
    {">", Kind::Operator, ExpressionOp::Greater, false},
};

}  // namespace

bool ExpressionLexer::atWord(std::string_view word) const noexcept {
    if (text_.size() - pos_ < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (upperAscii(text_[pos_ + i]) != word[i]) return false;
    return true;
}

ExpressionToken ExpressionLexer::next() {
    while (pos_ < text_.size() && isXbaseSpace(text_[pos_])) ++pos_;
    ExpressionToken t;
    if (pos_ >= text_.size()) return t;   // Kind::End

    const char c = text_[pos_];
    const char n = pos_ + 1 < text_.size() ? text_[pos_ + 1] : '\0';
    if (isAsciiDigit(c) || (c == '.' && isAsciiDigit(n))) return number();
    if (c == '"' || c == '\'' || c == '[') return literal(c == '[' ? ']' : c);
    if (isIdentifierStart(c)) {
        t.kind = Kind::Identifier;
        while (pos_ < text_.size() && isIdentifierPart(text_[pos_])) t.text += text_[pos_++];
        return t;
    }
    for (const Word& w : kWords) {
        if (!atWord(w.text)) continue;
        pos_ += w.text.size();
        t.kind = w.kind;
        t.op = w.op;
        t.logical = w.logical;
        return t;
    }
    raiseSyntaxError(text_);
}

ExpressionToken ExpressionLexer::number() {
    ExpressionToken t;
    t.kind = Kind::Number;
    while (pos_ < text_.size() && isAsciiDigit(text_[pos_])) t.text += text_[pos_++];
    // The point belongs to the number only when a digit follows: "1.AND." is 1 .AND.
    if (pos_ + 1 < text_.size() && text_[pos_] == '.' && isAsciiDigit(text_[pos_ + 1])) {
        t.text += text_[pos_++];
        while (pos_ < text_.size() && isAsciiDigit(text_[pos_])) t.text += text_[pos_++];
    }
    return t;
}

ExpressionToken ExpressionLexer::literal(char closing) {
    const size_t end = text_.find(closing, pos_ + 1);
    if (end == std::string_view::npos) raiseUnclosedLiteral(closing);
    ExpressionToken t;
    t.kind = Kind::String;
    t.text = std::string(text_.substr(pos_ + 1, end - pos_ - 1));
    pos_ = end + 1;
    return t;
}

}  // namespace dbf
