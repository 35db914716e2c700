// Type expressions: names with type arguments, module-qualified names and function types.

#include <utility>

#include "parser_impl.hpp"

namespace quellin {

// Types are parsed into their place in the tree, so a name moves once, from its token into the node.
Checked Parser::parse_type(ast::TypeExpr& out) {
    out.span = peek().span;
    if (check_kw(Keyword::Fn)) return parse_fn_type(out);
    std::string first;
    QN_TRY(expect_ident(first, ParseDiag::ExpectedTypeName));
    if (eat(TokenKind::Dot)) {
        auto& qualified = ast::emplace_alternative<ast::TypeExprKind::Qualified>(arena_, out.kind.v);
        qualified.module = std::move(first);
        QN_TRY(expect_ident(qualified.name, ParseDiag::ExpectedQualifiedTypeName));
        if (check(TokenKind::LBracket)) return parse_type_args(qualified.args, false);
        return {};
    }
    auto& named = out.kind.v.emplace<ast::TypeExprKind::Named>();
    named.name = std::move(first);
    if (check(TokenKind::LBracket)) return parse_type_args(named.args, true);
    return {};
}

// Type nesting is counted, like expressions, by the brackets that open a level: a name alone opens none.
Checked Parser::parse_fn_type(ast::TypeExpr& out) {
    const Nesting level(*this);
    QN_TRY(level.check());
    advance();
    QN_TRY(expect(TokenKind::LParen, ParseDiag::ExpectedFnTypeParamsOpen));
    auto& fn = out.kind.v.emplace<ast::TypeExprKind::Fn>(
        ast::TypeExprKind::Fn{list<ast::TypeExpr>(), box<ast::TypeExpr>()});
    while (!check(TokenKind::RParen)) {
        QN_TRY(parse_type(fn.params.emplace_back()));
        if (!eat(TokenKind::Comma)) break;
    }
    QN_TRY(expect(TokenKind::RParen, ParseDiag::ExpectedFnTypeParamsClose));
    QN_TRY(expect(TokenKind::Arrow, ParseDiag::ExpectedFnTypeArrow));
    return parse_type(*fn.ret);
}

// At `[`: at least one argument; only unqualified types accept a trailing comma before `]`.
Checked Parser::parse_type_args(ast::Vec<ast::TypeExpr>& args, bool allow_trailing_comma) {
    const Nesting level(*this);
    QN_TRY(level.check());
    advance();
    in_arena(args);
    while (true) {
        QN_TRY(parse_type(args.emplace_back()));
        if (!eat(TokenKind::Comma)) break;
        if (allow_trailing_comma && check(TokenKind::RBracket)) break;
    }
    return expect(TokenKind::RBracket, ParseDiag::ExpectedTypeArgsClose);
}

}  // namespace quellin
