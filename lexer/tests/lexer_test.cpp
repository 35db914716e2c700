#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "lex_text.hpp"
#include "lexer/lexer.hpp"

namespace quellin {
namespace {

using testing::lex;

struct TokenCase {
    std::string_view source;
    std::string_view tokens;
};

void expect_tokens(const std::vector<TokenCase>& cases) {
    for (const auto& c : cases) EXPECT_EQ(lex(c.source), c.tokens) << "source: " << c.source;
}

TEST(Lexer, Layout) {
    expect_tokens({
        {"", "Eof@1:1"},
        {"\n\n// note\n   \n  // indented note\n//", "Eof@6:3"},
        {"x", "Ident(x)@1:1, Newline@1:2, Eof@1:2"},
        {"x\n", "Ident(x)@1:1, Newline@1:2, Eof@2:1"},
        {"fn f():\n    x",
         "Keyword(fn)@1:1, Ident(f)@1:4, LParen '('@1:5, RParen ')'@1:6, Colon ':'@1:7, Newline@1:8, "
         "Indent@2:5, Ident(x)@2:5, Newline@2:6, Dedent@2:6, Eof@2:6"},
        {"a:\n    b:\n        c\nd\n",
         "Ident(a)@1:1, Colon ':'@1:2, Newline@1:3, Indent@2:5, Ident(b)@2:5, Colon ':'@2:6, Newline@2:7, "
         "Indent@3:9, Ident(c)@3:9, Newline@3:10, Dedent@4:1, Dedent@4:1, Ident(d)@4:1, Newline@4:2, Eof@5:1"},
        {"    x\n", "Indent@1:5, Ident(x)@1:5, Newline@1:6, Dedent@2:1, Eof@2:1"},
        {"a\n  // two-space comment\n   \nb",
         "Ident(a)@1:1, Newline@1:2, Ident(b)@4:1, Newline@4:2, Eof@4:2"},
        {"a:\n    b\n\n// gap\n    c\n",
         "Ident(a)@1:1, Colon ':'@1:2, Newline@1:3, Indent@2:5, Ident(b)@2:5, Newline@2:6, Ident(c)@5:5, "
         "Newline@5:6, Dedent@6:1, Eof@6:1"},
        {"f(1,\n  2,\n         3)\nx",
         "Ident(f)@1:1, LParen '('@1:2, Int(1)@1:3, Comma ','@1:4, Int(2)@2:3, Comma ','@2:4, Int(3)@3:10, "
         "RParen ')'@3:11, Newline@3:12, Ident(x)@4:1, Newline@4:2, Eof@4:2"},
        {"[\n  {\n )\n]\nx", "LBracket '['@1:1, LBrace '{'@2:3, RParen ')'@3:2, RBracket ']'@4:1, Newline@4:2, "
                            "Ident(x)@5:1, Newline@5:2, Eof@5:2"},
        {") x\n", "RParen ')'@1:1, Ident(x)@1:3, Newline@1:4, Eof@2:1"},
        {"x // note\ny", "Ident(x)@1:1, Newline@1:10, Ident(y)@2:1, Newline@2:2, Eof@2:2"},
        {"a:\n    /// doc\n    b",
         "Ident(a)@1:1, Colon ':'@1:2, Newline@1:3, Indent@2:5, DocComment(\"doc\")@2:5, Newline@2:12, "
         "Ident(b)@3:5, Newline@3:6, Dedent@3:6, Eof@3:6"},
        {"///x\n////  y", "DocComment(\"x\")@1:1, Newline@1:5, DocComment(\"/  y\")@2:1, Newline@2:8, Eof@2:8"},
    });
}

TEST(Lexer, CarriageReturnsAreInvisible) {
    const std::string_view lf = "fn f():\n    let s = \"a{x}\"\n\n    g(1,\n      2)\n";
    const std::string_view crlf = "fn f():\r\n    let s = \"a{x}\"\r\n\r\n    g(1,\r\n      2)\r\n";
    EXPECT_EQ(lex(crlf), lex(lf));
    EXPECT_EQ(lex("a\r\rb"), "Ident(ab)@1:1, Newline@1:3, Eof@1:3");
    // Beyond plain ASCII, names, comments and literals read the text without its carriage returns too.
    EXPECT_EQ(lex("/// caf\xC3\xA9\r\na\r\rb = \"\xC3\xA9\r{x}\"\r\n"),
              "DocComment(\"caf\xC3\xA9\")@1:1, Newline@1:9, Ident(ab)@2:1, Assign '='@2:4, "
              "Text(\"\xC3\xA9\" + {x})@2:6, Newline@2:12, Eof@3:1");
}

TEST(Lexer, WordsAndOperators) {
    expect_tokens({
        {"let Let lets true false True _x9",
         "Keyword(let)@1:1, Ident(Let)@1:5, Ident(lets)@1:9, Bool(true)@1:14, Bool(false)@1:19, "
         "Ident(True)@1:25, Ident(_x9)@1:30, Newline@1:33, Eof@1:33"},
        {"!= -> - == = <= < >= >",
         "NotEq '!='@1:1, Arrow '->'@1:4, Minus '-'@1:7, Eq '=='@1:9, Assign '='@1:12, LtEq '<='@1:14, "
         "Lt '<'@1:17, GtEq '>='@1:19, Gt '>'@1:22, Newline@1:23, Eof@1:23"},
        {"+*/%:,.?()[]{}",
         "Plus '+'@1:1, Star '*'@1:2, Slash '/'@1:3, Percent '%'@1:4, Colon ':'@1:5, Comma ','@1:6, "
         "Dot '.'@1:7, Question '?'@1:8, LParen '('@1:9, RParen ')'@1:10, LBracket '['@1:11, "
         "RBracket ']'@1:12, LBrace '{'@1:13, RBrace '}'@1:14, Newline@1:15, Eof@1:15"},
        {"a-1 a->b ===", "Ident(a)@1:1, Minus '-'@1:2, Int(1)@1:3, Ident(a)@1:5, Arrow '->'@1:6, Ident(b)@1:8, "
                         "Eq '=='@1:10, Assign '='@1:12, Newline@1:13, Eof@1:13"},
    });
}

TEST(Lexer, Numbers) {
    expect_tokens({
        {"1_000", "Int(1000)@1:1, Newline@1:6, Eof@1:6"},
        {"1__0_", "Int(10)@1:1, Newline@1:6, Eof@1:6"},
        {"0x_ff 0XAb 007", "Int(255)@1:1, Int(171)@1:7, Int(7)@1:12, Newline@1:15, Eof@1:15"},
        {"9223372036854775807", "Int(9223372036854775807)@1:1, Newline@1:20, Eof@1:20"},
        {"0x7fff_ffff_ffff_ffff", "Int(9223372036854775807)@1:1, Newline@1:22, Eof@1:22"},
        {"1.5 3.0 0.1_0 1_0.2_5", "Float(1.5)@1:1, Float(3)@1:5, Float(0.1)@1:9, Float(10.25)@1:15, "
                                  "Newline@1:22, Eof@1:22"},
        {"1.abs", "Int(1)@1:1, Dot '.'@1:2, Ident(abs)@1:3, Newline@1:6, Eof@1:6"},
        {"1..2", "Int(1)@1:1, Dot '.'@1:2, Dot '.'@1:3, Int(2)@1:4, Newline@1:5, Eof@1:5"},
        {"0x1.5", "Int(1)@1:1, Dot '.'@1:4, Int(5)@1:5, Newline@1:6, Eof@1:6"},
        {"-5", "Minus '-'@1:1, Int(5)@1:2, Newline@1:3, Eof@1:3"},
        {"1" + std::string(400, '0') + ".0", "Float(inf)@1:1, Newline@1:404, Eof@1:404"},
    });
}

TEST(Lexer, TextLiterals) {
    expect_tokens({
        {R"("")", R"(Text("")@1:1, Newline@1:3, Eof@1:3)"},
        {R"(x = "a{x}b")", R"(Ident(x)@1:1, Assign '='@1:3, Text("a" + {x} + "b")@1:5, Newline@1:12, Eof@1:12)"},
        {R"("{x}")", R"(Text({x})@1:1, Newline@1:6, Eof@1:6)"},
        {R"("a{x}")", R"(Text("a" + {x})@1:1, Newline@1:7, Eof@1:7)"},
        {R"("{a}{ b }")", R"(Text({a} + { b })@1:1, Newline@1:11, Eof@1:11)"},
        {R"("\"\\\n\t\r\{\}")", R"(Text("\"\\\n\t\r{}")@1:1, Newline@1:17, Eof@1:17)"},
        {"\"tab\there\"", R"(Text("tab\there")@1:1, Newline@1:11, Eof@1:11)"},
        {R"("{f("}{")}!")", R"(Text({f("}{")} + "!")@1:1, Newline@1:13, Eof@1:13)"},
        {R"("{g("\"}")}")", R"(Text({g("\"}")})@1:1, Newline@1:13, Eof@1:13)"},
        {R"("{ {k: 1}[k] }")", R"(Text({ {k: 1}[k] })@1:1, Newline@1:16, Eof@1:16)"},
        {"\"héllo\" x", "Text(\"héllo\")@1:1, Ident(x)@1:9, Newline@1:10, Eof@1:10"},
        {"\"\xff\"", "Text(\"\xEF\xBF\xBD\")@1:1, Newline@1:4, Eof@1:4"},
    });
}

