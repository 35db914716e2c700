#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "lexer/token.hpp"

namespace quellin {
namespace {

// Every keyword's text is a distinct lower-case word that reads back as that keyword.
TEST(Keyword, TextsAreDistinctWordsThatReadBack) {
    std::set<std::string_view> seen;
    for (int i = 0; i < Keyword::count; ++i) {
        const auto kw = static_cast<Keyword::Value>(i);
        const std::string_view text = Keyword::text(kw);
        EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](char c) { return c >= 'a' && c <= 'z'; })) << text;
        EXPECT_TRUE(seen.insert(text).second) << "'" << text << "' is listed twice";
        EXPECT_EQ(Keyword::from_ident(text), kw) << text;
    }
    EXPECT_EQ(Keyword::text(Keyword::Let), "let");
    EXPECT_EQ(Keyword::text(Keyword::With), "with");
}

TEST(Keyword, OnlyExactLowerCaseWordsAreKeywords) {
    for (const std::string_view word :
         {"Let", "LET", "lets", "le", "", "continues", "Fn", "iff", "true", "false", "withx", "_if"}) {
        EXPECT_EQ(Keyword::from_ident(word), std::nullopt) << word;
    }
}

// The keyword lookup against a plain search of the keyword texts, over every short lower-case word and
// every word one edit away from a keyword or made of a keyword twice.
TEST(Keyword, LookupAgreesWithTheKeywordTexts) {
    const auto expected = [](std::string_view word) -> std::optional<Keyword::Value> {
        for (int i = 0; i < Keyword::count; ++i) {
            const auto kw = static_cast<Keyword::Value>(i);
            if (Keyword::text(kw) == word) return kw;
        }
        return std::nullopt;
    };
    std::vector<std::string> words;
    for (char a = 'a'; a <= 'z'; ++a) {
        for (char b = 'a'; b <= 'z'; ++b) {
            words.push_back({a, b});
            for (char c = 'a'; c <= 'z'; ++c) words.push_back({a, b, c});
        }
    }
    const std::string edits = "abcdefghijklmnopqrstuvwxyzAZ_09";
    for (int i = 0; i < Keyword::count; ++i) {
        const std::string word(Keyword::text(static_cast<Keyword::Value>(i)));
        words.push_back(word + word);  // the same first and last characters as the keyword
        for (size_t at = 0; at <= word.size(); ++at) {
            words.push_back(word.substr(0, at));
            for (const char c : edits) {
                words.push_back(word.substr(0, at) + c + word.substr(at));
                if (at < word.size()) words.push_back(word.substr(0, at) + c + word.substr(at + 1));
            }
        }
    }
    for (const std::string& word : words) EXPECT_EQ(Keyword::from_ident(word), expected(word)) << word;
}

TEST(TokenKind, Display) {
    const struct {
        TokenKind kind;
        std::string_view display;
    } cases[] = {
        {TokenKind::make_int(0), "Int(0)"},
        {TokenKind::make_int(9223372036854775807), "Int(9223372036854775807)"},
        {TokenKind::make_float(2.0), "Float(2)"},
        {TokenKind::make_float(0.0), "Float(0)"},
        {TokenKind::make_float(0.1), "Float(0.1)"},
        {TokenKind::make_float(123.456), "Float(123.456)"},
        {TokenKind::make_float(1500.0), "Float(1500)"},
        {TokenKind::make_float(1e21), "Float(1000000000000000000000)"},
        {TokenKind::make_float(1e23), "Float(100000000000000000000000)"},
        {TokenKind::make_float(1.5e-7), "Float(0.00000015)"},
        {TokenKind::make_float(0.30000000000000004), "Float(0.30000000000000004)"},
        {TokenKind::make_float(-2.5), "Float(-2.5)"},
        {TokenKind::make_bool(true), "Bool(true)"},
        {TokenKind::make_bool(false), "Bool(false)"},
        {TokenKind::make_ident("snake_case1"), "Ident(snake_case1)"},
        {TokenKind::make_keyword(Keyword::Continue), "Keyword(continue)"},
        {TokenKind::make_keyword(Keyword::With), "Keyword(with)"},
        {TokenKind::make_doc("say \"hi\"\tnow"), R"(DocComment("say \"hi\"\tnow"))"},
        {TokenKind::make_text(""), R"(Text(""))"},
        {TokenKind::make_text("a{x}b"), R"(Text("a" + {x} + "b"))"},
        {TokenKind::make_text(R"({f("}")})"), R"(Text({f("}")}))"},
        {TokenKind::make_text("q\\\"\\\\\\n\\r\\t\x01\x7f\\{é\\}"), R"(Text("q\"\\\n\r\t\u{1}\u{7f}{é}"))"},
        // C1 controls (U+0080 to U+009F) are escaped like C0 ones; the characters next to them are not.
        {TokenKind::make_text("a\u0085b\u0080\u009f\u00a0\u00c2"), "Text(\"a\\u{85}b\\u{80}\\u{9f}\u00a0\u00c2\")"},
        {TokenKind::make_doc("x\u009by\u0100"), "DocComment(\"x\\u{9b}y\u0100\")"},
        {TokenKind::make_text("\u0084{x}\u0086"), "Text(\"\\u{84}\" + {x} + \"\\u{86}\")"},
        {TokenKind::Plus, "Plus '+'"},
        {TokenKind::NotEq, "NotEq '!='"},
        {TokenKind::Arrow, "Arrow '->'"},
        {TokenKind::Colon, "Colon ':'"},
        {TokenKind::LBrace, "LBrace '{'"},
        {TokenKind::RBrace, "RBrace '}'"},
        {TokenKind::Newline, "Newline"},
        {TokenKind::Indent, "Indent"},
        {TokenKind::Dedent, "Dedent"},
        {TokenKind::Eof, "Eof"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.kind.display(), c.display);
}

