// Declarations: functions, records and enums, with their parameter, field and variant lists.

#include <utility>

#include "parser_impl.hpp"

namespace quellin {

Checked Parser::parse_decl(ast::StmtKind& out, std::optional<std::string> doc) {
    const bool is_pub = check_kw(Keyword::Pub);
    if (is_pub) advance();
    if (check_kw(Keyword::Enum)) return parse_enum(out, std::move(doc), is_pub);
    if (check_kw(Keyword::Record)) return parse_record(out, std::move(doc), is_pub);
    return parse_fn(out, std::move(doc), is_pub);
}

Checked Parser::parse_fn(ast::StmtKind& out, std::optional<std::string> doc, bool is_pub) {
    auto& fn = ast::emplace_alternative<ast::StmtKind::FnDecl>(arena_, out.v);
    fn.is_pub = is_pub;
    fn.is_async = check_kw(Keyword::Async);
    if (fn.is_async) advance();
    QN_TRY(expect_kw(Keyword::Fn, ParseDiag::ExpectedFnKeyword));
    QN_TRY(expect_ident(fn.name, ParseDiag::ExpectedFunctionName));
    if (is_pub && !doc) return error(ParseDiag::PublicFunctionWithoutDoc, fn.name);
    fn.doc = std::move(doc);
    QN_TRY_ASSIGN(fn.type_params, parse_type_params());
    QN_TRY(expect(TokenKind::LParen, ParseDiag::ExpectedParamsOpen));
    QN_TRY(parse_params(fn.params));
    QN_TRY(expect(TokenKind::RParen, ParseDiag::ExpectedParamsClose));
    QN_TRY(expect(TokenKind::Arrow, ParseDiag::ExpectedReturnArrow));
    QN_TRY(parse_type(fn.ret));
    if (check(TokenKind::Colon)) return parse_block(fn.body.v.emplace<ast::FnBody::Block>().block.stmts);
    if (eat(TokenKind::Assign)) {
        QN_TRY(parse_expr(fn.body.v.emplace<ast::FnBody::Expr>().expr));
        return expect(TokenKind::Newline, ParseDiag::ExpectedExprBodyNewline);
    }
    return error(ParseDiag::ExpectedFunctionBody, found());
}

Checked Parser::parse_params(ast::Vec<ast::Param>& params) {
    in_arena(params);
    while (!check(TokenKind::RParen)) {
        ast::Param& param = params.emplace_back();
        param.span = peek().span;
        QN_TRY(expect_ident(param.name, ParseDiag::ExpectedParamName));
        QN_TRY(expect(TokenKind::Colon, ParseDiag::ExpectedParamColon));
        QN_TRY(parse_type(param.ty));
        if (!eat(TokenKind::Comma)) break;
    }
    return {};
}

Checked Parser::parse_record(ast::StmtKind& out, std::optional<std::string> doc, bool is_pub) {
    auto& record = ast::emplace_alternative<ast::StmtKind::RecordDecl>(arena_, out.v);
    record.is_pub = is_pub;
    QN_TRY(expect_kw(Keyword::Record, ParseDiag::ExpectedRecordKeyword));
    QN_TRY(expect_ident(record.name, ParseDiag::ExpectedRecordName));
    QN_TRY_ASSIGN(record.type_params, parse_type_params());
    if (is_pub && !doc) return error(ParseDiag::PublicRecordWithoutDoc, record.name);
    record.doc = std::move(doc);
    QN_TRY(expect(TokenKind::Colon, ParseDiag::ExpectedRecordColon));
    QN_TRY(expect(TokenKind::Newline, ParseDiag::ExpectedRecordNewline));
    QN_TRY(expect(TokenKind::Indent, ParseDiag::ExpectedRecordIndent));
    in_arena(record.fields);
    while (!check(TokenKind::Dedent)) {
        ast::FieldDef& field = record.fields.emplace_back();
        field.span = peek().span;
        QN_TRY(expect_ident(field.name, ParseDiag::ExpectedFieldName));
        QN_TRY(expect(TokenKind::Colon, ParseDiag::ExpectedRecordFieldColon));
        QN_TRY(parse_type(field.ty));
        QN_TRY(expect(TokenKind::Newline, ParseDiag::ExpectedRecordFieldNewline));
    }
    advance();
    return {};
}

Checked Parser::parse_enum(ast::StmtKind& out, std::optional<std::string> doc, bool is_pub) {
    auto& decl = ast::emplace_alternative<ast::StmtKind::EnumDecl>(arena_, out.v);
    decl.is_pub = is_pub;
    QN_TRY(expect_kw(Keyword::Enum, ParseDiag::ExpectedEnumKeyword));
    QN_TRY(expect_ident(decl.name, ParseDiag::ExpectedEnumName));
    QN_TRY_ASSIGN(decl.type_params, parse_type_params());
    if (is_pub && !doc) return error(ParseDiag::PublicEnumWithoutDoc, decl.name);
    decl.doc = std::move(doc);
    QN_TRY(expect(TokenKind::Colon, ParseDiag::ExpectedEnumColon));
    QN_TRY(expect(TokenKind::Newline, ParseDiag::ExpectedEnumNewline));
    QN_TRY(expect(TokenKind::Indent, ParseDiag::ExpectedEnumIndent));
    in_arena(decl.variants);
    while (!check(TokenKind::Dedent)) QN_TRY(parse_variant(decl.variants.emplace_back()));
    advance();
    return {};
}

Checked Parser::parse_variant(ast::VariantDef& out) {
    out.span = peek().span;
    QN_TRY(expect_ident(out.name, ParseDiag::ExpectedVariantName));
    if (eat(TokenKind::LParen)) {
        in_arena(out.fields);
        while (!check(TokenKind::RParen)) {
            ast::FieldDef& field = out.fields.emplace_back();
            field.span = peek().span;
            QN_TRY(expect_ident(field.name, ParseDiag::ExpectedFieldName));
            QN_TRY(expect(TokenKind::Colon, ParseDiag::ExpectedPayloadFieldColon));
            QN_TRY(parse_type(field.ty));
            if (!eat(TokenKind::Comma)) break;
        }
        QN_TRY(expect(TokenKind::RParen, ParseDiag::ExpectedPayloadClose));
        if (out.fields.empty()) return error(ParseDiag::EmptyVariantPayload);
    }
    return expect(TokenKind::Newline, ParseDiag::ExpectedVariantNewline);
}

}  // namespace quellin
