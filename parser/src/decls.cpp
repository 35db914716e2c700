// Declarations: functions, records and enums, with their parameter, field and variant lists.

#include <utility>

#include "parser_impl.hpp"

namespace quellin {

namespace {

std::string missing_doc(std::string_view what, const std::string& name) {
    std::string message = "public ";
    message += what;
    message += " '" + name + "' is missing its doc comment — QUELLIN requires /// documentation on public items";
    return message;
}

}  // namespace

Checked Parser::parse_decl(ast::StmtKind& out, std::optional<std::string> doc) {
    const bool is_pub = check_kw(Keyword::Pub);
    if (is_pub) advance();
    if (check_kw(Keyword::Enum)) return parse_enum(out, std::move(doc), is_pub);
    if (check_kw(Keyword::Record)) return parse_record(out, std::move(doc), is_pub);
    return parse_fn(out, std::move(doc), is_pub);
}

Checked Parser::parse_fn(ast::StmtKind& out, std::optional<std::string> doc, bool is_pub) {
    auto& fn = ast::emplace_alternative<ast::StmtKind::FnDecl>(out.v);
    fn.is_pub = is_pub;
    fn.is_async = check_kw(Keyword::Async);
    if (fn.is_async) advance();
    QN_TRY(expect_kw(Keyword::Fn, "to declare a function"));
    QN_TRY(expect_ident(fn.name, "a function name after 'fn'"));
    if (is_pub && !doc) return err_here(missing_doc("function", fn.name));
    fn.doc = std::move(doc);
    QN_TRY_ASSIGN(fn.type_params, parse_type_params());
    QN_TRY(expect(TokenKind::LParen, "after the function name"));
    QN_TRY(parse_params(fn.params));
    QN_TRY(expect(TokenKind::RParen, "to close the parameter list"));
    QN_TRY(expect(TokenKind::Arrow,
                  "after the parameter list — every function declares its return type explicitly, e.g. '-> Void'"));
    QN_TRY(parse_type(fn.ret));
    if (check(TokenKind::Colon)) return parse_block(fn.body.v.emplace<ast::FnBody::Block>().block.stmts);
    if (eat(TokenKind::Assign)) {
        QN_TRY(parse_expr(fn.body.v.emplace<ast::FnBody::Expr>().expr));
        return expect(TokenKind::Newline, "to end the expression-body function");
    }
    return err_here("expected ':' for a block body or '=' for an expression body, found " + found());
}

Checked Parser::parse_params(ast::Vec<ast::Param>& params) {
    while (!check(TokenKind::RParen)) {
        ast::Param& param = params.emplace_back();
        param.span = peek().span;
        QN_TRY(expect_ident(param.name, "a parameter name"));
        QN_TRY(expect(TokenKind::Colon,
                      "after the parameter name — every parameter declares its type as 'name: Type'"));
        QN_TRY(parse_type(param.ty));
        if (!eat(TokenKind::Comma)) break;
    }
    return {};
}

Checked Parser::parse_record(ast::StmtKind& out, std::optional<std::string> doc, bool is_pub) {
    auto& record = ast::emplace_alternative<ast::StmtKind::RecordDecl>(out.v);
    record.is_pub = is_pub;
    QN_TRY(expect_kw(Keyword::Record, "to declare a record"));
    QN_TRY(expect_ident(record.name, "a record name after 'record'"));
    QN_TRY_ASSIGN(record.type_params, parse_type_params());
    if (is_pub && !doc) return err_here(missing_doc("record", record.name));
    record.doc = std::move(doc);
    QN_TRY(expect(TokenKind::Colon, "to start the record body"));
    QN_TRY(expect(TokenKind::Newline, "after ':' — record fields start on the next line, indented by 4 spaces"));
    QN_TRY(expect(TokenKind::Indent, "— expected indented record fields ('name: Type', one per line)"));
    while (!check(TokenKind::Dedent)) {
        ast::FieldDef& field = record.fields.emplace_back();
        field.span = peek().span;
        QN_TRY(expect_ident(field.name, "a field name"));
        QN_TRY(expect(TokenKind::Colon, "after the field name — record fields are 'name: Type'"));
        QN_TRY(parse_type(field.ty));
        QN_TRY(expect(TokenKind::Newline, "to end the field"));
    }
    advance();
    return {};
}

Checked Parser::parse_enum(ast::StmtKind& out, std::optional<std::string> doc, bool is_pub) {
    auto& decl = ast::emplace_alternative<ast::StmtKind::EnumDecl>(out.v);
    decl.is_pub = is_pub;
    QN_TRY(expect_kw(Keyword::Enum, "to declare an enum"));
    QN_TRY(expect_ident(decl.name, "an enum name after 'enum'"));
    QN_TRY_ASSIGN(decl.type_params, parse_type_params());
    if (is_pub && !doc) return err_here(missing_doc("enum", decl.name));
    decl.doc = std::move(doc);
    QN_TRY(expect(TokenKind::Colon, "to start the enum body"));
    QN_TRY(expect(TokenKind::Newline, "after ':' — enum variants start on the next line, indented by 4 spaces"));
    QN_TRY(expect(TokenKind::Indent, "— expected indented enum variants, one per line"));
    while (!check(TokenKind::Dedent)) QN_TRY(parse_variant(decl.variants.emplace_back()));
    advance();
    return {};
}

Checked Parser::parse_variant(ast::VariantDef& out) {
    out.span = peek().span;
    QN_TRY(expect_ident(out.name, "a variant name"));
    if (eat(TokenKind::LParen)) {
        while (!check(TokenKind::RParen)) {
            ast::FieldDef& field = out.fields.emplace_back();
            field.span = peek().span;
            QN_TRY(expect_ident(field.name, "a field name"));
            QN_TRY(expect(TokenKind::Colon, "after the field name — variant payloads are 'name: Type'"));
            QN_TRY(parse_type(field.ty));
            if (!eat(TokenKind::Comma)) break;
        }
        QN_TRY(expect(TokenKind::RParen, "to close the variant payload"));
        if (out.fields.empty()) return err_here("unit variants are written without parentheses");
    }
    return expect(TokenKind::Newline, "to end the variant");
}

}  // namespace quellin
