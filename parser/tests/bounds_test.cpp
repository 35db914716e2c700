// The parser's growth bounds: deep nesting and long chains end in an error, never in a crash, and
// input right at the bounds still parses.

#include <gtest/gtest.h>

#include <string>

#include "parser/parser.hpp"

namespace quellin {
namespace {

const std::string too_deep =
    "this code nests too deeply (more than 256 levels) — move inner parts into functions or intermediate 'let' "
    "bindings";
const std::string too_long =
    "this expression chains too many operations (more than 1024) — split it with intermediate "
    "'let' bindings";

// `first` followed by `n` copies of `s`.
std::string repeat(const std::string& s, size_t n, const std::string& first = "") {
    std::string out = first;
    out.reserve(first.size() + s.size() * n);
    for (size_t i = 0; i < n; ++i) out += s;
    return out;
}

void expect_error(const std::string& source, const std::string& message, uint32_t line, uint32_t col) {
    const auto result = parse(source);
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().message, message);
    EXPECT_EQ(result.error().span.line, line);
    EXPECT_EQ(result.error().span.col, col);
}

constexpr size_t million = 1'000'000;
constexpr size_t lakh = 100'000;

TEST(ParserBounds, MillionNestedBracketsStopAtLevel257) {
    expect_error(repeat("(", million) + "1" + repeat(")", million), too_deep, 1, 257);
    expect_error(repeat("[", lakh) + repeat("]", lakh), too_deep, 1, 257);
    expect_error(repeat("{", lakh) + repeat("}", lakh), too_deep, 1, 257);
    expect_error(repeat("f(", lakh) + repeat(")", lakh), too_deep, 1, 2 * 257);
}

TEST(ParserBounds, LongPrefixOperatorRunsStopAtLevel257) {
    expect_error(repeat("-", lakh) + "x", too_deep, 1, 257);
    expect_error(repeat("not ", lakh) + "x", too_deep, 1, 4 * 256 + 1);
}

TEST(ParserBounds, NestingBoundItselfParses) {
    EXPECT_TRUE(parse(repeat("(", 256) + "1" + repeat(")", 256)).has_value());
    expect_error(repeat("(", 257) + "1" + repeat(")", 257), too_deep, 1, 257);
    EXPECT_TRUE(parse(repeat("List[", 256, "let x: ") + "Int" + repeat("]", 256) + " = y").has_value());
    EXPECT_TRUE(parse(repeat("fn(", 256, "let f: ") + repeat(") -> Int", 256) + " = g").has_value());
}

TEST(ParserBounds, LongChainsStopJustPastTheChainBound) {
    // 1024 operations pass; the 1025th fails at its operator. Each " + 1" is four characters.
    expect_error(repeat(" + 1", lakh, "1"), too_long, 1, 4 * 1025 - 1);
    expect_error(repeat(".a", million, "x"), too_long, 1, 2 * 1025);
    expect_error(repeat("()", lakh, "f"), too_long, 1, 2 * 1025);
    expect_error(repeat("?", lakh, "x"), too_long, 1, 1 + 1025);
    expect_error(repeat(" and x", 1025, "x"), too_long, 1, 6 * 1025 - 3);
    EXPECT_TRUE(parse(repeat(" + 1", 1024, "1")).has_value());
    EXPECT_TRUE(parse(repeat(".a", 1024, "x")).has_value());
    EXPECT_TRUE(parse(repeat("()", 1024, "f")).has_value());
    EXPECT_TRUE(parse(repeat("?", 1024, "x")).has_value());
    EXPECT_TRUE(parse(repeat(" and x", 1024, "x")).has_value());
}

// `n` operations in a row: "1 + 1 + ...".
std::string chain(size_t n) { return repeat(" + 1", n, "1"); }

// Every form that holds an expression adds one operation above it, wherever it is written, and the
// bound counts operations only: the blocks, brackets and parentheses around a chain do not count.
TEST(ParserBounds, EveryFormCountsOneOperationAndNestingCountsNone) {
    struct Form {
        const char* label;
        std::string before;
        std::string after;
    };
    const Form forms[] = {
        {"negation", "-(", ")"},
        {"not", "not (", ")"},
        {"call", "f(", ")"},
        {"call with two arguments", "f(x, ", ")"},
        {"index", "xs[", "]"},
        {"list", "[", "]"},
        {"tuple", "(0, ", ")"},
        {"map", "{0: ", "}"},
        {"set", "{", "}"},
        {"interpolation", "\"{", "}\""},
        {"construction", "P(x: ", ")"},
        {"variant", "E.V(x: ", ")"},
        {"lambda", "fn(a: Int) -> Int = ", ""},
        {"with", "p with x: ", ""},
        {"comparison", "0 < ", ""},
    };
    for (const Form& f : forms) {
        SCOPED_TRACE(f.label);
        // The form's own node makes the 1024th operation; one more inside makes a 1025th.
        const std::string at = "let y = " + f.before + chain(1023) + f.after;
        const std::string past = "let y = " + f.before + chain(1024) + f.after;
        EXPECT_TRUE(parse(at + "\n").has_value()) << parse(at + "\n").error().message;
        expect_error(past + "\n", too_long, 1, static_cast<uint32_t>(past.size()) + 1);
    }

    // Chains inside 200 nested blocks and 55 parentheses, at the bound and one past it.
    std::string blocks = "fn f(x: Int) -> Int:\n";
    for (size_t i = 1; i <= 200; ++i) blocks += repeat("    ", i) + "if x > 0:\n";
    const std::string indent = repeat("    ", 201) + "return ";
    EXPECT_TRUE(parse(blocks + indent + chain(1024) + "\n").has_value());
    EXPECT_TRUE(parse(blocks + indent + repeat("(", 55) + chain(1024) + repeat(")", 55) + "\n").has_value());
    expect_error(blocks + indent + chain(1025) + "\n", too_long, 202,
                 static_cast<uint32_t>(indent.size()) + 4 * 1025 - 1);
}

// Chains in the leftmost operand of an enclosing chain end up below all of its nodes, so the bound
// counts the height of what was built, not just the operators seen at one level.
TEST(ParserBounds, ChainsNestedInLeftOperandsCountTowardTheBound) {
    std::string source = "1";
    for (int i = 0; i < 200; ++i) source = "(" + source + repeat(" + 1", 10) + ")";
    const auto result = parse(source);
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().message, too_long);
}

