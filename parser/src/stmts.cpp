// Statements: the dispatch on a statement's first token and every statement form. Each form builds its
// node in place, inside the statement its block has already made room for.

#include <utility>

#include "parser_impl.hpp"

namespace quellin {

Checked Parser::parse_stmt(ast::Stmt& out) {
    out.span = peek().span;
    if (check(TokenKind::DocComment)) {
        QN_TRY_ASSIGN(std::string doc, parse_doc_comments());
        return parse_decl(out.kind, std::move(doc));
    }
    if (check(TokenKind::Keyword)) return parse_keyword_stmt(out.kind, peek().kind.keyword);
    return parse_expr_stmt(out.kind);
}

Checked Parser::parse_keyword_stmt(ast::StmtKind& out, Keyword::Value kw) {
    switch (kw) {
    case Keyword::Let: return parse_binding(out, false);
    case Keyword::Mut: return parse_binding(out, true);
    case Keyword::Return: return parse_return(out);
    case Keyword::If: return parse_if(out);
    case Keyword::For: return parse_for(out);
    case Keyword::While: return parse_while(out);
    case Keyword::Break: out.v = ast::StmtKind::Break{}; return parse_keyword_line(ParseDiag::ExpectedBreakNewline);
    case Keyword::Continue: out.v = ast::StmtKind::Continue{}; return parse_keyword_line(ParseDiag::ExpectedContinueNewline);
    case Keyword::Match: return parse_match(out);
    case Keyword::Test: return parse_test(out);
    case Keyword::Assert: {
        advance();
        auto& stmt = out.v.emplace<ast::StmtKind::Assert>();
        QN_TRY(parse_expr(stmt.cond));
        return expect(TokenKind::Newline, ParseDiag::ExpectedAssertNewline);
    }
    case Keyword::Import: return parse_import(out);
    case Keyword::Not: {
        auto& stmt = out.v.emplace<ast::StmtKind::Expr>();
        QN_TRY(parse_expr(stmt.expr));
        return expect(TokenKind::Newline, ParseDiag::ExpectedStatementNewline);
    }
    case Keyword::Fn:
    case Keyword::Pub:
    case Keyword::Async:
    case Keyword::Record:
    case Keyword::Enum: return parse_decl(out, std::nullopt);
    case Keyword::Elif:
    case Keyword::Else:
        return error(ParseDiag::BranchWithoutIf, Keyword::text(kw));
    case Keyword::In:
    case Keyword::And:
    case Keyword::Or:
    case Keyword::With: return error(ParseDiag::KeywordAtStatementStart, Keyword::text(kw));
    case Keyword::Intent:
    case Keyword::Trait:
    case Keyword::Module:
        return error(ParseDiag::ReservedKeyword, Keyword::text(kw));
    case Keyword::Case: return error(ParseDiag::CaseOutsideMatch);
    }
    return parse_expr_stmt(out);
}

Checked Parser::parse_keyword_line(ParseDiag missing_newline) {
    advance();
    return expect(TokenKind::Newline, missing_newline);
}

Checked Parser::parse_binding(ast::StmtKind& out, bool is_mut) {
    advance();
    std::string name;
    QN_TRY(expect_ident(name, ParseDiag::ExpectedBindingName));
    std::optional<ast::Box<ast::TypeExpr>> ty;
    if (eat(TokenKind::Colon)) {
        QN_TRY(parse_type(ty.emplace(arena_, std::in_place).get()));
    }
    QN_TRY(expect(TokenKind::Assign, ParseDiag::ExpectedBindingAssign));
    ast::Expr* value = nullptr;
    if (is_mut) {
        value = &out.v.emplace<ast::StmtKind::Mut>(ast::StmtKind::Mut{std::move(name), std::move(ty), {}}).value;
    } else {
        value = &out.v.emplace<ast::StmtKind::Let>(ast::StmtKind::Let{std::move(name), std::move(ty), {}}).value;
    }

    if (check_kw(Keyword::Fn)) {
        // A lambda head is parsed once, and what follows it decides the form: ':' a block-bodied lambda,
        // anything else an ordinary lambda. A head that fails here would fail identically when the value
        // is parsed as an expression, so its error is the binding's error.
        const Nesting level(*this);
        QN_TRY(level.check());
        QN_TRY_ASSIGN(LambdaHead head, parse_lambda_head());
        if (check(TokenKind::Colon)) {
            value->span = head.span;
            auto& lambda = ast::emplace_alternative<ast::ExprKind::BlockLambda>(
                arena_, value->kind.v,
                ast::ExprKind::BlockLambda{std::move(head.params), std::move(head.ret), {}});
            return parse_block(lambda.body);
        }
        QN_TRY(parse_lambda_rest(*value, std::move(head)));
    } else {
        QN_TRY(parse_expr(*value));
    }
    return expect(TokenKind::Newline, ParseDiag::ExpectedBindingNewline);
}

Checked Parser::parse_return(ast::StmtKind& out) {
    advance();
    auto& stmt = out.v.emplace<ast::StmtKind::Return>();
    if (!check(TokenKind::Newline)) QN_TRY(parse_expr(stmt.value.emplace()));
    return expect(TokenKind::Newline, ParseDiag::ExpectedReturnNewline);
}

Checked Parser::parse_if(ast::StmtKind& out) {
    auto& stmt = out.v.emplace<ast::StmtKind::If>();
    in_arena(stmt.branches);
    do {
        advance();  // `if` or `elif`
        ast::IfBranch& branch = stmt.branches.emplace_back();
        QN_TRY(parse_expr(branch.cond));
        QN_TRY(parse_block(branch.block.stmts));
    } while (check_kw(Keyword::Elif));
    if (!check_kw(Keyword::Else)) return {};
    advance();
    return parse_block(stmt.else_block.emplace().stmts);
}

Checked Parser::parse_for(ast::StmtKind& out) {
    advance();
    auto& stmt = out.v.emplace<ast::StmtKind::For>();
    QN_TRY(expect_ident(stmt.var, ParseDiag::ExpectedLoopVariable));
    QN_TRY(expect_kw(Keyword::In, ParseDiag::ExpectedInKeyword));
    QN_TRY(parse_expr(stmt.iter));
    return parse_block(stmt.body.stmts);
}

Checked Parser::parse_while(ast::StmtKind& out) {
    advance();
    auto& stmt = out.v.emplace<ast::StmtKind::While>();
    QN_TRY(parse_expr(stmt.cond));
    return parse_block(stmt.body.stmts);
}

Checked Parser::parse_match(ast::StmtKind& out) {
    advance();
    auto& stmt = out.v.emplace<ast::StmtKind::Match>();
    QN_TRY(parse_expr(stmt.subject));
    QN_TRY(expect(TokenKind::Colon, ParseDiag::ExpectedMatchColon));
    QN_TRY(expect(TokenKind::Newline, ParseDiag::ExpectedMatchNewline));
    QN_TRY(expect(TokenKind::Indent, ParseDiag::ExpectedMatchIndent));
    in_arena(stmt.arms);
    while (!check(TokenKind::Dedent)) {
        ast::MatchArm& arm = stmt.arms.emplace_back();
        arm.span = peek().span;
        QN_TRY(expect_kw(Keyword::Case, ParseDiag::ExpectedCaseKeyword));
        QN_TRY(parse_pattern(arm.pattern));
        if (check_kw(Keyword::If)) {
            advance();
            QN_TRY(parse_expr(arm.guard.emplace()));
        }
        QN_TRY(parse_block(arm.body.stmts));
    }
    advance();
    if (stmt.arms.empty()) return error(ParseDiag::MatchWithoutArms);
    return {};
}

Checked Parser::parse_test(ast::StmtKind& out) {
    QN_TRY(expect_kw(Keyword::Test, ParseDiag::ExpectedTestKeyword));
    if (!check(TokenKind::Text)) return error(ParseDiag::ExpectedTestName, found());
    std::optional<std::string> name = plain_text(peek());
    if (name && name->empty()) return error(ParseDiag::EmptyTestName);
    if (!name) return error(ParseDiag::InterpolatedTestName);
    advance();
    auto& stmt = out.v.emplace<ast::StmtKind::Test>();
    stmt.name = std::move(*name);
    return parse_block(stmt.body.stmts);
}

Checked Parser::parse_import(ast::StmtKind& out) {
    advance();
    std::string module;
    QN_TRY(expect_ident(module, ParseDiag::ExpectedModuleName));
    out.v = ast::StmtKind::Import{std::move(module)};
    return expect(TokenKind::Newline, ParseDiag::ExpectedImportNewline);
}

Checked Parser::parse_expr_stmt(ast::StmtKind& out) {
    ast::Expr expr;
    QN_TRY(parse_expr(expr));
    if (!check(TokenKind::Assign)) {
        out.v = ast::StmtKind::Expr{std::move(expr)};
        return expect(TokenKind::Newline, ParseDiag::ExpectedStatementNewline);
    }
    const bool assignable = ast::as<ast::ExprKind::Ident>(expr) || ast::as<ast::ExprKind::Field>(expr) ||
                            ast::as<ast::ExprKind::Index>(expr);
    if (!assignable) return error(ParseDiag::InvalidAssignmentTarget);
    advance();
    auto& stmt = out.v.emplace<ast::StmtKind::Assign>(ast::StmtKind::Assign{std::move(expr), {}});
    QN_TRY(parse_expr(stmt.value));
    return expect(TokenKind::Newline, ParseDiag::ExpectedAssignmentNewline);
}

}  // namespace quellin
