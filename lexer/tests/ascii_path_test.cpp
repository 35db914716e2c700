#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "lex_text.hpp"
#include "lexer/lexer.hpp"

namespace quellin {
namespace {

using testing::lex;

// Plain ASCII input is lexed from its bytes, anything else from decoded characters. A comment line
// holding one non-ASCII character sends the same code down the other road, so both must agree on every
// token, payload, position and error after it.
TEST(AsciiPath, AgreesWithTheDecodedPath) {
    constexpr std::string_view kSources[] = {
        "fn main() -> Void:\n    let x = 1_000 + 0x1F * 2.5\n    print(\"a{x}b\\n\")\n",
        "record P:\n    x: Int\n/// doc text\nenum E:\n    A\n    B(v: Int)\n",
        "let s = \"{ \"{\" } and {a.b(c)}\"\nmatch s:\n    case _:\n        pass\n",
        "let averylongidentifiernamethatisnotakeyword = true and false or not truex\n",
        "f(1,\n  2)\n  [3]\n",
        "let x = 1e5\n",
        "let x = 99999999999999999999\n",
        "  let x = 1\n",
        "fn f():\n            g()\n",
        "\tx\n",
        "x\ty\n",
        "x = !y\n",
        "let s = \"abc\n",
        "let s = \"\\q\"\n",
        "let s = \"{  }\"\n",
        "let s = \"a}\"\n",
        "let s = \"{a\n",
        "x = y @ z\n",
    };
    for (const std::string_view source : kSources) {
        const std::string ascii = "// plain\n" + std::string(source);
        const std::string decoded = "// pl\xC3\xA9in\n" + std::string(source);
        EXPECT_EQ(lex(ascii), lex(decoded)) << source;
    }
}

}  // namespace
}  // namespace quellin
