#include "lsp/hover.hpp"

#include <gtest/gtest.h>

#include "parser/parser.hpp"

namespace quellin::lsp {
namespace {

TEST(WordAt, FindsTheNameUnderOrJustBeforeTheCursor) {
    struct Case {
        const char* text;
        uint64_t line, character;
        std::optional<std::string> word;
    };
    const Case cases[] = {
        {"let x = greet(name)", 0, 8, "greet"},
        {"let x = greet(name)", 0, 12, "greet"},
        {"let x = greet(name)", 0, 13, "greet"},  // on '(' just after the name
        {"let x = greet(name)", 0, 19, "name"},   // one past the end, on ')', steps back
        {"x = greet", 0, 9, "greet"},              // one past the end of the line
        {"x = greet", 0, 10, std::nullopt},        // further than that
        {"a  b", 0, 2, std::nullopt},              // between two spaces
        {"a b", 0, 1, "a"},                        // on a space right after a word
        {"util.shout(x)", 0, 7, "util.shout"},
        {"util.shout(x)", 0, 2, "util.shout"},
        {".shout.", 0, 3, "shout"},                // dots at either end are dropped
        {"x = ...", 0, 5, std::nullopt},           // nothing but dots
        {"let n = 42", 0, 9, std::nullopt},        // numbers are not names
        {"let n = 4x", 0, 9, std::nullopt},
        {"let x_1 = 0", 0, 5, "x_1"},
        {"first\nsecond", 1, 2, "second"},
        {"first\r\nsecond", 0, 5, "first"},        // the carriage return stays on its line
        {"first\r\nsecond", 0, 6, "first"},
        {"first\n", 1, 0, std::nullopt},           // the empty last line exists but holds nothing
        {"first\n", 2, 0, std::nullopt},
        {"", 0, 0, std::nullopt},
        {"\xC3\xA9\xC3\xA9 go", 0, 3, "go"},       // characters, not bytes
        {"\xC3\xA9\xC3\xA9 go", 0, 5, "go"},
        {"\xC3\xA9 go", 0, 0, std::nullopt},
        {"\xF0\x9F\x98\x80x", 0, 1, "x"},          // a character outside the BMP counts once
        {"go", 18446744073709551615ull, 0, std::nullopt},
        {"go", 0, 18446744073709551615ull, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " @" + std::to_string(c.line) + ":" + std::to_string(c.character));
        EXPECT_EQ(word_at(c.text, c.line, c.character), c.word);
    }
}

const ast::StmtKind::FnDecl& only_function(const ast::Program& program) {
    const auto* fn = ast::as<ast::StmtKind::FnDecl>(program.stmts.front());
    EXPECT_NE(fn, nullptr);
    return *fn;
}

TEST(Signature, RendersTypesAsWrittenWithCanonicalSpacing) {
    struct Case {
        const char* source;
        const char* signature;
    };
    const Case cases[] = {
        {"fn greet(name: Text) -> Text = name\n", "fn greet(name: Text) -> Text"},
        {"fn f() -> Void:\n    return\n", "fn f() -> Void"},
        {"fn first[T](xs: List[T]) -> Option[T] = xs\n", "fn first[T](xs: List[T]) -> Option[T]"},
        {"fn pair[A,B](a: A,b: B,) -> Tuple[A,B] = a\n", "fn pair[A, B](a: A, b: B) -> Tuple[A, B]"},
        {"fn apply(f: fn(Int,Int)->Int, m: Map[Text, List[Int]]) -> fn() -> Bool = f\n",
         "fn apply(f: fn(Int, Int) -> Int, m: Map[Text, List[Int]]) -> fn() -> Bool"},
        {"async fn load(p: geo.Point, b: geo.Box[Int]) -> Result[Text, Text] = p\n",
         "fn load(p: geo.Point, b: geo.Box[Int]) -> Result[Text, Text]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        const auto program = parse(c.source);
        ASSERT_TRUE(program.has_value()) << program.error().message;
        EXPECT_EQ(signature(only_function(*program), only_function(*program).name), c.signature);
    }
}

TEST(HoverText, CodeBlockThenTheTrimmedDocComment) {
    const auto program = parse(
        "///   Says hello.\n"
        "/// Twice, if asked.  \n"
        "pub fn greet(name: Text) -> Text = name\n");
    ASSERT_TRUE(program.has_value()) << program.error().message;
    const ast::StmtKind::FnDecl& fn = only_function(*program);
    ASSERT_TRUE(fn.doc.has_value());
    EXPECT_EQ(hover_text(fn, "util.greet"),
              "```quellin\nfn util.greet(name: Text) -> Text\n```\n\nSays hello.\nTwice, if asked.");

    const auto undocumented = parse("fn quiet() -> Void = ()\n");
    ASSERT_TRUE(undocumented.has_value()) << undocumented.error().message;
    EXPECT_EQ(hover_text(only_function(*undocumented), "quiet"), "```quellin\nfn quiet() -> Void\n```");
}

TEST(HoverText, PlainTextIsTheSameWithoutTheCodeFence) {
    const auto program = parse("/// Says hello.\n///\n/// Twice.\npub fn greet(name: Text) -> Text = name\n");
    ASSERT_TRUE(program.has_value()) << program.error().message;
    EXPECT_EQ(hover_text(only_function(*program), "greet", HoverFormat::Plaintext),
              "fn greet(name: Text) -> Text\n\nSays hello.\n\nTwice.");

    const auto undocumented = parse("fn quiet() -> Void = ()\n");
    ASSERT_TRUE(undocumented.has_value()) << undocumented.error().message;
    EXPECT_EQ(hover_text(only_function(*undocumented), "quiet", HoverFormat::Plaintext), "fn quiet() -> Void");
}

}  // namespace
}  // namespace quellin::lsp
