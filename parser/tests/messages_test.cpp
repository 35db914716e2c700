// Every parser message, with the position it is reported at.

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

TEST(ParserMessages, BlocksAndDocComments) {
    expect_errors({
        {"if x = 1:\n    y\n",
         "found '=' where ':' was expected — assignment is a statement in QUELLIN; use '==' to compare values", 1, 6},
        {"while x\n    y\n", "expected Colon ':' to start the block, found Newline", 1, 8},
        {"while x: y\n",
         "expected Newline after ':' — QUELLIN blocks always start on the next line, indented by 4 spaces, found "
         "Ident(y)",
         1, 10},
        {"while x:\ny\n",
         "expected Indent — expected an indented block (4 spaces); empty blocks are not allowed, found Ident(y)", 2, 1},
        {"/// doc\nlet x = 1\n",
         "doc comments (///) must be followed by a function, record, or enum declaration, found Keyword(let)", 2, 1},
        {"fn f[T, T]() -> Void:\n    return\n", "type parameter 'T' is declared twice", 1, 10},
        {"fn f[T,]() -> Void = 1\n",
         "expected a type parameter name — generic declarations are 'name[T, U]', found RBracket ']'", 1, 8},
        {"fn f[T() -> Void = 1\n", "expected RBracket ']' to close the type parameter list, found LParen '('", 1, 7},
    });
}

TEST(ParserMessages, Functions) {
    expect_errors({
        {"pub fn f() -> Int = 1\n",
         "public function 'f' is missing its doc comment — QUELLIN requires /// documentation on public items", 1, 9},
        {"fn f() -> Int\n", "expected ':' for a block body or '=' for an expression body, found Newline", 1, 14},
        {"fn f()\n",
         "expected Arrow '->' after the parameter list — every function declares its return type explicitly, e.g. "
         "'-> Void', found Newline",
         1, 7},
        {"pub let x = 1\n", "expected keyword 'fn' to declare a function, found Keyword(let)", 1, 5},
        {"async record R:\n    x: Int\n", "expected keyword 'fn' to declare a function, found Keyword(record)", 1, 7},
        {"fn (x: Int) -> Int = x\n", "expected a function name after 'fn', found LParen '('", 1, 4},
        {"fn f -> Int = 1\n", "expected LParen '(' after the function name, found Arrow '->'", 1, 6},
        {"fn f(1) -> Int = 1\n", "expected a parameter name, found Int(1)", 1, 6},
        {"fn f(x Int) -> Int = x\n",
         "expected Colon ':' after the parameter name — every parameter declares its type as 'name: Type', found "
         "Ident(Int)",
         1, 8},
        {"fn f(x: Int -> Int = x\n", "expected RParen ')' to close the parameter list, found Arrow '->'", 1, 13},
        {"fn f() -> Int = 1 2\n", "expected Newline to end the expression-body function, found Int(2)", 1, 19},
    });
}

TEST(ParserMessages, Records) {
    expect_errors({
        {"pub record P:\n    x: Int\n",
         "public record 'P' is missing its doc comment — QUELLIN requires /// documentation on public items", 1, 13},
        {"pub record P[T]:\n    x: T\n",
         "public record 'P' is missing its doc comment — QUELLIN requires /// documentation on public items", 1, 16},
        {"record 1\n", "expected a record name after 'record', found Int(1)", 1, 8},
        {"record P\n", "expected Colon ':' to start the record body, found Newline", 1, 9},
        {"record P: x\n",
         "expected Newline after ':' — record fields start on the next line, indented by 4 spaces, found Ident(x)", 1,
         11},
        {"record P:\nx: Int\n",
         "expected Indent — expected indented record fields ('name: Type', one per line), found Ident(x)", 2, 1},
        {"record P:\n    1\n", "expected a field name, found Int(1)", 2, 5},
        {"record P:\n    x Int\n",
         "expected Colon ':' after the field name — record fields are 'name: Type', found Ident(Int)", 2, 7},
        {"record P:\n    x: Int y\n", "expected Newline to end the field, found Ident(y)", 2, 12},
    });
}

