// The parser's entry, its token navigation, depth bounds, blocks, type-parameter lists and doc comments.

#include "parser/parser.hpp"

#include <algorithm>
#include <cassert>
#include <unordered_set>
#include <utility>

#include "lexer/lexer.hpp"
#include "parser_impl.hpp"

namespace quellin {

// A long text is lexed as the parser goes, but a lexical error anywhere in it is the error of the
// whole text, even when the parser stopped earlier at an error of its own.
Expected<ast::Program, ParseError> parse(std::string_view source) {
    TokenStream tokens(source);
    auto arena = std::make_shared<ast::Arena>();
    Parser parser(tokens, *arena);
    Parsed<ast::Program> program = parser.parse_program();
    if (program) program->arena = std::move(arena);
    if (const std::optional<LexError> error = tokens.finish()) return unexpected(ParseError::from_lex(*error));
    return program;
}

Parser::Parser(TokenStream& tokens, ast::Arena& arena, uint32_t nesting)
    : tokens_(tokens), arena_(arena), nesting_(nesting) {}

Parsed<ast::Program> Parser::parse_program() {
    ast::Program program;
    program.stmts = list<ast::Stmt>();
    while (!check(TokenKind::Eof)) {
        if (eat(TokenKind::Newline)) continue;
        QN_TRY(parse_stmt(program.stmts.emplace_back()));
    }
    return program;
}

// ---- Depth bounds ----

Checked Parser::Nesting::check_at(Span at) const {
    if (p_.nesting_ <= max_nesting) return {};
    static_assert(max_nesting == 256, "the message states the bound");
    return unexpected(ParseError{parse_message(ParseDiag::NestsTooDeeply), at});
}

Checked Parser::check_height(uint32_t height) const {
    static_assert(max_chain == 1024, "the message states the bound");
    if (height <= max_chain + 1) return {};
    return error(ParseDiag::ChainsTooManyOperations);
}

// ---- Token navigation ----

bool Parser::eat(TokenKind::Tag tag) {
    if (!check(tag)) return false;
    advance();
    return true;
}

std::string Parser::found() const { return peek().kind.display(); }

Unexpected<ParseError> Parser::error(ParseDiag kind) const {
    return unexpected(ParseError{parse_message(kind), peek().span});
}

Unexpected<ParseError> Parser::error(ParseDiag kind, std::string_view arg) const {
    return unexpected(ParseError{parse_message(kind, arg), peek().span});
}

Unexpected<ParseError> Parser::error(ParseDiag kind, std::string_view first, std::string_view second) const {
    return unexpected(ParseError{parse_message(kind, first, second), peek().span});
}

Unexpected<ParseError> Parser::missing_error([[maybe_unused]] std::string_view what, ParseDiag missing) const {
    [[maybe_unused]] const std::string_view text = kParseDiagnostics[static_cast<size_t>(missing)].text;
    assert(text.starts_with("expected ") && text.substr(9).starts_with(what) && "the kind names what is expected");
    return error(missing, found());
}

Checked Parser::expect(TokenKind::Tag tag, ParseDiag missing) {
    if (eat(tag)) return {};
    return missing_error(TokenKind(tag).display(), missing);
}

Checked Parser::expect_kw(Keyword::Value kw, ParseDiag missing) {
    if (check_kw(kw)) {
        advance();
        return {};
    }
    return missing_error("keyword '" + std::string(Keyword::text(kw)) + "'", missing);
}

Checked Parser::expect_ident(std::string& name, ParseDiag missing) {
    if (check(TokenKind::Ident)) {
        name = advance().kind.text;
        return {};
    }
    return missing_error("", missing);
}

// ---- Blocks, type parameters, doc comments ----

Checked Parser::parse_block(ast::Vec<ast::Stmt>& stmts) {
    const Nesting level(*this);
    QN_TRY(level.check());
    if (check(TokenKind::Assign)) return error(ParseDiag::AssignWhereColonExpected);
    QN_TRY(expect(TokenKind::Colon, ParseDiag::ExpectedBlockColon));
    QN_TRY(expect(TokenKind::Newline, ParseDiag::ExpectedBlockNewline));
    QN_TRY(expect(TokenKind::Indent, ParseDiag::ExpectedBlockIndent));
    in_arena(stmts);
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
        QN_TRY(expect_ident(name, ParseDiag::ExpectedTypeParamName));
        if (!seen.insert(name).second) return error(ParseDiag::DuplicateTypeParam, name);
        params.push_back(std::move(name));
        if (!eat(TokenKind::Comma)) break;
    }
    QN_TRY(expect(TokenKind::RBracket, ParseDiag::ExpectedTypeParamsClose));
    return params;
}

Parsed<std::string> Parser::parse_doc_comments() {
    std::string doc;
    bool first = true;
    while (check(TokenKind::DocComment)) {
        if (!first) doc += '\n';
        first = false;
        doc += advance().kind.text;
        QN_TRY(expect(TokenKind::Newline, ParseDiag::ExpectedDocCommentNewline));
    }
    const bool declaration_follows = check_kw(Keyword::Fn) || check_kw(Keyword::Pub) ||
                                     check_kw(Keyword::Async) || check_kw(Keyword::Record) ||
                                     check_kw(Keyword::Enum);
    if (!declaration_follows) return error(ParseDiag::DocCommentWithoutDeclaration, found());
    return doc;
}

}  // namespace quellin