TEST(ParserBounds, NestedBlocksStopAtLevel257) {
    std::string source;
    for (size_t i = 0; i < 300; ++i) source += repeat("    ", i) + "if x:\n";
    source += repeat("    ", 300) + "y\n";
    // The 257th block opens at the ':' of the 257th 'if', indented by 256 levels.
    expect_error(source, too_deep, 257, 4 * 256 + 5);
}

TEST(ParserBounds, DeepTypesAndPatternsStopAtLevel257) {
    // Each 'List[' opens one level, at its bracket.
    expect_error(repeat("List[", 1000, "let x: ") + "Int" + repeat("]", 1000), too_deep, 1, 8 + 5 * 256 + 4);
    const std::string arm = repeat("Some(", 1000, "match v:\n    case ") + "x" + repeat(")", 1000) + ":\n        y\n";
    expect_error(arm, too_deep, 2, 10 + 5 * 256);
}

// The parser of an interpolation continues the nesting of the expression around it, and reports
// on the host line.
TEST(ParserBounds, InterpolationInheritsTheNesting) {
    const std::string host = repeat("(", 250, "x = ");
    const std::string source = host + "\"{" + repeat("(", 10) + "1" + repeat(")", 10) + "}\"" + repeat(")", 250);
    // 250 parentheses, the interpolation, then inner parentheses up to level 257.
    const uint32_t inner_start = static_cast<uint32_t>(host.size()) + 3;
    expect_error(source, too_deep, 1, inner_start + 5);
}

}  // namespace
}  // namespace quellin