TEST(ParserMessages, Enums) {
    expect_errors({
        {"pub enum E[T]:\n    A\n",
         "public enum 'E' is missing its doc comment — QUELLIN requires /// documentation on public items", 1, 14},
        {"enum 1\n", "expected an enum name after 'enum', found Int(1)", 1, 6},
        {"enum E\n", "expected Colon ':' to start the enum body, found Newline", 1, 7},
        {"enum E: A\n",
         "expected Newline after ':' — enum variants start on the next line, indented by 4 spaces, found Ident(A)", 1,
         9},
        {"enum E:\nA\n", "expected Indent — expected indented enum variants, one per line, found Ident(A)", 2, 1},
        {"enum E:\n    1\n", "expected a variant name, found Int(1)", 2, 5},
        {"enum E:\n    A()\n", "unit variants are written without parentheses", 2, 8},
        {"enum E:\n    A(1)\n", "expected a field name, found Int(1)", 2, 7},
        {"enum E:\n    A(x Int)\n",
         "expected Colon ':' after the field name — variant payloads are 'name: Type', found Ident(Int)", 2, 9},
        {"enum E:\n    A(x: Int B)\n", "expected RParen ')' to close the variant payload, found Ident(B)", 2, 14},
        {"enum E:\n    A B\n", "expected Newline to end the variant, found Ident(B)", 2, 7},
    });
}

TEST(ParserMessages, StatementStarts) {
    expect_errors({
        {"else:\n    x\n",
         "'else' without a matching 'if' — 'elif'/'else' must follow an 'if' block at the same indentation", 1, 1},
        {"elif y:\n    x\n",
         "'elif' without a matching 'if' — 'elif'/'else' must follow an 'if' block at the same indentation", 1, 1},
        {"in x\n", "unexpected keyword 'in' at statement start", 1, 1},
        {"and\n", "unexpected keyword 'and' at statement start", 1, 1},
        {"or\n", "unexpected keyword 'or' at statement start", 1, 1},
        {"with x\n", "unexpected keyword 'with' at statement start", 1, 1},
        {"module x\n", "'module' is reserved but not yet supported in QUELLIN v0.1", 1, 1},
        {"trait T:\n", "'trait' is reserved but not yet supported in QUELLIN v0.1", 1, 1},
        {"fn f() -> Void:\n    intent x\n", "'intent' is reserved but not yet supported in QUELLIN v0.1", 2, 5},
        {"case 1:\n    x\n", "'case' outside 'match' — case arms live indented under 'match subject:'", 1, 1},
        {"    x\n", "expected an expression, found Indent", 1, 5},
    });
}

TEST(ParserMessages, SimpleStatements) {
    expect_errors({
        {"let x\n",
         "expected Assign '=' after the declared name — every declaration initializes its value, found Newline", 1, 6},
        {"let 1 = 2\n", "expected a name after 'let'/'mut', found Int(1)", 1, 5},
        {"mut x = 1 2\n", "expected Newline to end the declaration, found Int(2)", 1, 11},
        {"return 1 2\n", "expected Newline to end the return statement, found Int(2)", 1, 10},
        {"break 1\n", "expected Newline after 'break', found Int(1)", 1, 7},
        {"continue x\n", "expected Newline after 'continue', found Ident(x)", 1, 10},
        {"assert x y\n", "expected Newline to end the assert statement, found Ident(y)", 1, 10},
        {"import 1\n", "expected a module name after 'import' — 'import utils' loads utils.qn, found Int(1)", 1, 8},
        {"import a b\n", "expected Newline to end the import, found Ident(b)", 1, 10},
        {"for 1 in x:\n    y\n", "expected a loop variable name after 'for', found Int(1)", 1, 5},
        {"for x of y:\n    y\n", "expected keyword 'in' between the loop variable and the iterable, found Ident(of)", 1,
         7},
        {"x y\n", "expected Newline to end the statement, found Ident(y)", 1, 3},
        {"x = 1 2\n", "expected Newline to end the assignment, found Int(2)", 1, 7},
        {"not x = 1\n", "expected Newline to end the statement, found Assign '='", 1, 7},
        {"f(x) = 1\n",
         "cannot assign to this expression — assignment targets are names, fields (a.b), or index slots (a[i])", 1, 6},
        {"x += 1\n", "expected an expression, found Assign '='", 1, 4},
    });
}

