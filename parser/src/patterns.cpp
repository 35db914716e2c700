// Patterns of `case` arms.

#include <utility>

#include "parser_impl.hpp"

namespace quellin {

using ast::PatternKind;

// Patterns, like types, are parsed into their place in the tree.
Checked Parser::parse_pattern(ast::Pattern& out) {
    out.span = peek().span;
    const Nesting level(*this);
    QN_TRY(level.check());

    switch (peek().kind.tag) {
    case TokenKind::Int:
        out.kind.v.emplace<PatternKind::Int>(PatternKind::Int{advance().kind.int_value});
        return {};
    case TokenKind::Minus:
        advance();
        if (!check(TokenKind::Int)) return error(ParseDiag::ExpectedIntAfterMinus, found());
        // Integer literals are never negative, so the negation cannot overflow.
        out.kind.v.emplace<PatternKind::Int>(PatternKind::Int{-advance().kind.int_value});
        return {};
    case TokenKind::Bool:
        out.kind.v.emplace<PatternKind::Bool>(PatternKind::Bool{advance().kind.bool_value});
        return {};
    case TokenKind::Text: {
        std::optional<std::string> text = plain_text(advance());
        if (!text) return error(ParseDiag::InterpolatedTextPattern);
        out.kind.v.emplace<PatternKind::Text>(PatternKind::Text{std::move(*text)});
        return {};
    }
    case TokenKind::Ident: {
        std::string name(advance().kind.text);
        return parse_name_pattern(std::move(name), out.kind);
    }
    default:
        return error(ParseDiag::ExpectedPattern, found());
    }
}

Checked Parser::parse_name_pattern(std::string name, ast::PatternKind& out) {
    if (name == "_") {
        out.v.emplace<PatternKind::Wildcard>();
        return {};
    }
    if (check(TokenKind::Dot)) return parse_variant_pattern(std::move(name), out);
    if (eat(TokenKind::LParen)) {
        if (check(TokenKind::Ident) && peek_kind_at().tag == TokenKind::Colon) {
            auto& record = out.v.emplace<PatternKind::Record>();
            record.name = std::move(name);
            return parse_field_patterns(record.fields, ParseDiag::ExpectedRecordPatternClose);
        }
        auto& constructor = out.v.emplace<PatternKind::Constructor>();
        constructor.name = std::move(name);
        QN_TRY(parse_pattern(*constructor.inner.emplace(arena_, std::in_place)));
        return expect(TokenKind::RParen, ParseDiag::ExpectedConstructorPatternClose);
    }
    if (name == "None") {
        out.v.emplace<PatternKind::Constructor>(PatternKind::Constructor{std::move(name), std::nullopt});
        return {};
    }
    out.v.emplace<PatternKind::Name>(PatternKind::Name{std::move(name)});
    return {};
}

// `Enum.Variant` or `module.Enum.Variant`, with an optional field list; the current token is the first dot.
Checked Parser::parse_variant_pattern(std::string first, ast::PatternKind& out) {
    advance();
    std::string second;
    QN_TRY(expect_ident(second, ParseDiag::ExpectedPatternVariantName));
    auto& variant = ast::emplace_alternative<PatternKind::Variant>(arena_, out.v);
    if (eat(TokenKind::Dot)) {
        QN_TRY(expect_ident(variant.variant, ParseDiag::ExpectedPatternVariantName));
        variant.module = std::move(first);
        variant.enum_name = std::move(second);
    } else {
        variant.enum_name = std::move(first);
        variant.variant = std::move(second);
    }
    if (eat(TokenKind::LParen)) {
        if (check(TokenKind::RParen)) {
            return error(ParseDiag::UnitVariantPatternWithParens, variant.enum_name, variant.variant);
        }
        return parse_field_patterns(variant.fields, ParseDiag::ExpectedVariantPatternClose);
    }
    return {};
}

Checked Parser::parse_field_patterns(ast::FieldPatterns& fields, ParseDiag missing_close) {
    in_arena(fields);
    while (!check(TokenKind::RParen)) {
        ast::FieldPattern& field = fields.emplace_back();
        QN_TRY(expect_ident(field.name, ParseDiag::ExpectedFieldName));
        QN_TRY(expect(TokenKind::Colon, ParseDiag::ExpectedFieldPatternColon));
        QN_TRY(parse_pattern(field.pattern));
        if (!eat(TokenKind::Comma)) break;
    }
    return expect(TokenKind::RParen, missing_close);
}

}  // namespace quellin
