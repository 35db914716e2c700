// Type expressions: names with type arguments, module-qualified names and function types.

#include <utility>

#include "parser_impl.hpp"

namespace quellin {

Parsed<ast::TypeExpr> Parser::parse_type() {
    const Span span = peek().span;
    auto type = [span](ast::TypeExprKind kind) { return ast::TypeExpr{std::move(kind), span}; };

    if (check_kw(Keyword::Fn)) {
        QN_TRY_ASSIGN(ast::TypeExprKind kind, parse_fn_type());
        return type(std::move(kind));
    }
    std::string first;
    QN_TRY(expect_ident(first, "a type name"));
    if (eat(TokenKind::Dot)) {
        std::string name;
        QN_TRY(expect_ident(name, "a type name after '.'"));
        std::vector<ast::TypeExpr> args;
        if (check(TokenKind::LBracket)) {
            QN_TRY_ASSIGN(args, parse_type_args(false));
        }
        return type({ast::TypeExprKind::Qualified{std::move(first), std::move(name), std::move(args)}});
    }
    std::vector<ast::TypeExpr> args;
    if (check(TokenKind::LBracket)) {
        QN_TRY_ASSIGN(args, parse_type_args(true));
    }
    return type({ast::TypeExprKind::Named{std::move(first), std::move(args)}});
}

// Type nesting is counted, like expressions, by the brackets that open a level: a name alone opens none.
Parsed<ast::TypeExprKind> Parser::parse_fn_type() {
    const Nesting level(*this);
    QN_TRY(level.check());
    advance();
    QN_TRY(expect(TokenKind::LParen, "after 'fn' — function types mirror declarations: 'fn(ParamTypes) -> Ret'"));
    std::vector<ast::TypeExpr> params;
    while (!check(TokenKind::RParen)) {
        QN_TRY_ASSIGN(ast::TypeExpr param, parse_type());
        params.push_back(std::move(param));
        if (!eat(TokenKind::Comma)) break;
    }
    QN_TRY(expect(TokenKind::RParen, "to close the function-type parameters"));
    QN_TRY(expect(TokenKind::Arrow, "after the parameters — function types declare their result: 'fn(Int) -> Bool'"));
    QN_TRY_ASSIGN(ast::TypeExpr ret, parse_type());
    return ast::TypeExprKind{ast::TypeExprKind::Fn{std::move(params), std::move(ret)}};
}

// At `[`: at least one argument; only unqualified types accept a trailing comma before `]`.
Parsed<std::vector<ast::TypeExpr>> Parser::parse_type_args(bool allow_trailing_comma) {
    const Nesting level(*this);
    QN_TRY(level.check());
    advance();
    std::vector<ast::TypeExpr> args;
    while (true) {
        QN_TRY_ASSIGN(ast::TypeExpr arg, parse_type());
        args.push_back(std::move(arg));
        if (!eat(TokenKind::Comma)) break;
        if (allow_trailing_comma && check(TokenKind::RBracket)) break;
    }
    QN_TRY(expect(TokenKind::RBracket, "to close the type arguments"));
    return args;
}

}  // namespace quellin
