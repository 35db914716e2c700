#pragma once
// The recursive-descent parser shared by the parser's source files: one Parser over one token stream.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ast/ast.hpp"
#include "lexer/expected.hpp"
#include "lexer/lexer.hpp"
#include "lexer/token.hpp"
#include "parser/diagnostics.hpp"
#include "parser/error.hpp"

namespace quellin {

template <class T>
using Parsed = Expected<T, ParseError>;
using Checked = Expected<void, ParseError>;

// Nesting levels (blocks, brackets, prefix operators, lambdas, interpolations, types, patterns) that one
// parse may open at once; this keeps the parser's own recursion well inside the stack.
inline constexpr uint32_t max_nesting = 256;
// The most operations one expression may chain: every node above a leaf (a binary or prefix operator, a
// call, field read, index or '?', a construction, collection, text with interpolations, lambda or 'with')
// counts one, along the longest path from the expression's root to a leaf, wherever the expression sits.
// Operator and postfix chains are built in loops rather than by recursion, so they are bounded here.
//
// Together the two bounds bound every later recursive walk over the tree (checking, copying, destroying,
// printing): at most `max_nesting` blocks around an expression at most `max_chain` + 1 nodes deep. The
// pipeline's bounds test walks programs at both maxima at once.
inline constexpr uint32_t max_chain = 1024;

// What `parse_lambda_head` reads: shared by lambdas and block-bodied lambdas in bindings.
struct LambdaHead {
    ast::Vec<ast::Param> params;
    ast::TypeExpr ret;
    Span span;  // of `fn`
};

class Parser {
public:
    // Every node and list of the tree goes to `arena`. `nesting` starts above zero for the parser of an
    // interpolation, which continues the nesting of the expression it sits in (and builds in its arena).
    Parser(TokenStream& tokens, ast::Arena& arena, uint32_t nesting = 0);

    Parsed<ast::Program> parse_program();

private:
    // Holds one nesting level for its lifetime.
    class [[nodiscard]] Nesting {
    public:
        explicit Nesting(Parser& p) : p_(p) { ++p_.nesting_; }
        ~Nesting() { --p_.nesting_; }
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;
        // Fails, at the token that opens the level (or at `at`), when this level goes past the bound.
        Checked check() const { return check_at(p_.peek().span); }
        Checked check_at(Span at) const;

    private:
        Parser& p_;
    };

    // Tree memory, from the arena. A node's lists start empty and on the heap; a list is moved into the
    // arena (`in_arena`) before it is filled, so that an empty list costs nothing.
    template <class T>
    ast::Vec<T> list() { return ast::Vec<T>(ast::ArenaAllocator<T>(&arena_)); }
    template <class T>
    ast::Vec<T>& in_arena(ast::Vec<T>& empty) {
        if (empty.empty()) empty = list<T>();
        return empty;
    }
    template <class T, class... Args>
    ast::Box<T> box(Args&&... args) { return ast::Box<T>(arena_, std::in_place, std::forward<Args>(args)...); }

    // Fills `out` with a `K` node made from `args` (which may take `out` itself as a child) and records its
    // height: leaves are 1, every node one more than its tallest child. The height of the expression an
    // expression parse produced is read from `height_`.
    template <class K, class... Args>
    void build(ast::Expr& out, Span span, uint32_t height, Args&&... args);
    // Fails, at the current token, when a node of this height (leaves are 1) would chain more than
    // `max_chain` operations.
    Checked check_height(uint32_t height) const;

    // Token navigation (parser.cpp).
    const Token& peek() const { return tokens_.peek(); }
    const TokenKind& peek_kind_at() const { return tokens_.peek_next().kind; }
    // The consumed token, valid until the next advance.
    const Token& advance() { return tokens_.advance(); }
    bool check(TokenKind::Tag tag) const { return peek().kind.tag == tag; }
    bool check_kw(Keyword::Value kw) const { return peek().kind.is_keyword(kw); }
    bool eat(TokenKind::Tag tag);
    // Each fails with `missing`, a kind that names what was expected and takes the token found instead.
    Checked expect(TokenKind::Tag tag, ParseDiag missing);
    Checked expect_kw(Keyword::Value kw, ParseDiag missing);
    // Copies the identifier's name into `name`, which is often the node's own field.
    Checked expect_ident(std::string& name, ParseDiag missing);
    // The error `kind` at the current token, its message filled with `args`. Kept out of line, so that
    // making a message adds nothing to the frames of the recursive descent.
    [[gnu::cold, gnu::noinline]] Unexpected<ParseError> error(ParseDiag kind) const;
    [[gnu::cold, gnu::noinline]] Unexpected<ParseError> error(ParseDiag kind, std::string_view arg) const;
    [[gnu::cold, gnu::noinline]] Unexpected<ParseError> error(ParseDiag kind, std::string_view first,
                                                               std::string_view second) const;
    // `missing`, whose template starts with "expected " and `what`, with the token found instead.
    [[gnu::cold, gnu::noinline]] Unexpected<ParseError> missing_error(std::string_view what, ParseDiag missing) const;
    // The display form of the current token, for "found ..." messages.
    std::string found() const;

    // Blocks, type parameters and doc comments (parser.cpp).
    // The statements of an indented block, appended to `stmts`.
    Checked parse_block(ast::Vec<ast::Stmt>& stmts);
    Parsed<std::vector<std::string>> parse_type_params();
    Parsed<std::string> parse_doc_comments();