TEST(Lexer, InterpolationCarriesThePositionAfterItsBrace) {
    const auto result = tokenize("\nf(\"ab{cd}{ e}\")");
    ASSERT_TRUE(result);
    const Token& text = (*result)[2];
    const std::vector<StringPart> parts = text_parts(text.kind.text, text.span);
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[1], (StringPart{StringPart::Interp{"cd", Span{2, 7}}}));
    EXPECT_EQ(parts[2], (StringPart{StringPart::Interp{" e", Span{2, 11}}}));
}

// Which kind each error is, one source per kind. The messages and positions of the lexer's errors are
// file tests in lexer/tests/files/.
struct KindCase {
    LexErrorKind kind;
    std::string_view source;
};

const std::vector<KindCase>& kind_cases() {
    static const std::vector<KindCase> cases = {
        {LexErrorKind::TabInIndentation, "a\n  \tb"},
        {LexErrorKind::TabCharacter, "a\tb"},
        {LexErrorKind::BadIndentWidth, "a\n  b"},
        {LexErrorKind::IndentTooDeep, "        x"},
        {LexErrorKind::UnterminatedString, "x = \"abc\ny\""},
        {LexErrorKind::InvalidEscape, "s = \"a\\qb\""},
        {LexErrorKind::InvalidNumber, "x = 12ab"},
        {LexErrorKind::UnterminatedInterpolation, "\"a{x\ny}\""},
        {LexErrorKind::EmptyInterpolation, "\"a{}\""},
        {LexErrorKind::UnmatchedCloseBrace, "\"a}\""},
        {LexErrorKind::BangOperator, "if !x"},
        {LexErrorKind::UnexpectedChar, "a @ b"},
    };
    return cases;
}

TEST(Lexer, ErrorKinds) {
    for (const auto& c : kind_cases()) {
        const auto result = tokenize(c.source);
        ASSERT_FALSE(result) << "source: " << c.source;
        EXPECT_EQ(result.error().kind, c.kind) << "source: " << c.source;
    }
}

TEST(Lexer, EveryErrorKindIsTested) {
    std::set<LexErrorKind> seen;
    for (const auto& c : kind_cases()) seen.insert(c.kind);
    EXPECT_EQ(seen.size(), static_cast<size_t>(LexErrorKind::UnexpectedChar) + 1);
}

TEST(Lexer, IllFormedUtf8NeverFails) {
    // Truncated, overlong, surrogate and out-of-range sequences each decode to replacement characters.
    const std::string_view source = "\"\xE2\x82 \xC0\xAF \xED\xA0\x80 \xF4\x90\x80\x80 \xF0\x9F\x98\x80\"";
    const auto result = tokenize(source);
    ASSERT_TRUE(result);
    EXPECT_EQ((*result)[0].kind.display(),
              "Text(\"\xEF\xBF\xBD \xEF\xBF\xBD\xEF\xBF\xBD \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD "
              "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD \xF0\x9F\x98\x80\")");
}

}  // namespace
}  // namespace quellin
