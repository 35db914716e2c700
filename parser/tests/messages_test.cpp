// Parser messages in texts too large to write out: a lexical error far down the text outranks an
// earlier parse error. The parser's messages and positions are file tests in parser/tests/files/.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "parser/parser.hpp"

namespace quellin {
namespace {

struct ErrorCase {
    std::string source;
    std::string message;
    uint32_t line;
    uint32_t col;
};

void expect_errors(const std::vector<ErrorCase>& cases) {
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.source);
        const auto result = parse(c.source);
        ASSERT_FALSE(result.has_value());
        EXPECT_EQ(result.error().message, c.message);
        EXPECT_EQ(result.error().span.line, c.line);
        EXPECT_EQ(result.error().span.col, c.col);
    }
}

// The text is lexed while it is parsed, yet a lexical error anywhere outranks a parse error before
// it, as if the whole text had been lexed first; a parse error alone is still found far down.
TEST(ParserMessages, LexicalErrorsOutrankEarlierParseErrors) {
    std::string lines;
    for (int i = 0; i < 3000; ++i) lines += "let v" + std::to_string(i) + " = [" + std::to_string(i) + ", 2]\n";
    std::string megabyte;  // past the size from which the text is lexed as the parser reads it
    while (megabyte.size() <= (std::size_t{1} << 20)) megabyte += lines;
    const std::string tab_message =
        "tab character in indentation — QUELLIN indentation is exactly 4 spaces per level, tabs are not allowed";
    expect_errors({
        {"while x\n    y\n" + lines + "\tx\n", tab_message, 3003, 1},
        {lines + "while x\n    y\n" + lines + "\tx\n", tab_message, 6003, 1},
        {"while x:\n    y(\n" + lines + "\tx\n",
         "tab character — tabs are not allowed in QUELLIN source (use spaces; strings may contain \\t)", 3003, 1},
        {lines + "while x\n    y\n" + lines, "expected Colon ':' to start the block, found Newline", 3001, 8},
        {"while x\n    y\n" + megabyte + "\tx\n", tab_message, 51003, 1},
        {megabyte + "while x\n    y\n" + megabyte, "expected Colon ':' to start the block, found Newline", 51001, 8},
    });
}

}  // namespace
}  // namespace quellin