    // Declarations (decls.cpp).
    Checked parse_decl(ast::StmtKind& out, std::optional<std::string> doc);
    [[gnu::noinline]] Checked parse_fn(ast::StmtKind& out, std::optional<std::string> doc, bool is_pub);
    [[gnu::noinline]] Checked parse_record(ast::StmtKind& out, std::optional<std::string> doc, bool is_pub);
    [[gnu::noinline]] Checked parse_enum(ast::StmtKind& out, std::optional<std::string> doc, bool is_pub);
    Checked parse_variant(ast::VariantDef& out);
    // Up to (not including) the closing `)`; shared by functions and lambdas.
    Checked parse_params(ast::Vec<ast::Param>& params);

    // Statements (stmts.cpp). Like expressions, statements are built in place: blocks and the program
    // make room for each statement, and nested blocks pass through only small frames. The statement forms
    // are kept out of line so that each nesting level holds the frame of one form only.
    Checked parse_stmt(ast::Stmt& out);
    Checked parse_keyword_stmt(ast::StmtKind& out, Keyword::Value kw);
    // A keyword statement of one word (`break`, `continue`), ended by a line break.
    Checked parse_keyword_line(ParseDiag missing_newline);
    [[gnu::noinline]] Checked parse_binding(ast::StmtKind& out, bool is_mut);
    [[gnu::noinline]] Checked parse_return(ast::StmtKind& out);
    [[gnu::noinline]] Checked parse_if(ast::StmtKind& out);
    [[gnu::noinline]] Checked parse_for(ast::StmtKind& out);
    [[gnu::noinline]] Checked parse_while(ast::StmtKind& out);
    [[gnu::noinline]] Checked parse_match(ast::StmtKind& out);
    [[gnu::noinline]] Checked parse_test(ast::StmtKind& out);
    [[gnu::noinline]] Checked parse_import(ast::StmtKind& out);
    [[gnu::noinline]] Checked parse_expr_stmt(ast::StmtKind& out);

    // Expressions (exprs.cpp). Each level fills its result into `out`, so that an operand passes up the
    // precedence ladder without being moved at every level. The functions marked noinline hold a second
    // operand and are kept out of the frames that every nesting level passes through.
    using Level = Checked (Parser::*)(ast::Expr&);
    using OperatorOf = std::optional<ast::BinaryOp> (*)(const TokenKind&);
    Checked parse_expr(ast::Expr& out);
    [[gnu::noinline]] Checked parse_with(ast::Expr& out);
    // The level and the operator test are template arguments, so that every step down the ladder is a
    // direct call the compiler can inline.
    template <Level next, OperatorOf op_of>
    Checked parse_left_assoc(ast::Expr& out);
    [[gnu::noinline]] Checked parse_operator_chain(ast::Expr& out, Level next, OperatorOf op_of);
    Checked parse_or(ast::Expr& out);
    Checked parse_and(ast::Expr& out);
    Checked parse_not(ast::Expr& out);
    [[gnu::noinline]] Checked parse_comparison(ast::Expr& out);
    Checked parse_additive(ast::Expr& out);
    Checked parse_multiplicative(ast::Expr& out);
    Checked parse_unary(ast::Expr& out);
    [[gnu::noinline]] Checked parse_prefix(ast::Expr& out, ast::UnaryOp op, Level operand_level);
    Checked parse_postfix(ast::Expr& out);
    Checked parse_primary(ast::Expr& out);
    [[gnu::noinline]] Checked unexpected_keyword() const;
    Checked parse_paren(ast::Expr& out);
    [[gnu::noinline]] Checked parse_tuple(ast::Expr& out, Span span);
    Checked parse_list(ast::Expr& out);
    Checked parse_brace(ast::Expr& out);
    [[gnu::noinline]] Checked parse_map(ast::Expr& out, Span span);
    [[gnu::noinline]] Checked parse_set(ast::Expr& out, Span span);
    Checked parse_text(ast::Expr& out);
    // The text of a literal without interpolation (possibly empty), or nothing when it interpolates.
    static std::optional<std::string> plain_text(const Token& literal);
    Parsed<ast::TextPart> parse_interpolation(StringPart::Interp piece);
    Checked parse_interpolated_expr(ast::Expr& out);
    Checked parse_lambda(ast::Expr& out);
    Parsed<LambdaHead> parse_lambda_head();
    Checked parse_lambda_rest(ast::Expr& out, LambdaHead head);
    // The postfix forms, applied to the expression in `out` (of height `height_`).
    [[gnu::noinline]] Checked parse_field(ast::Expr& out);
    Checked parse_try(ast::Expr& out);
    Checked parse_call(ast::Expr& out);
    // The named-field list after `(`, inside the nesting level of `parse_call`.
    Checked parse_construct(ast::Expr& out);
    Checked parse_index(ast::Expr& out);
    // Comma-separated expressions up to (not including) `close`, a trailing comma accepted; sets `height_`
    // to the tallest item's height (0 for none).
    Parsed<ast::Vec<ast::Expr>> parse_expr_list(TokenKind::Tag close);

    // Patterns (patterns.cpp).
    Checked parse_pattern(ast::Pattern& out);
    Checked parse_name_pattern(std::string name, ast::PatternKind& out);
    Checked parse_variant_pattern(std::string first, ast::PatternKind& out);
    Checked parse_field_patterns(ast::FieldPatterns& fields, ParseDiag missing_close);

    // Type expressions (types.cpp).
    Checked parse_type(ast::TypeExpr& out);
    Checked parse_fn_type(ast::TypeExpr& out);
    Checked parse_type_args(ast::Vec<ast::TypeExpr>& args, bool allow_trailing_comma);

    TokenStream& tokens_;
    ast::Arena& arena_;
    uint32_t nesting_;
    // Height of the expression the last expression parse returned.
    uint32_t height_ = 0;
};

}  // namespace quellin