TEST(ParserMessages, MatchAndTest) {
    expect_errors({
        {"match x\n", "expected Colon ':' to start the match block, found Newline", 1, 8},
        {"match x: case\n",
         "expected Newline after ':' — case arms start on the next line, indented by 4 spaces, found Keyword(case)", 1,
         10},
        {"match x:\ncase 1:\n", "expected Indent — expected indented 'case pattern:' arms, found Keyword(case)", 2, 1},
        {"match x:\n    x = 1\n",
         "expected keyword 'case' — every match arm starts with 'case pattern:', found Ident(x)", 2, 5},
        {"match x:\n    case 1: y\n",
         "expected Newline after ':' — QUELLIN blocks always start on the next line, indented by 4 spaces, found "
         "Ident(y)",
         2, 13},
        {"test name:\n    x\n", "expected a test name after 'test' — 'test \"what it does\":' — found Ident(name)", 1,
         6},
        {"test \"\":\n    x\n", "test names describe the behavior under test — write 'test \"what it does\":'", 1, 6},
        {"test \"a {x}\":\n    x\n", "test names are plain text — interpolation is not allowed here", 1, 6},
        {"test \"{x}\":\n    x\n", "test names are plain text — interpolation is not allowed here", 1, 6},
    });
}

TEST(ParserMessages, Operators) {
    expect_errors({
        {"a < b < c\n", "comparison chaining like 'a < b < c' is not allowed — write 'a < b and b < c'", 1, 7},
        {"a == b == c\n", "comparison chaining like 'a < b < c' is not allowed — write 'a < b and b < c'", 1, 8},
        {"a != b >= c\n", "comparison chaining like 'a < b < c' is not allowed — write 'a < b and b < c'", 1, 8},
        {"1 + not x\n", "unexpected keyword 'not' in an expression", 1, 5},
        {"-not x\n", "unexpected keyword 'not' in an expression", 1, 2},
        {"x = if\n", "unexpected keyword 'if' in an expression", 1, 5},
        {")\n", "expected an expression, found RParen ')'", 1, 1},
        {"x = 1 +\n", "expected an expression, found Newline", 1, 8},
        {"p with x: 1 with y: 2\n",
         "one 'with' clause per expression — combine the fields:                  'point with x: 1, y: 2'", 1, 13},
        {"p with 1\n", "expected a field name after 'with', found Int(1)", 1, 8},
        {"p with x: 1,\n", "expected a field name after 'with', found Newline", 1, 13},
        {"p with x 1\n", "expected Colon ':' after the field name — 'with field: value', found Int(1)", 1, 10},
    });
}

TEST(ParserMessages, Collections) {
    expect_errors({
        {"(1 2)\n", "expected RParen ')' to close the parenthesized expression, found Int(2)", 1, 4},
        {"(1, 2 3)\n", "expected RParen ')' to close the tuple literal, found Int(3)", 1, 7},
        {"[1 2]\n", "expected RBracket ']' to close the list literal, found Int(2)", 1, 4},
        {"{1: 2 3}\n", "expected RBrace '}' to close the map literal, found Int(3)", 1, 7},
        {"{1: 2, 3 4}\n", "expected Colon ':' between the map key and its value, found Int(4)", 1, 10},
        {"{1, 2: 3}\n", "expected RBrace '}' to close the set literal, found Colon ':'", 1, 6},
        {"[1,\n  2\n", "expected RBracket ']' to close the list literal, found Newline", 3, 1},
    });
}

