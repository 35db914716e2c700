// Patterns of `case` arms.

#include <utility>

#include "parser_impl.hpp"

namespace quellin {

Parsed<ast::Pattern> Parser::parse_pattern() {
    const Span span = peek().span;
    const Nesting level(*this);
    QN_TRY(level.check());
    auto pattern = [span](ast::PatternKind kind) { return ast::Pattern{std::move(kind), span}; };

    switch (peek().kind.tag) {
    case TokenKind::Int: return pattern({ast::PatternKind::Int{advance().kind.int_value}});
    case TokenKind::Minus:
        advance();
        if (!check(TokenKind::Int)) {
            return err_here("expected an integer literal after '-' in this pattern, found " + found());
        }
        // Integer literals are never negative, so the negation cannot overflow.
        return pattern({ast::PatternKind::Int{-advance().kind.int_value}});
    case TokenKind::Bool: return pattern({ast::PatternKind::Bool{advance().kind.bool_value}});
    case TokenKind::Text: {
        std::vector<StringPart> parts = std::move(advance().kind.parts);
        auto* const lit = parts.size() == 1 ? std::get_if<StringPart::Lit>(&parts.front().v) : nullptr;
        if (!lit) return err_here("text patterns cannot contain interpolation — match against a plain literal");
        return pattern({ast::PatternKind::Text{std::move(lit->text)}});
    }
    case TokenKind::Ident: {
        std::string name = std::move(advance().kind.text);
        QN_TRY_ASSIGN(ast::PatternKind kind, parse_name_pattern(std::move(name)));
        return pattern(std::move(kind));
    }
    default:
        return err_here("expected a pattern (literal, name, '_', Some/None/Ok/Err, or a record), found " + found());
    }
}

Parsed<ast::PatternKind> Parser::parse_name_pattern(std::string name) {
    using ast::PatternKind;
    if (name == "_") return PatternKind{PatternKind::Wildcard{}};
    if (check(TokenKind::Dot)) return parse_variant_pattern(std::move(name));
    if (eat(TokenKind::LParen)) {
        if (check(TokenKind::Ident) && peek_kind_at().tag == TokenKind::Colon) {
            QN_TRY_ASSIGN(ast::FieldPatterns fields, parse_field_patterns("to close the record pattern"));
            return PatternKind{PatternKind::Record{std::move(name), std::move(fields)}};
        }
        QN_TRY_ASSIGN(ast::Pattern inner, parse_pattern());
        QN_TRY(expect(TokenKind::RParen, "to close the constructor pattern"));
        return PatternKind{PatternKind::Constructor{std::move(name), ast::Box<ast::Pattern>(std::move(inner))}};
    }
    if (name == "None") return PatternKind{PatternKind::Constructor{std::move(name), std::nullopt}};
    return PatternKind{PatternKind::Name{std::move(name)}};
}

// `Enum.Variant` or `module.Enum.Variant`, with an optional field list; the current token is the first dot.
Parsed<ast::PatternKind> Parser::parse_variant_pattern(std::string first) {
    advance();
    std::string second;
    QN_TRY(expect_ident(second, "a variant name after '.'"));
    ast::PatternKind::Variant variant;
    if (eat(TokenKind::Dot)) {
        std::string third;
        QN_TRY(expect_ident(third, "a variant name after '.'"));
        variant.module = std::move(first);
        variant.enum_name = std::move(second);
        variant.variant = std::move(third);
    } else {
        variant.enum_name = std::move(first);
        variant.variant = std::move(second);
    }
    if (eat(TokenKind::LParen)) {
        if (check(TokenKind::RParen)) {
            return err_here("unit variants are written without parentheses — 'case " + variant.enum_name + "." +
                            variant.variant + ":'");
        }
        QN_TRY_ASSIGN(variant.fields, parse_field_patterns("to close the variant pattern"));
    }
    return ast::PatternKind{std::move(variant)};
}

Parsed<ast::FieldPatterns> Parser::parse_field_patterns(std::string_view close_context) {
    ast::FieldPatterns fields;
    while (!check(TokenKind::RParen)) {
        std::string name;
        QN_TRY(expect_ident(name, "a field name"));
        QN_TRY(expect(TokenKind::Colon, "after the field name"));
        QN_TRY_ASSIGN(ast::Pattern pattern, parse_pattern());
        fields.push_back(ast::FieldPattern{std::move(name), std::move(pattern)});
        if (!eat(TokenKind::Comma)) break;
    }
    QN_TRY(expect(TokenKind::RParen, close_context));
    return fields;
}

}  // namespace quellin
