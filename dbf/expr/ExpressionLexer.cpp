// Splits the text of a key expression into tokens.
#include "dbf/expr/ExpressionLexer.h"

#include "dbf/core/XbaseText.h"
#include "dbf/expr/ExpressionError.h"

namespace dbf {

namespace {

bool isIdentifierStart(char c) noexcept { return isAsciiLetter(c) || c == '_'; }
bool isIdentifierPart(char c) noexcept { return isIdentifierStart(c) || isAsciiDigit(c); }

ExpressionToken operatorToken(ExpressionOp op) {
    ExpressionToken t;
    t.kind = ExpressionToken::Kind::Operator;
    t.op = op;
    return t;
}

ExpressionToken simpleToken(ExpressionToken::Kind kind) {
    ExpressionToken t;
    t.kind = kind;
    return t;
}

}  // namespace

// `word` in upper case, dots included, e.g. ".AND."
bool ExpressionLexer::atDotWord(std::string_view word) const noexcept {
    if (text_.size() - pos_ < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (upperAscii(text_[pos_ + i]) != word[i]) return false;
    return true;
}

ExpressionToken ExpressionLexer::next() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\r' || text_[pos_] == '\n'))
        ++pos_;
    if (pos_ >= text_.size()) return simpleToken(ExpressionToken::Kind::End);

    const char c = text_[pos_];
    const char n = pos_ + 1 < text_.size() ? text_[pos_ + 1] : '\0';

    if (isAsciiDigit(c) || (c == '.' && isAsciiDigit(n))) {
        ExpressionToken t;
        t.kind = ExpressionToken::Kind::Number;
        while (pos_ < text_.size() && isAsciiDigit(text_[pos_])) t.text += text_[pos_++];
        // The point belongs to the number only when a digit follows: "1.AND." is 1 .AND.
        if (pos_ + 1 < text_.size() && text_[pos_] == '.' && isAsciiDigit(text_[pos_ + 1])) {
            t.text += text_[pos_++];
            while (pos_ < text_.size() && isAsciiDigit(text_[pos_])) t.text += text_[pos_++];
        }
        return t;
    }

    if (c == '"' || c == '\'' || c == '[') {
        const char closing = c == '[' ? ']' : c;
        const size_t end = text_.find(closing, pos_ + 1);
        if (end == std::string_view::npos) raiseUnclosedLiteral(closing);
        ExpressionToken t;
        t.kind = ExpressionToken::Kind::String;
        t.text = std::string(text_.substr(pos_ + 1, end - pos_ - 1));
        pos_ = end + 1;
        return t;
    }

    if (isIdentifierStart(c)) {
        ExpressionToken t;
        t.kind = ExpressionToken::Kind::Identifier;
        while (pos_ < text_.size() && isIdentifierPart(text_[pos_])) t.text += text_[pos_++];
        return t;
    }

    if (c == '.') {
        struct DotWord {
            std::string_view word;
            ExpressionToken::Kind kind;
            ExpressionOp op;
            bool logical;
        };
        static constexpr DotWord kDotWords[] = {
            {".AND.", ExpressionToken::Kind::Operator, ExpressionOp::And, false},
            {".OR.", ExpressionToken::Kind::Operator, ExpressionOp::Or, false},
            {".NOT.", ExpressionToken::Kind::Operator, ExpressionOp::Not, false},
            {".T.", ExpressionToken::Kind::Logical, ExpressionOp::Add, true},
            {".Y.", ExpressionToken::Kind::Logical, ExpressionOp::Add, true},
            {".F.", ExpressionToken::Kind::Logical, ExpressionOp::Add, false},
            {".N.", ExpressionToken::Kind::Logical, ExpressionOp::Add, false},
        };
        for (const DotWord& w : kDotWords) {
            if (!atDotWord(w.word)) continue;
            pos_ += w.word.size();
            ExpressionToken t;
            t.kind = w.kind;
            t.op = w.op;
            t.logical = w.logical;
            return t;
        }
        raiseSyntaxError(text_);
    }

    ++pos_;
    switch (c) {
    case '(': return simpleToken(ExpressionToken::Kind::LeftParen);
    case ')': return simpleToken(ExpressionToken::Kind::RightParen);
    case ',': return simpleToken(ExpressionToken::Kind::Comma);
    case '+': return operatorToken(ExpressionOp::Add);
    case '-':
        if (n == '>') {
            ++pos_;
            return simpleToken(ExpressionToken::Kind::Alias);
        }
        return operatorToken(ExpressionOp::Subtract);
    case '*':
        if (n == '*') {
            ++pos_;
            return operatorToken(ExpressionOp::Power);
        }
        return operatorToken(ExpressionOp::Multiply);
    case '/': return operatorToken(ExpressionOp::Divide);
    case '%': return operatorToken(ExpressionOp::Modulo);
    case '^': return operatorToken(ExpressionOp::Power);
    case '$': return operatorToken(ExpressionOp::Contains);
    case '#': return operatorToken(ExpressionOp::NotEqual);
    case '=':
        if (n == '=') {
            ++pos_;
            return operatorToken(ExpressionOp::ExactEqual);
        }
        return operatorToken(ExpressionOp::Equal);
    case '!':
        if (n == '=') {
            ++pos_;
            return operatorToken(ExpressionOp::NotEqual);
        }
        return operatorToken(ExpressionOp::Not);
    case '<':
        if (n == '=') {
            ++pos_;
            return operatorToken(ExpressionOp::LessEqual);
        }
        if (n == '>') {
            ++pos_;
            return operatorToken(ExpressionOp::NotEqual);
        }
        return operatorToken(ExpressionOp::Less);
    case '>':
        if (n == '=') {
            ++pos_;
            return operatorToken(ExpressionOp::GreaterEqual);
        }
        return operatorToken(ExpressionOp::Greater);
    default: break;
    }
    raiseSyntaxError(text_);
}

}  // namespace dbf