TEST(TokenKind, DisplayOfExtremeFloatsHasNoExponent) {
    const std::string tiny = TokenKind::make_float(5e-324).display();
    EXPECT_EQ(tiny, "Float(0." + std::string(323, '0') + "5)");
    const std::string huge = TokenKind::make_float(1.7976931348623157e308).display();
    EXPECT_EQ(huge, "Float(17976931348623157" + std::string(292, '0') + ")");
}

TEST(TokenKind, EqualityComparesTagAndPayload) {
    EXPECT_EQ(TokenKind::make_int(1), TokenKind::make_int(1));
    EXPECT_NE(TokenKind::make_int(1), TokenKind::make_int(2));
    EXPECT_NE(TokenKind::make_int(0), TokenKind::make_float(0.0));
    EXPECT_NE(TokenKind::make_ident("x"), TokenKind::make_ident("y"));
    EXPECT_NE(TokenKind::make_ident("x"), TokenKind::make_doc("x"));
    EXPECT_NE(TokenKind::make_keyword(Keyword::If), TokenKind::make_keyword(Keyword::Elif));
    EXPECT_EQ(TokenKind::make_text("a{b}"), TokenKind::make_text("a{b}"));
    EXPECT_NE(TokenKind::make_text("a"), TokenKind::make_text("{a}"));
    EXPECT_NE(TokenKind::make_text("x"), TokenKind::make_ident("x"));
    EXPECT_EQ(TokenKind(TokenKind::Newline), TokenKind(TokenKind::Newline));
    EXPECT_NE(TokenKind(TokenKind::Plus), TokenKind(TokenKind::Minus));
    EXPECT_TRUE(TokenKind::make_keyword(Keyword::Let).is_keyword(Keyword::Let));
    EXPECT_FALSE(TokenKind::make_ident("let").is_keyword(Keyword::Let));
}

StringPart lit(std::string text) { return StringPart{StringPart::Lit{std::move(text)}}; }

StringPart interp(std::string source, uint32_t col) {
    return StringPart{StringPart::Interp{std::move(source), Span{3, col}}};
}

// A literal's body read into pieces, its opening quote at line 3, column 5: the body starts at column 6.
TEST(TextParts, ResolveEscapesAndPlaceInterpolations) {
    const struct {
        std::string_view body;
        std::vector<StringPart> parts;
    } cases[] = {
        {"", {lit("")}},
        {"plain", {lit("plain")}},
        {"a{x}b", {lit("a"), interp("x", 8), lit("b")}},
        {"a{x}", {lit("a"), interp("x", 8)}},
        {"{a}{ b }", {interp("a", 7), interp(" b ", 10)}},
        {R"(\"\\\n\t\r\{\})", {lit("\"\\\n\t\r{}")}},
        {R"(\{x\}{y})", {lit("{x}"), interp("y", 12)}},
        {"é→{x}", {lit("é→"), interp("x", 9)}},
        {R"({f("}{")}!)", {interp(R"(f("}{"))", 7), lit("!")}},
        {R"({g("\"}")})", {interp(R"(g("\"}"))", 7)}},
        {"{ {k: 1}[k] }", {interp(" {k: 1}[k] ", 7)}},
    };
    for (const auto& c : cases) EXPECT_EQ(text_parts(c.body, Span{3, 5}), c.parts) << c.body;
}

// Bodies the lexer would refuse still read to an end, without reading past it.
TEST(TextParts, ReadUncheckedBodiesToTheirEnd) {
    for (const std::string_view body : {"\\", "{", "{\"", "{\"\\", "a}", "{{x}", "\\q"}) {
        const std::vector<StringPart> parts = text_parts(body, Span{1, 1});
        EXPECT_FALSE(parts.empty()) << body;
    }
}

}  // namespace
}  // namespace quellin