TEST(ParserMessages, PostfixAndConstruction) {
    expect_errors({
        {"a.1\n", "expected a field or method name after '.', found Int(1)", 1, 3},
        {"a[1 2]\n", "expected RBracket ']' to close the index, found Int(2)", 1, 5},
        {"f(1 2)\n", "expected RParen ')' to close the argument list, found Int(2)", 1, 5},
        {"f(a, b: 1)\n", "expected RParen ')' to close the argument list, found Colon ':'", 1, 7},
        {"f(x)(y: 1)\n",
         "named arguments construct records or enum variants — write 'Name(field: ...)' or 'Enum.Variant(field: ...)'",
         1, 6},
        {"a.b.c.d(y: 1)\n",
         "named arguments construct records or enum variants — write 'Name(field: ...)' or 'Enum.Variant(field: ...)'",
         1, 9},
        {"P(x: 1 2)\n", "expected RParen ')' to close the named-field list, found Int(2)", 1, 8},
        {"P(x: 1, 2)\n", "expected a field name, found Int(2)", 1, 9},
        {"P(x: 1, y 2)\n", "expected Colon ':' after the field name — named fields are 'name: value', found Int(2)", 1,
         11},
    });
}

TEST(ParserMessages, Lambdas) {
    expect_errors({
        {"let f = fn add(x: Int) -> Int = x\n",
         "lambdas have no name — declare 'add' as a top-level function, or drop the name: 'fn(x: Int) -> Int = ...'", 1,
         12},
        {"g(fn add(x: Int) -> Int = x)\n",
         "lambdas have no name — declare 'add' as a top-level function, or drop the name: 'fn(x: Int) -> Int = ...'", 1,
         6},
        {"map(xs, fn(x: Int) -> Int: x)\n",
         "a block-bodied lambda can only be the entire right side of a binding — write 'let f = fn(...) -> T:' with an "
         "indented block, or use '= expr' here",
         1, 26},
        {"let f = g(fn(x: Int) -> Int:\n    x)\n",
         "a block-bodied lambda can only be the entire right side of a binding — write 'let f = fn(...) -> T:' with an "
         "indented block, or use '= expr' here",
         1, 28},
        {"g(fn[)\n",
         "expected LParen '(' after 'fn' — lambdas are 'fn(name: Type, ...) -> Ret = expr', found LBracket '['", 1, 5},
        {"g(fn(x: Int = x)\n", "expected RParen ')' to close the lambda parameters, found Assign '='", 1, 13},
        {"g(fn(x: Int) = x)\n",
         "expected Arrow '->' after the parameters — lambdas declare their return type explicitly, e.g. '-> Int', "
         "found Assign '='",
         1, 14},
        {"g(fn(x: Int) -> Int x)\n",
         "expected Assign '=' before the lambda body — 'fn(x: Int) -> Int = x * 2', found Ident(x)", 1, 21},
        {"let f = fn(x: Int) -> Int x\n",
         "expected Assign '=' before the lambda body — 'fn(x: Int) -> Int = x * 2', found Ident(x)", 1, 27},
        {"let f = fn(x: Int) -> Int = x y\n", "expected Newline to end the declaration, found Ident(y)", 1, 31},
        {"let f = fn(x: Int) -> Int:\n    return x y\n", "expected Newline to end the return statement, found Ident(y)",
         2, 14},
    });
}

TEST(ParserMessages, Interpolation) {
    expect_errors({
        {"let s = \"ab{a b}\"\n", "unexpected Ident(b) after the expression in a string interpolation", 1, 15},
        {"let s = \"{1 +}\"\n", "expected an expression, found Newline", 1, 14},
        {"let s = \"x{a ! b}\"\n",
         "in string interpolation: unexpected '!' — QUELLIN uses 'not' for logical negation and '!=' for inequality", 1,
         14},
        {"f(\"{x}\", \"{y.}\")\n", "expected a field or method name after '.', found Newline", 1, 14},
        {"x = \"{\"a{1 +}\"}\"\n", "expected an expression, found Newline", 1, 13},
    });
}

