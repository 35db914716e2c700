#pragma once
// The vocabulary shared by the lexer and the parser: positions, tokens, keywords, text-literal parts.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace quellin {

// Where a token or construct begins: 1-based line and column (columns count Unicode scalar values).
struct Span {
    uint32_t line = 1;
    uint32_t col = 1;
    friend bool operator==(const Span&, const Span&) = default;
};

// The reserved words, in table order: X(Variant, "text") once per keyword. The enum, the count, the
// texts and the lookup are all made from this one list.
#define QN_KEYWORDS(X)                                                                                   \
    X(Let, "let") X(Mut, "mut") X(Fn, "fn") X(Pub, "pub") X(Async, "async") X(Return, "return")         \
    X(If, "if") X(Elif, "elif") X(Else, "else") X(For, "for") X(In, "in") X(While, "while")             \
    X(Break, "break") X(Continue, "continue") X(Match, "match") X(Case, "case") X(And, "and")           \
    X(Or, "or") X(Not, "not") X(Test, "test") X(Assert, "assert") X(Intent, "intent")                   \
    X(Record, "record") X(Enum, "enum") X(Trait, "trait") X(Module, "module") X(Import, "import")       \
    X(With, "with")

struct Keyword {
#define QN_KEYWORD_ENUM(name, text) name,
    enum Value : uint8_t { QN_KEYWORDS(QN_KEYWORD_ENUM) };
#undef QN_KEYWORD_ENUM
#define QN_KEYWORD_ONE(name, text) +1
    static constexpr int count = 0 QN_KEYWORDS(QN_KEYWORD_ONE);
#undef QN_KEYWORD_ONE

    // The keyword whose text equals `ident` exactly, if any.
    static std::optional<Keyword::Value> from_ident(std::string_view ident);
    // The keyword's source text.
    static std::string_view text(Keyword::Value kw);
};

// One piece of a text literal.
struct StringPart {
    // Literal characters with escapes already resolved.
    struct Lit {
        std::string text;
        friend bool operator==(const Lit&, const Lit&) = default;
    };
    // Source text between '{' and its matching '}', and the position of its first character.
    struct Interp {
        std::string source;
        Span span;
        friend bool operator==(const Interp&, const Interp&) = default;
    };
    std::variant<Lit, Interp> v;
    friend bool operator==(const StringPart&, const StringPart&) = default;
};

// Token kinds, in table order: X(Variant, "display form"). Payload kinds come first.
#define QN_PUNCT_TOKENS(X)                                                                     \
    X(Plus, "Plus '+'") X(Minus, "Minus '-'") X(Star, "Star '*'") X(Slash, "Slash '/'")        \
    X(Percent, "Percent '%'") X(Assign, "Assign '='") X(Eq, "Eq '=='") X(NotEq, "NotEq '!='")  \
    X(Lt, "Lt '<'") X(LtEq, "LtEq '<='") X(Gt, "Gt '>'") X(GtEq, "GtEq '>='")                  \
    X(Arrow, "Arrow '->'") X(Colon, "Colon ':'") X(Comma, "Comma ','") X(Dot, "Dot '.'")       \
    X(Question, "Question '?'") X(LParen, "LParen '('") X(RParen, "RParen ')'")                \
    X(LBracket, "LBracket '['") X(RBracket, "RBracket ']'") X(LBrace, "LBrace '{'")            \
    X(RBrace, "RBrace '}'") X(Newline, "Newline") X(Indent, "Indent") X(Dedent, "Dedent")      \
    X(Eof, "Eof")

// A token kind: a tag plus the payload that the tag uses (the other payload fields stay empty).
// Kinds are plain values that own nothing, so a file's tokens are cheap to make, move and drop.
struct TokenKind {
#define QN_TOKEN_TAG(name, display) name,
    enum Tag : uint8_t { Int, Float, Text, Bool, Ident, Keyword, DocComment, QN_PUNCT_TOKENS(QN_TOKEN_TAG) };
#undef QN_TOKEN_TAG
    Tag tag = Eof;
    // A kind carries at most one scalar, so the scalars share one slot: tokens stay small, and a
    // large file has hundreds of thousands of them. Read only the member that the tag names.
    union {
        int64_t int_value = 0;               // Int
        double float_value;                  // Float
        bool bool_value;                     // Bool
        quellin::Keyword::Value keyword;     // Keyword
    };
    // Ident name, DocComment text, or a Text literal's body between its quotes, escapes and
    // interpolations as written (text_parts reads them). A view of the UTF-8 text the token was lexed
    // from, which must outlive it.
    std::string_view text;

    TokenKind() = default;
    TokenKind(Tag t) : tag(t) {}  // NOLINT: payload-free kinds convert implicitly
    static TokenKind make_int(int64_t v);
    static TokenKind make_float(double v);
    static TokenKind make_bool(bool v);
    static TokenKind make_ident(std::string_view name);
    static TokenKind make_keyword(quellin::Keyword::Value kw);
    static TokenKind make_doc(std::string_view text);
    static TokenKind make_text(std::string_view body);

    bool is_keyword(quellin::Keyword::Value kw) const { return tag == Keyword && keyword == kw; }

    // Same tag and, for payload kinds, the same payload.
    friend bool operator==(const TokenKind& a, const TokenKind& b);

    // The display form used in messages, e.g. "Colon ':'", "Ident(x)", "Newline".
    std::string display() const;
};

// The pieces of a text literal whose body the lexer accepted, escapes resolved: literal runs and the
// source of each interpolation, positioned from `quote`, where the literal's opening quote stands (a
// text literal never spans lines). An empty body gives one empty literal piece.
std::vector<StringPart> text_parts(std::string_view body, Span quote);

struct Token {
    TokenKind kind;
    Span span;
};

static_assert(std::is_trivially_copyable_v<Token> && std::is_trivially_destructible_v<Token>);

}  // namespace quellin
