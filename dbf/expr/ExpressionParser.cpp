// Turns the text of a key expression into a typed tree.
#include "dbf/expr/ExpressionParser.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "dbf/core/XbaseText.h"
#include "dbf/expr/ExpressionError.h"
#include "dbf/expr/ExpressionEvaluator.h"
#include "dbf/expr/ExpressionFunctions.h"
#include "dbf/expr/TdbExpHandler.h"

namespace dbf {

namespace {

using Kind = ExpressionToken::Kind;

// Leaves the nesting level that enter() opened.
class DepthGuard {
public:
    explicit DepthGuard(int& depth) noexcept : depth_(depth) {}
    ~DepthGuard() { --depth_; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

private:
    int& depth_;
};

// How tightly a binary operator binds, from 1 (.OR.) to kTightest (^ and **); 0 for an
// operator that is no binary one. .NOT. binds between .AND. and the comparisons, the signs
// tighter than every binary operator.
constexpr int kOrBinding = 1;
constexpr int kAndBinding = 2;
constexpr int kTightest = 6;

int bindingOf(ExpressionOp op) noexcept {
    switch (op) {
    case ExpressionOp::Or: return kOrBinding;
    case ExpressionOp::And: return kAndBinding;
    case ExpressionOp::Equal: case ExpressionOp::ExactEqual: case ExpressionOp::NotEqual: case ExpressionOp::Less:
    case ExpressionOp::Greater: case ExpressionOp::LessEqual: case ExpressionOp::GreaterEqual: case ExpressionOp::Contains:
        return 3;
    case ExpressionOp::Add: case ExpressionOp::Subtract: return 4;
    case ExpressionOp::Multiply: case ExpressionOp::Divide: case ExpressionOp::Modulo: return 5;
    case ExpressionOp::Power: return kTightest;
    default: return 0;
    }
}

bool isMemoryAlias(std::string_view alias) noexcept {
    const std::string a = upperAscii(alias);
    return a == "M" || a == "MEMVAR";
}

}  // namespace

ExpressionParser::ExpressionParser(std::string_view text, const FieldSource& fields, int depth)
    : text_(text), fields_(fields), lexer_(text), depth_(depth) {}

void ExpressionParser::syntaxError() const { raiseSyntaxError(text_); }

void ExpressionParser::advance() { token_ = lexer_.next(); }

bool ExpressionParser::atOperator(ExpressionOp op) const noexcept {
    return token_.kind == Kind::Operator && token_.op == op;
}

void ExpressionParser::enter() {
    if (++depth_ > TdbExpHandler::kMaxDepth) {
        --depth_;
        raiseCannotEvaluate();
    }
}

std::unique_ptr<ExpressionNode> ExpressionParser::parse() {
    if (text_.size() > TdbExpHandler::kMaxTextLength) raiseCannotEvaluate();
    advance();
    if (token_.kind == Kind::End) syntaxError();
    NodePtr root = parseOr();
    if (token_.kind != Kind::End) syntaxError();
    return root;
}

ExpressionParser::NodePtr ExpressionParser::makeUnary(ExpressionOp op, NodePtr operand) {
    const char type = unaryResultType(op, operand->type);
    if (type == 0) raiseCannotEvaluate();
    auto node = std::make_unique<ExpressionNode>();
    node->kind = ExpressionNode::Kind::Unary;
    node->op = op;
    node->type = type;
    node->height = operand->height + 1;
    if (node->height > kMaxHeight) raiseCannotEvaluate();
    node->args.push_back(std::move(operand));
    return node;
}

ExpressionParser::NodePtr ExpressionParser::makeBinary(ExpressionOp op, NodePtr left, NodePtr right) {
    const char type = binaryResultType(op, left->type, right->type);
    if (type == 0) raiseCannotEvaluate();
    auto node = std::make_unique<ExpressionNode>();
    node->kind = ExpressionNode::Kind::Binary;
    node->op = op;
    node->type = type;
    node->height = std::max(left->height, right->height) + 1;
    if (node->height > kMaxHeight) raiseCannotEvaluate();
    node->args.push_back(std::move(left));
    node->args.push_back(std::move(right));
    return node;
}

ExpressionParser::NodePtr ExpressionParser::parseOr() {
    enter();
    DepthGuard guard(depth_);
    return parseBinary(kOrBinding);
}

ExpressionParser::NodePtr ExpressionParser::parseBinary(int binding) {
    auto operand = [&] {
        if (binding == kAndBinding) return parseNot();
        if (binding == kTightest) return parseUnary();
        return parseBinary(binding + 1);
    };
    NodePtr left = operand();
    while (token_.kind == Kind::Operator && bindingOf(token_.op) == binding) {
        const ExpressionOp op = token_.op;
        advance();
        left = makeBinary(op, std::move(left), operand());
    }
    return left;
}

ExpressionParser::NodePtr ExpressionParser::parseNot() {
    if (!atOperator(ExpressionOp::Not)) return parseBinary(kAndBinding + 1);
    enter();
    DepthGuard guard(depth_);
    advance();
    return makeUnary(ExpressionOp::Not, parseNot());
}

ExpressionParser::NodePtr ExpressionParser::parseUnary() {
    if (!atOperator(ExpressionOp::Subtract) && !atOperator(ExpressionOp::Add)) return parsePrimary();
    enter();
    DepthGuard guard(depth_);
    const ExpressionOp op = atOperator(ExpressionOp::Subtract) ? ExpressionOp::Negate : ExpressionOp::Identity;
    advance();
    return makeUnary(op, parseUnary());
}

ExpressionParser::NodePtr ExpressionParser::parsePrimary() {
    auto node = std::make_unique<ExpressionNode>();
    switch (token_.kind) {
    case Kind::Number: {
        const double value = std::strtod(token_.text.c_str(), nullptr);
        if (!std::isfinite(value)) raiseCannotEvaluate();
        const size_t point = token_.text.find('.');
        const int decimals = point == std::string::npos ? 0 : static_cast<int>(std::min<size_t>(token_.text.size() - point - 1, 15));
        node->value = TdbVariant::numeric(value, 0, decimals);
        node->type = 'N';
        advance();
        return node;
    }
    case Kind::String:
        node->value = TdbVariant::character(std::move(token_.text));
        node->type = 'C';
        advance();
        return node;
    case Kind::Logical:
        node->value = TdbVariant::logical(token_.logical);
        node->type = 'L';
        advance();
        return node;
    case Kind::LeftParen: {
        advance();
        NodePtr inner = parseOr();
        if (token_.kind == Kind::End) raiseMissingParenthesis();
        if (token_.kind != Kind::RightParen) syntaxError();
        advance();
        return inner;
    }
    case Kind::Identifier: {
        std::string name = std::move(token_.text);
        advance();
        if (token_.kind == Kind::LeftParen) return parseCall(name);
        if (token_.kind != Kind::Alias) return parseField({}, std::move(name));
        advance();
        if (token_.kind != Kind::Identifier) syntaxError();
        std::string field = std::move(token_.text);
        advance();
        return parseField(std::move(name), std::move(field));
    }
    case Kind::End:
    default: syntaxError();
    }
}

// Only the table's own fields are known. An alias names the work area, and the only area an
// index expression can see is its table's, so any alias is accepted, except the one for
// memory variables, which an index cannot have.
ExpressionParser::NodePtr ExpressionParser::parseField(std::string alias, std::string name) {
    const int field = alias.empty() || !isMemoryAlias(alias) ? fields_.findField(name) : -1;
    if (field < 0) raiseUnknownField(alias.empty() ? name : alias + "->" + name);
    auto node = std::make_unique<ExpressionNode>();
    node->kind = ExpressionNode::Kind::Field;
    node->field = field;
    node->type = fieldValueType(fields_.fieldType(field), fields_.fieldLength(field));
    return node;
}

ExpressionParser::NodePtr ExpressionParser::parseCall(const std::string& name) {
    const FunctionDef* function = findFunction(name);
    if (!function) raiseUnknownFunction(name);
    enter();
    DepthGuard guard(depth_);
    advance();  // the "("
    auto node = std::make_unique<ExpressionNode>();
    node->kind = ExpressionNode::Kind::Call;
    node->function = function;
    if (token_.kind != Kind::RightParen) {
        for (;;) {
            if (token_.kind == Kind::End) raiseMissingParenthesis();
            node->args.push_back(parseOr());
            if (token_.kind == Kind::Comma) {
                advance();
                continue;
            }
            if (token_.kind == Kind::End) raiseMissingParenthesis();
            if (token_.kind != Kind::RightParen) syntaxError();
            break;
        }
    }
    advance();  // the ")"
    const int count = static_cast<int>(node->args.size());
    if (count < function->minArgs || count > function->maxArgs) syntaxError();

    // LEN() of a field that is not character gives the field's length, which the layout fixes.
    if (function->name == "LEN" && node->args[0]->kind == ExpressionNode::Kind::Field && node->args[0]->type != 'C') {
        auto length = std::make_unique<ExpressionNode>();
        length->value = TdbVariant::numeric(std::max(fields_.fieldLength(node->args[0]->field), 0));
        length->type = 'N';
        return length;
    }

    std::vector<char> types;
    int height = 0;
    for (const auto& arg : node->args) {
        types.push_back(arg->type);
        height = std::max(height, arg->height);
    }
    node->type = callResultType(*function, types);
    node->height = height + 1;
    if (node->height > kMaxHeight) raiseCannotEvaluate();
    return node;
}

}  // namespace dbf
