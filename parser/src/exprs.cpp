// Expressions: the precedence ladder, primaries and collections, lambdas, postfix chains and
// interpolated text.

#include <algorithm>
#include <iterator>
#include <utility>

#include "lexer/lexer.hpp"
#include "parser_impl.hpp"

namespace quellin {

namespace {

using ast::BinaryOp;
using ast::ExprKind;

std::optional<BinaryOp> or_op(const TokenKind& kind) {
    if (kind.is_keyword(Keyword::Or)) return BinaryOp::Or;
    return std::nullopt;
}

std::optional<BinaryOp> and_op(const TokenKind& kind) {
    if (kind.is_keyword(Keyword::And)) return BinaryOp::And;
    return std::nullopt;
}

std::optional<BinaryOp> additive_op(const TokenKind& kind) {
    switch (kind.tag) {
    case TokenKind::Plus: return BinaryOp::Add;
    case TokenKind::Minus: return BinaryOp::Sub;
    default: return std::nullopt;
    }
}

std::optional<BinaryOp> multiplicative_op(const TokenKind& kind) {
    switch (kind.tag) {
    case TokenKind::Star: return BinaryOp::Mul;
    case TokenKind::Slash: return BinaryOp::Div;
    case TokenKind::Percent: return BinaryOp::Mod;
    default: return std::nullopt;
    }
}

std::optional<BinaryOp> comparison_op(const TokenKind& kind) {
    switch (kind.tag) {
    case TokenKind::Eq: return BinaryOp::Eq;
    case TokenKind::NotEq: return BinaryOp::NotEq;
    case TokenKind::Lt: return BinaryOp::Lt;
    case TokenKind::LtEq: return BinaryOp::LtEq;
    case TokenKind::Gt: return BinaryOp::Gt;
    case TokenKind::GtEq: return BinaryOp::GtEq;
    default: return std::nullopt;
    }
}

// What a named-field list constructs: a record or variant name, and for a variant its enum and module.
struct ConstructTarget {
    std::string name;
    std::optional<std::string> enum_name;
    std::optional<std::string> module;
};

// `Name(...)`, `Enum.Variant(...)` and `module.Enum.Variant(...)` construct; nothing else can.
std::optional<ConstructTarget> construct_target(ast::Expr& target) {
    if (auto* ident = std::get_if<ExprKind::Ident>(&target.kind.v)) {
        return ConstructTarget{std::move(ident->name), std::nullopt, std::nullopt};
    }
    auto* variant = std::get_if<ExprKind::Field>(&target.kind.v);
    if (!variant) return std::nullopt;
    if (auto* enum_ident = std::get_if<ExprKind::Ident>(&variant->base->kind.v)) {
        return ConstructTarget{std::move(variant->name), std::move(enum_ident->name), std::nullopt};
    }
    auto* enum_field = std::get_if<ExprKind::Field>(&variant->base->kind.v);
    if (!enum_field) return std::nullopt;
    auto* module = std::get_if<ExprKind::Ident>(&enum_field->base->kind.v);
    if (!module) return std::nullopt;
    return ConstructTarget{std::move(variant->name), std::move(enum_field->name), std::move(module->name)};
}

}  // namespace

// Node construction stays out of line: its temporaries would otherwise enlarge every frame of the
// recursive descent, which bounds how deep the parser can nest within the stack. The node is made
// whole before `out` changes, since its parts may be taken from `out` itself; it then moves into
// `out` once, instead of through a temporary expression.
template <class K, class... Args>
[[gnu::noinline]] void Parser::build(ast::Expr& out, Span span, uint32_t height, Args&&... args) {
    K node{std::forward<Args>(args)...};
    ast::emplace_alternative<K>(arena_, out.kind.v, std::move(node));
    out.span = span;
    height_ = height;
}

// ---- The precedence ladder ----

// Every nesting level of an expression passes down the whole ladder, so the levels keep only the first
// operand on that path; the operator forms, which hold a second operand, continue in functions of their own.

Checked Parser::parse_expr(ast::Expr& out) {
    QN_TRY(parse_or(out));
    if (check_kw(Keyword::With)) return parse_with(out);
    return {};
}

Checked Parser::parse_with(ast::Expr& out) {
    uint32_t tallest = height_;
    advance();
    ast::FieldInits fields = list<ast::FieldInit>();
    do {
        std::string name;
        QN_TRY(expect_ident(name, ParseDiag::ExpectedWithFieldName));
        QN_TRY(expect(TokenKind::Colon, ParseDiag::ExpectedWithFieldColon));
        ast::Expr value;
        QN_TRY(parse_or(value));
        tallest = std::max(tallest, height_);
        fields.push_back(ast::FieldInit{std::move(name), std::move(value)});
    } while (eat(TokenKind::Comma));
    if (check_kw(Keyword::With)) return error(ParseDiag::RepeatedWith);
    QN_TRY(check_height(tallest + 1));
    build<ExprKind::With>(out, out.span, tallest + 1, box<ast::Expr>(std::move(out)), std::move(fields));
    return {};
}

template <Parser::Level next, Parser::OperatorOf op_of>
Checked Parser::parse_left_assoc(ast::Expr& out) {
    QN_TRY((this->*next)(out));
    if (op_of(peek().kind)) return parse_operator_chain(out, next, op_of);
    return {};
}

Checked Parser::parse_operator_chain(ast::Expr& out, Level next, OperatorOf op_of) {
    uint32_t height = height_;
    while (const std::optional<BinaryOp> op = op_of(peek().kind)) {
        QN_TRY(check_height(height + 1));
        advance();
        ast::Expr rhs;
        QN_TRY((this->*next)(rhs));
        height = std::max(height, height_) + 1;
        QN_TRY(check_height(height));
        build<ExprKind::Binary>(out, out.span, height, *op, box<ast::BinaryOperands>(std::move(out), std::move(rhs)));
    }
    return {};
}

Checked Parser::parse_or(ast::Expr& out) { return parse_left_assoc<&Parser::parse_and, or_op>(out); }

Checked Parser::parse_and(ast::Expr& out) { return parse_left_assoc<&Parser::parse_not, and_op>(out); }

Checked Parser::parse_additive(ast::Expr& out) {
    return parse_left_assoc<&Parser::parse_multiplicative, additive_op>(out);
}

Checked Parser::parse_multiplicative(ast::Expr& out) {
    return parse_left_assoc<&Parser::parse_unary, multiplicative_op>(out);
}

Checked Parser::parse_not(ast::Expr& out) {
    if (check_kw(Keyword::Not)) return parse_prefix(out, ast::UnaryOp::Not, &Parser::parse_not);
    QN_TRY(parse_additive(out));
    if (comparison_op(peek().kind)) return parse_comparison(out);
    return {};
}

Checked Parser::parse_comparison(ast::Expr& out) {
    const BinaryOp op = *comparison_op(peek().kind);
    const uint32_t lhs_height = height_;
    advance();
    ast::Expr rhs;
    QN_TRY(parse_additive(rhs));
    if (comparison_op(peek().kind)) return error(ParseDiag::ChainedComparison);
    const uint32_t height = std::max(lhs_height, height_) + 1;
    QN_TRY(check_height(height));
    build<ExprKind::Binary>(out, out.span, height, op, box<ast::BinaryOperands>(std::move(out), std::move(rhs)));
    return {};
}

Checked Parser::parse_unary(ast::Expr& out) {
    if (check(TokenKind::Minus)) return parse_prefix(out, ast::UnaryOp::Neg, &Parser::parse_unary);
    return parse_postfix(out);
}

// `not` and `-`: the operand is read by the same level again, so that prefixes nest.
Checked Parser::parse_prefix(ast::Expr& out, ast::UnaryOp op, Level operand_level) {
    const Span span = peek().span;
    const Nesting level(*this);
    QN_TRY(level.check());
    advance();
    ast::Expr operand;
    QN_TRY((this->*operand_level)(operand));
    QN_TRY(check_height(height_ + 1));
    build<ExprKind::Unary>(out, span, height_ + 1, op, box<ast::Expr>(std::move(operand)));
    return {};
}

// ---- Postfix chains ----
// Every node of a chain keeps the span of the chain's first operand, already in `out`.

Checked Parser::parse_postfix(ast::Expr& out) {
    QN_TRY(parse_primary(out));
    while (true) {
        Level apply = nullptr;
        switch (peek().kind.tag) {
        case TokenKind::Dot: apply = &Parser::parse_field; break;
        case TokenKind::Question: apply = &Parser::parse_try; break;
        case TokenKind::LBracket: apply = &Parser::parse_index; break;
        case TokenKind::LParen: apply = &Parser::parse_call; break;
        default: return {};
        }
        QN_TRY(check_height(height_ + 1));
        QN_TRY((this->*apply)(out));
    }
}

Checked Parser::parse_field(ast::Expr& out) {
    advance();
    std::string name;
    QN_TRY(expect_ident(name, ParseDiag::ExpectedMemberName));
    build<ExprKind::Field>(out, out.span, height_ + 1, box<ast::Expr>(std::move(out)), std::move(name));
    return {};
}

Checked Parser::parse_try(ast::Expr& out) {
    advance();
    build<ExprKind::Try>(out, out.span, height_ + 1, box<ast::Expr>(std::move(out)));
    return {};
}

Checked Parser::parse_index(ast::Expr& out) {
    const uint32_t base_height = height_;
    const Nesting level(*this);
    QN_TRY(level.check());
    advance();
    ast::Expr index;
    QN_TRY(parse_expr(index));
    QN_TRY(expect(TokenKind::RBracket, ParseDiag::ExpectedIndexClose));
    const uint32_t height = std::max(base_height, height_) + 1;
    QN_TRY(check_height(height));
    build<ExprKind::Index>(out, out.span, height, box<ast::Expr>(std::move(out)), box<ast::Expr>(std::move(index)));
    return {};
}

Checked Parser::parse_call(ast::Expr& out) {
    const uint32_t callee_height = height_;
    const Nesting level(*this);
    QN_TRY(level.check());
    advance();
    // A name followed by ':' fixes the whole list as named fields.
    if (check(TokenKind::Ident) && peek_kind_at().tag == TokenKind::Colon) return parse_construct(out);
    QN_TRY_ASSIGN(ast::Vec<ast::Expr> args, parse_expr_list(TokenKind::RParen));
    QN_TRY(expect(TokenKind::RParen, ParseDiag::ExpectedArgumentsClose));
    const uint32_t height = std::max(callee_height, height_) + 1;
    QN_TRY(check_height(height));
    build<ExprKind::Call>(out, out.span, height, box<ast::Expr>(std::move(out)), std::move(args));
    return {};
}

Checked Parser::parse_construct(ast::Expr& out) {
    uint32_t tallest = height_;
    std::optional<ConstructTarget> what = construct_target(out);
    if (!what) return error(ParseDiag::NamedArgumentsOutsideConstruction);
    ast::FieldInits fields = list<ast::FieldInit>();
    while (!check(TokenKind::RParen)) {
        std::string name;
        QN_TRY(expect_ident(name, ParseDiag::ExpectedFieldName));
        QN_TRY(expect(TokenKind::Colon, ParseDiag::ExpectedNamedFieldColon));
        ast::Expr value;
        QN_TRY(parse_expr(value));
        tallest = std::max(tallest, height_);
        fields.push_back(ast::FieldInit{std::move(name), std::move(value)});
        if (!eat(TokenKind::Comma)) break;
    }
    QN_TRY(expect(TokenKind::RParen, ParseDiag::ExpectedNamedFieldsClose));
    QN_TRY(check_height(tallest + 1));
    if (!what->enum_name) {
        build<ExprKind::Construct>(out, out.span, tallest + 1, std::move(what->name), std::move(fields));
    } else {
        build<ExprKind::VariantConstruct>(out, out.span, tallest + 1, std::move(*what->enum_name),
                                          std::move(what->name), std::move(fields), std::move(what->module));
    }
    return {};
}

Parsed<ast::Vec<ast::Expr>> Parser::parse_expr_list(TokenKind::Tag close) {
    ast::Vec<ast::Expr> items = list<ast::Expr>();
    uint32_t tallest = 0;
    while (!check(close)) {
        QN_TRY(parse_expr(items.emplace_back()));
        tallest = std::max(tallest, height_);
        if (!eat(TokenKind::Comma)) break;
    }
    height_ = tallest;
    return items;
}

// ---- Primaries ----

Checked Parser::parse_primary(ast::Expr& out) {
    const Span span = peek().span;
    switch (peek().kind.tag) {
    case TokenKind::Int: build<ExprKind::Int>(out, span, 1, advance().kind.int_value); return {};
    case TokenKind::Float: build<ExprKind::Float>(out, span, 1, advance().kind.float_value); return {};
    case TokenKind::Bool: build<ExprKind::Bool>(out, span, 1, advance().kind.bool_value); return {};
    case TokenKind::Ident:
        build<ExprKind::Ident>(out, span, 1, std::string(advance().kind.text));
        return {};
    case TokenKind::Text: return parse_text(out);
    case TokenKind::Keyword:
        if (check_kw(Keyword::Fn)) return parse_lambda(out);
        return unexpected_keyword();
    case TokenKind::LParen: return parse_paren(out);
    case TokenKind::LBracket: return parse_list(out);
    case TokenKind::LBrace: return parse_brace(out);
    default: return error(ParseDiag::ExpectedExpression, found());
    }
}

Checked Parser::unexpected_keyword() const {
    return error(ParseDiag::KeywordInExpression, Keyword::text(peek().kind.keyword));
}

Checked Parser::parse_paren(ast::Expr& out) {
    const Span span = peek().span;
    const Nesting level(*this);
    QN_TRY(level.check());
    advance();
    if (eat(TokenKind::RParen)) {
        build<ExprKind::Unit>(out, span, 1);
        return {};
    }
    // A parenthesised expression is the expression itself, with its own span and height.
    QN_TRY(parse_expr(out));
    if (eat(TokenKind::Comma)) return parse_tuple(out, span);
    return expect(TokenKind::RParen, ParseDiag::ExpectedParenClose);
}

Checked Parser::parse_tuple(ast::Expr& out, Span span) {
    const uint32_t first_height = height_;
    QN_TRY_ASSIGN(ast::Vec<ast::Expr> rest, parse_expr_list(TokenKind::RParen));
    QN_TRY(expect(TokenKind::RParen, ParseDiag::ExpectedTupleClose));
    const uint32_t height = std::max(first_height, height_) + 1;
    ast::Vec<ast::Expr> items = list<ast::Expr>();
    items.reserve(rest.size() + 1);
    items.push_back(std::move(out));
    std::move(rest.begin(), rest.end(), std::back_inserter(items));
    QN_TRY(check_height(height));
    build<ExprKind::Tuple>(out, span, height, std::move(items));
    return {};
}

Checked Parser::parse_list(ast::Expr& out) {
    const Span span = peek().span;
    const Nesting level(*this);
    QN_TRY(level.check());
    advance();
    QN_TRY_ASSIGN(ast::Vec<ast::Expr> items, parse_expr_list(TokenKind::RBracket));
    const uint32_t tallest = height_;
    QN_TRY(expect(TokenKind::RBracket, ParseDiag::ExpectedListClose));
    QN_TRY(check_height(tallest + 1));
    build<ExprKind::List>(out, span, tallest + 1, std::move(items));
    return {};
}

// A brace literal is a map or a set by the token after its first expression alone; that expression
// waits in `out` meanwhile.
Checked Parser::parse_brace(ast::Expr& out) {
    const Span span = peek().span;
    const Nesting level(*this);
    QN_TRY(level.check());
    advance();
    if (eat(TokenKind::RBrace)) {
        build<ExprKind::Map>(out, span, 1);
        return {};
    }
    QN_TRY(parse_expr(out));
    if (eat(TokenKind::Colon)) return parse_map(out, span);
    return parse_set(out, span);
}

Checked Parser::parse_map(ast::Expr& out, Span span) {
    uint32_t tallest = height_;
    ast::Vec<ast::MapEntry> entries = list<ast::MapEntry>();
    ast::MapEntry& first = entries.emplace_back(ast::MapEntry{std::move(out), {}});
    QN_TRY(parse_expr(first.value));
    tallest = std::max(tallest, height_);
    while (eat(TokenKind::Comma) && !check(TokenKind::RBrace)) {
        ast::MapEntry& entry = entries.emplace_back();
        QN_TRY(parse_expr(entry.key));
        tallest = std::max(tallest, height_);
        QN_TRY(expect(TokenKind::Colon, ParseDiag::ExpectedMapColon));
        QN_TRY(parse_expr(entry.value));
        tallest = std::max(tallest, height_);
    }
    QN_TRY(expect(TokenKind::RBrace, ParseDiag::ExpectedMapClose));
    QN_TRY(check_height(tallest + 1));
    build<ExprKind::Map>(out, span, tallest + 1, std::move(entries));
    return {};
}

Checked Parser::parse_set(ast::Expr& out, Span span) {
    uint32_t tallest = height_;
    ast::Vec<ast::Expr> items = list<ast::Expr>();
    items.push_back(std::move(out));
    while (eat(TokenKind::Comma) && !check(TokenKind::RBrace)) {
        QN_TRY(parse_expr(items.emplace_back()));
        tallest = std::max(tallest, height_);
    }
    QN_TRY(expect(TokenKind::RBrace, ParseDiag::ExpectedSetClose));
    QN_TRY(check_height(tallest + 1));
    build<ExprKind::Set>(out, span, tallest + 1, std::move(items));
    return {};
}

// ---- Text literals and interpolation ----

Checked Parser::parse_text(ast::Expr& out) {
    const Token& token = advance();
    const Span span = token.span;
    std::vector<StringPart> pieces = text_parts(token.kind.text, span);
    ast::Vec<ast::TextPart> parts = list<ast::TextPart>();
    parts.reserve(pieces.size());
    uint32_t tallest = 0;
    for (StringPart& piece : pieces) {
        if (auto* lit = std::get_if<StringPart::Lit>(&piece.v)) {
            parts.emplace_back().v.emplace<ast::TextPart::Lit>(ast::TextPart::Lit{std::move(lit->text)});
            continue;
        }
        QN_TRY_ASSIGN(ast::TextPart part, parse_interpolation(std::move(std::get<StringPart::Interp>(piece.v))));
        tallest = std::max(tallest, height_);
        parts.push_back(std::move(part));
    }
    QN_TRY(check_height(tallest + 1));
    build<ExprKind::Text>(out, span, tallest + 1, std::move(parts));
    return {};
}

std::optional<std::string> Parser::plain_text(const Token& literal) {
    std::vector<StringPart> parts = text_parts(literal.kind.text, literal.span);
    auto* const lit = parts.size() == 1 ? std::get_if<StringPart::Lit>(&parts.front().v) : nullptr;
    if (!lit) return std::nullopt;
    return std::move(lit->text);
}

// The interpolated code is lexed and parsed on its own, its tokens moved onto the host line so that
// every position it reports points into the host source.
Parsed<ast::TextPart> Parser::parse_interpolation(StringPart::Interp piece) {
    const Nesting level(*this);
    QN_TRY(level.check_at(piece.span));
    const uint32_t shift = piece.span.col - 1;
    auto tokens = tokenize(piece.source);
    if (!tokens) {
        const LexError& error = tokens.error();
        return unexpected(ParseError{parse_message(ParseDiag::InInterpolation, error.message()),
                                     Span{piece.span.line, error.span.col + shift}});
    }
    const auto to_host = [&](Span& span) { span = Span{piece.span.line, span.col + shift}; };
    // A text literal inside the interpolation places its own interpolations from its moved position.
    for (Token& token : tokens->tokens) to_host(token.span);
    TokenStream stream(std::move(tokens).value());
    Parser inner(stream, arena_, nesting_);
    ast::Expr expr;
    QN_TRY(inner.parse_interpolated_expr(expr));
    height_ = inner.height_;
    return ast::TextPart{ast::TextPart::Expr{box<ast::Expr>(std::move(expr))}};
}

Checked Parser::parse_interpolated_expr(ast::Expr& out) {
    QN_TRY(parse_expr(out));
    if (check(TokenKind::Eof) || check(TokenKind::Newline)) return {};
    return error(ParseDiag::TokenAfterInterpolation, found());
}

// ---- Lambdas ----

Checked Parser::parse_lambda(ast::Expr& out) {
    const Nesting level(*this);
    QN_TRY(level.check());
    QN_TRY_ASSIGN(LambdaHead head, parse_lambda_head());
    return parse_lambda_rest(out, std::move(head));
}

Parsed<LambdaHead> Parser::parse_lambda_head() {
    const Span span = peek().span;
    advance();
    if (check(TokenKind::Ident)) return error(ParseDiag::NamedLambda, peek().kind.text);
    QN_TRY(expect(TokenKind::LParen, ParseDiag::ExpectedLambdaParamsOpen));
    ast::Vec<ast::Param> params = list<ast::Param>();
    QN_TRY(parse_params(params));
    QN_TRY(expect(TokenKind::RParen, ParseDiag::ExpectedLambdaParamsClose));
    QN_TRY(expect(TokenKind::Arrow, ParseDiag::ExpectedLambdaArrow));
    ast::TypeExpr ret;
    QN_TRY(parse_type(ret));
    return LambdaHead{std::move(params), std::move(ret), span};
}

Checked Parser::parse_lambda_rest(ast::Expr& out, LambdaHead head) {
    if (check(TokenKind::Colon)) return error(ParseDiag::BlockLambdaOutsideBinding);
    QN_TRY(expect(TokenKind::Assign, ParseDiag::ExpectedLambdaAssign));
    ast::Expr body;
    QN_TRY(parse_expr(body));
    QN_TRY(check_height(height_ + 1));
    build<ExprKind::Lambda>(out, head.span, height_ + 1, std::move(head.params), std::move(head.ret),
                            box<ast::Expr>(std::move(body)));
    return {};
}

}  // namespace quellin