TEST(ParserMessages, Patterns) {
    const std::string head = "match v:\n    case ";
    expect_errors({
        {head + "-x:\n        y\n", "expected an integer literal after '-' in this pattern, found Ident(x)", 2, 11},
        {head + "1.5:\n        y\n",
         "expected a pattern (literal, name, '_', Some/None/Ok/Err, or a record), found Float(1.5)", 2, 10},
        {head + "Some():\n        y\n",
         "expected a pattern (literal, name, '_', Some/None/Ok/Err, or a record), found RParen ')'", 2, 15},
        {head + "Color.Red():\n        y\n", "unit variants are written without parentheses — 'case Color.Red:'", 2,
         20},
        {head + "geo.Color.Red():\n        y\n", "unit variants are written without parentheses — 'case Color.Red:'", 2,
         24},
        {head + "\"a{x}\":\n        y\n", "text patterns cannot contain interpolation — match against a plain literal",
         2, 16},
        {head + "Color.1:\n        y\n", "expected a variant name after '.', found Int(1)", 2, 16},
        {head + "geo.Color.1:\n        y\n", "expected a variant name after '.', found Int(1)", 2, 20},
        {head + "Shape.Circle(1):\n        y\n", "expected a field name, found Int(1)", 2, 23},
        {head + "Shape.Circle(radius r):\n        y\n", "expected Colon ':' after the field name, found Ident(r)", 2,
         30},
        {head + "Shape.Circle(radius: r y):\n        y\n",
         "expected RParen ')' to close the variant pattern, found Ident(y)", 2, 33},
        {head + "Point(x: 1 y):\n        y\n", "expected RParen ')' to close the record pattern, found Ident(y)", 2,
         21},
        {head + "Some(x y):\n        y\n", "expected RParen ')' to close the constructor pattern, found Ident(y)", 2,
         17},
        {head + "x if:\n        y\n", "expected an expression, found Colon ':'", 2, 14},
    });
}

TEST(ParserMessages, Types) {
    expect_errors({
        {"let f: fn(Int) = g\n",
         "expected Arrow '->' after the parameters — function types declare their result: 'fn(Int) -> Bool', found "
         "Assign '='",
         1, 16},
        {"let f: fn Int = g\n",
         "expected LParen '(' after 'fn' — function types mirror declarations: 'fn(ParamTypes) -> Ret', found "
         "Ident(Int)",
         1, 11},
        {"let f: fn(Int Text) -> Int = g\n",
         "expected RParen ')' to close the function-type parameters, found Ident(Text)", 1, 15},
        {"let x: List[] = []\n", "expected a type name, found RBracket ']'", 1, 13},
        {"let x: 1 = 1\n", "expected a type name, found Int(1)", 1, 8},
        {"let x: geo.1 = 1\n", "expected a type name after '.', found Int(1)", 1, 12},
        {"let x: Map[Int Text] = m\n", "expected RBracket ']' to close the type arguments, found Ident(Text)", 1, 16},
        {"let x: geo.Pair[Int,] = p\n", "expected a type name, found RBracket ']'", 1, 21},
        {"let x: geo.Pair[Int Text] = p\n", "expected RBracket ']' to close the type arguments, found Ident(Text)", 1,
         21},
    });
}

TEST(ParserMessages, EndOfInput) {
    expect_errors({
        {"let x = (1", "expected RParen ')' to close the parenthesized expression, found Newline", 1, 11},
        {"/// doc", "doc comments (///) must be followed by a function, record, or enum declaration, found Eof", 1, 8},
    });
}

// A token quoted in a message shows control characters escaped, the C1 ones (U+0080 to U+009F)
// included, so that no message carries a raw control character to a terminal or an editor.
TEST(ParserMessages, QuotedTokensEscapeControlCharacters) {
    expect_errors({
        {"let x = 1 \"a\u0085b\"\n", "expected Newline to end the declaration, found Text(\"a\\u{85}b\")", 1, 11},
        {"let x = 1 \"\u0080{y}\u009f\u00a0\"\n",
         "expected Newline to end the declaration, found Text(\"\\u{80}\" + {y} + \"\\u{9f}\u00a0\")", 1, 11},
        {"let x = 1 /// a\u0085b\u009c\n",
         "expected Newline to end the declaration, found DocComment(\"a\\u{85}b\\u{9c}\")", 1, 11},
        {"let x = 1 /// \x01\x7f\u00e9\n",
         "expected Newline to end the declaration, found DocComment(\"\\u{1}\\u{7f}\u00e9\")", 1, 11},
    });
}

TEST(ParserMessages, LexerErrorsPassThroughUnchanged) {
    expect_errors({
        {"  let s = 1\n",
         "indentation of 2 space(s) — QUELLIN has exactly one canonical indentation: 4 spaces per level", 1, 3},
    });
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
