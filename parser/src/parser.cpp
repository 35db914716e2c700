// The parser's entry, its token navigation, depth bounds, blocks, type-parameter lists and doc comments.

#include "parser/parser.hpp"

#include <algorithm>
#include <unordered_set>
#include <utility>

#include "lexer/lexer.hpp"
#include "parser_impl.hpp"

namespace quellin {

// A long text is lexed as the parser goes, but a lexical error anywhere in it is the error of the
// whole text, even when the parser stopped earlier at an error of its own.
Expected<ast::Program, ParseError> parse(std::string_view source) {
    TokenStream tokens(source);
    Parser parser(tokens);
    auto arena = std::make_shared<ast::Arena>();
    Parsed<ast::Program> program = [&] {
        const ast::ArenaScope scope(arena.get());
        return parser.parse_program();
    }();
    if (program) program->arena = std::move(arena);
    if (const std::optional<LexError> error = tokens.finish()) return unexpected(ParseError::from_lex(*error));
    return program;
}

Parser::Parser(TokenStream& tokens, uint32_t nesting) : tokens_(tokens), nesting_(nesting) {}

Parsed<ast::Program> Parser::parse_program() {
    ast::Program program;
    while (!check(TokenKind::Eof)) {
        if (eat(TokenKind::Newline)) continue;
        QN_TRY(parse_stmt(program.stmts.emplace_back()));
    }
    return program;
}

// ---- Depth bounds ----

Checked Parser::Nesting::check_at(Span at) const {
    if (p_.nesting_ <= max_nesting) return {};
    return unexpected(ParseError{"this code nests too deeply (more than 256 levels) — move inner parts into "
                                 "functions or intermediate 'let' bindings",
                                 at});
}

Checked Parser::check_height(uint32_t height) const {
    if (nesting_ + height <= max_tree_depth) return {};
    return err_here(
        "this expression chains too many operations (more than 1024) — split it with intermediate 'let' "
        "bindings");
}

// ---- Token navigation ----

bool Parser::eat(TokenKind::Tag tag) {
    if (!check(tag)) return false;
    advance();
    return true;
}

std::string Parser::found() const { return peek().kind.display(); }

Unexpected<ParseError> Parser::err_here(std::string message) const {
    return unexpected(ParseError{std::move(message), peek().span});
}

Checked Parser::expect(TokenKind::Tag tag, std::string_view context) {
    if (eat(tag)) return {};
    std::string message = "expected " + TokenKind(tag).display();
    message += ' ';
    message += context;
    message += ", found " + found();
    return err_here(std::move(message));
}

Checked Parser::expect_kw(Keyword::Value kw, std::string_view context) {
    if (check_kw(kw)) {
        advance();
        return {};
    }
    std::string message = "expected keyword '";
    message += Keyword::text(kw);
    message += "' ";
    message += context;
    message += ", found " + found();
    return err_here(std::move(message));
}

Checked Parser::expect_ident(std::string& name, std::string_view what) {
    if (check(TokenKind::Ident)) {
        name = advance().kind.text;
        return {};
    }
    std::string message = "expected ";
    message += what;
    message += ", found " + found();
    return err_here(std::move(message));
}

// ---- Blocks, type parameters, doc comments ----

Checked Parser::parse_block(ast::Vec<ast::Stmt>& stmts) {
    const Nesting level(*this);
    QN_TRY(level.check());
    if (check(TokenKind::Assign)) {
        return err_here("found '=' where ':' was expected — assignment is a statement in QUELLIN; use '==' to "
                        "compare values");
    }
    QN_TRY(expect(TokenKind::Colon, "to start the block"));
    QN_TRY(expect(TokenKind::Newline,
                  "after ':' — QUELLIN blocks always start on the next line, indented by 4 spaces"));
    QN_TRY(expect(TokenKind::Indent, "— expected an indented block (4 spaces); empty blocks are not allowed"));
    while (!check(TokenKind::Dedent)) QN_TRY(parse_stmt(stmts.emplace_back()));
    advance();
    return {};
}

Parsed<std::vector<std::string>> Parser::parse_type_params() {
    std::vector<std::string> params;
    if (!eat(TokenKind::LBracket)) return params;
    std::unordered_set<std::string> seen;
    while (true) {
        std::string name;
        QN_TRY(expect_ident(name, "a type parameter name — generic declarations are 'name[T, U]'"));
        if (!seen.insert(name).second) return err_here("type parameter '" + name + "' is declared twice");
        params.push_back(std::move(name));
        if (!eat(TokenKind::Comma)) break;
    }
    QN_TRY(expect(TokenKind::RBracket, "to close the type parameter list"));
    return params;
}

Parsed<std::string> Parser::parse_doc_comments() {
    std::string doc;
    bool first = true;
    while (check(TokenKind::DocComment)) {
        if (!first) doc += '\n';
        first = false;
        doc += advance().kind.text;
        QN_TRY(expect(TokenKind::Newline, "after the doc comment"));
    }
    const bool declaration_follows = check_kw(Keyword::Fn) || check_kw(Keyword::Pub) ||
                                     check_kw(Keyword::Async) || check_kw(Keyword::Record) ||
                                     check_kw(Keyword::Enum);
    if (!declaration_follows) {
        return err_here("doc comments (///) must be followed by a function, record, or enum declaration, found " +
                        found());
    }
    return doc;
}

}  // namespace quellin
