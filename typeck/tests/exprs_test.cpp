// Expression checking: names, literals, collections, `with`, operators, lambdas, indexing, field access,
// constructions as routed to their checks, and `?`.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "check_helpers.hpp"

namespace quellin::typeck {
namespace {

using testing::ErrorCase;
using testing::expect_check;
using testing::ModuleErrorCase;

const std::string kPoint = "record P:\n    x: Int\n    y: Int\n";
const std::string kColor = "enum Color:\n    Red\n    Green\n";

TEST(Exprs, Names) {
    const ErrorCase cases[] = {
        {"let x: Option[Int] = None\nlet y: Int = x\n", "expected Int, found Option[Int]", 2, 14},
        {"let x = None\n",
         "cannot infer the type of 'None' here — annotate the target, e.g. 'let x: Option[Int] = None'", 1, 9},
        {"let x: Int = None\n", "'None' is an Option value, but Int is expected here", 1, 14},
        {"let f = print\n", "'print' is a builtin, not a value — call print(...)", 1, 9},
        {"let f = Some\n", "'Some' is a constructor — call it with a value: Some(...)", 1, 9},
        {kColor + "let c = Color\n", "'Color' is an enum — write one of its variants: Color.Red, Color.Green", 4, 9},
        {kPoint + "let p = P\n", "unknown name 'P'", 4, 9},
        {"let y = zzz\n", "unknown name 'zzz'", 1, 9},
        {"fn inc(x: Int) -> Int = x + 1\nlet f = inc\nlet n: Int = f\n", "expected Int, found fn(Int) -> Int", 3, 14},
        {"fn inc(x: Int) -> Int = x + 1\nlet f: fn(Int) -> Int = inc\nlet n: Int = f(2)\n", "", 0, 0},
        {"fn id[T](x: T) -> T = x\nlet f = id\n",
         "generic 'id' has no single type — call it directly, or wrap it: fn(x: Int) -> Int = id(x)", 2, 9},
        {"let x = 1\nfn f() -> Int = x\n",
         "'x' is a top-level variable — functions only see their parameters and locals in QUELLIN; pass it as a "
         "parameter",
         2, 17},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(Exprs, LiteralsAndInterpolation) {
    const ErrorCase cases[] = {
        {"fn f() -> Int = 1\nlet t = \"{f}\"\n",
         "cannot interpolate a function value — call it and interpolate the result", 2, 11},
        {"fn v() -> Void = print(\"x\")\nlet t = \"a{v()}\"\n",
         "cannot interpolate a Void value — this expression produces no value", 2, 12},
        {"let xs = [1, 2]\nlet t: Text = \"{xs} and {xs.len()}\"\n", "", 0, 0},
        {"let t = \"{1 + true}\"\n", "expected Int, found Bool", 1, 15},
        {"let f: Float = 1\n", "expected Float, found Int", 1, 16},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(Exprs, Collections) {
    const ErrorCase cases[] = {
        {"let xs = [1, \"a\"]\n", "expected Int, found Text", 1, 14},
        {"let xs: List[Text] = []\n", "", 0, 0},
        {"let xs: List[Text] = [1]\n", "expected Text, found Int", 1, 23},
        {"let xss: List[List[Int]] = [[], [1]]\n", "", 0, 0},
        {"let xs: List[Option[Int]] = [None, Some(1)]\n", "", 0, 0},
        {"let xs = [None]\n",
         "cannot infer the type of 'None' here — annotate the target, e.g. 'let x: Option[Int] = None'", 1, 11},
        {"let m = {}\n",
         "cannot infer the type of an empty map '{}' — annotate the target, e.g. 'let m: Map[Text, Int] = {}'", 1, 9},
        {"let m: Map[Text, Int] = {}\n", "", 0, 0},
        {"let m: Map[Text, List[Int]] = {\"a\": []}\n", "", 0, 0},
        {"let m = {\"a\": 1, \"b\": \"c\"}\n", "expected Int, found Text", 1, 23},
        {"let m = {\"a\": 1, 2: 3}\n", "expected Text, found Int", 1, 18},
        {"let m: Map[Text, Int] = {1: 2}\n", "expected Text, found Int", 1, 26},
        {"let s = {1, \"a\"}\n", "expected Int, found Text", 1, 13},
        {"let s: Set[Text] = {1}\n", "expected Text, found Int", 1, 21},
        {"let t: Tuple[Int, Text] = (1, \"a\")\n", "", 0, 0},
        {"let t: Tuple[Int, Text] = (1, 2)\n", "expected Text, found Int", 1, 31},
        {"let t: Tuple[Option[Int], Int] = (None, 1)\n", "", 0, 0},
        {"let t: Tuple[Int, Text] = (1, \"a\", 2)\n", "expected Tuple[Int, Text], found Tuple[Int, Text, Int]", 1,
         27},
        {"let l: List[Int] = {1}\n", "expected List[Int], found Set[Int]", 1, 20},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(Exprs, With) {
    const std::string p = kPoint + "let p = P(x: 1, y: 2)\n";
    const ErrorCase cases[] = {
        {p + "let q = p with x: 1, x: 2\n", "field 'x' is listed twice in this 'with'", 5, 9},
        {p + "let q = p with z: 1\n", "P has no field 'z' — its fields are: x, y", 5, 9},
        {"let q = 3 with x: 1\n",
         "'with' updates records, found Int — enums are rebuilt via their variants, collections via their methods", 1,
         9},
        {kColor + "let c = Color.Red\nlet d = c with x: 1\n",
         "'with' updates records, found Color — enums are rebuilt via their variants, collections via their methods",
         5, 9},
        {p + "let q = p with y: \"a\"\n", "expected Int, found Text", 5, 19},
        {p + "let q = p with y: 5, x: 0\nlet n: Int = q.y\nlet r: P = q\n", "", 0, 0},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(Exprs, Operators) {
    const ErrorCase cases[] = {
        {"let b = -true\n", "'-' negates Int or Float, found Bool", 1, 10},
        {"let b = not 1\n", "expected Bool, found Int", 1, 13},
        {"let f = -1.5\nlet g: Float = f\nlet n: Int = - -3\nlet b: Bool = not not true\n", "", 0, 0},
        {"let a = \"x\"\nlet b = a + a\n",
         "there is no '+' on Text — concatenate with interpolation: \"{a}{b}\"", 2, 9},
        {"let a = \"x\" < \"y\"\nlet b: Bool = a\n", "", 0, 0},
        {"let c = [1] < [2]\n", "operator '<' compares Int, Float, or Text values, found List[Int]", 1, 9},
        {"let c = true >= false\n", "operator '>=' compares Int, Float, or Text values, found Bool", 1, 9},
        {"fn f() -> Int = 1\nfn g() -> Int = 2\nlet e = f == g\n",
         "function values cannot be compared — compare the results of calling them instead", 3, 9},
        {"fn f() -> Int = 1\nlet e = f() != 2\nlet l = [1] == [1]\n", "", 0, 0},
        {"let t = \"a\"\nlet e = 1 == t\n", "expected Int, found Text", 2, 14},
        {"let x = 1 + 2.0\n", "expected Int, found Float", 1, 13},
        {"let x = 2.0 * 3\n", "expected Float, found Int", 1, 15},
        {"let x = true * false\n",
         "operator '*' needs Int or Float operands (no implicit conversion), found Bool", 1, 9},
        {"let x = \"a\" - \"b\"\n",
         "operator '-' needs Int or Float operands (no implicit conversion), found Text", 1, 9},
        {"let x = 7 % 2\nlet y: Int = x / 3\nlet z: Float = 1.5 - 0.5\n", "", 0, 0},
        {"let x = 1 and true\n", "expected Bool, found Int", 1, 9},
        {"let x = true or 2\n", "expected Bool, found Int", 1, 17},
        {"let n = 3\nlet x: Bool = n > 1 and not (n == 2) or false\n", "", 0, 0},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(Exprs, Lambdas) {
    const ErrorCase cases[] = {
        {"let f = fn(a: Int, a: Int) -> Int = a\n", "duplicate parameter name 'a'", 1, 20},
        {"let f = fn(x: Int) -> Int:\n    if x > 0:\n        return 1\n",
         "not every path in this lambda returns Int — add a final return or an else branch", 1, 9},
        {"let f = fn(x: Int) -> Void:\n    if x > 0:\n        return\n", "", 0, 0},
        {"let f = fn(x: Int) -> Int = \"a\"\n", "expected Int, found Text", 1, 29},
        {"let f = fn(x: Int) -> Bool = x > 0\nlet n: Int = f\n", "expected Int, found fn(Int) -> Bool", 2, 14},
        {"let f = fn(x: Foo) -> Int = 1\n",
         "unknown type 'Foo' — v0.1 types are Int, Float, Text, Bool, Void, List[T], Map[K, V], Set[T], Tuple[...], "
         "Option[T], Result[T, E], or a declared record or enum name",
         1, 15},
        {"fn g() -> Int = 1\nlet f = fn(g: Int) -> Int = g\n",
         "'g' is already a top-level function — pick another name", 2, 12},
        {"let f = fn(x: Int) -> Int = x\nlet y = x\n", "unknown name 'x'", 2, 9},
        {"fn main() -> Void:\n    let k = 2\n    let f = fn(x: Int) -> Int = x * k\n    let n = f(3)\n"
         "    print(\"{n}\")\n",
         "", 0, 0},
        // A block lambda's return answers to the lambda; the enclosing function's result type comes back after it.
        {"fn f() -> Int:\n    let g = fn() -> Text:\n        return 1\n    return 2\n", "expected Text, found Int", 3,
         16},
        {"fn f() -> Int:\n    let g = fn() -> Text:\n        return \"a\"\n    return \"b\"\n",
         "expected Int, found Text", 4, 12},
        {"let g = fn(x: Int) -> Int:\n    let y = x * 2\n    return y\nlet h = fn(x: Int) -> Int = g(x)\n", "", 0, 0},
        {"let f = fn(xs: List[Int]) -> Int = xs.len()\nlet n: Int = f([])\n", "", 0, 0},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(Exprs, Indexing) {
    const ErrorCase cases[] = {
        {"let xs = [\"a\"]\nlet t: Text = xs[0]\n", "", 0, 0},
        {"let m = {\"a\": 1}\nlet k = \"a\"\nlet v: Int = m[k]\n", "", 0, 0},
        {"let m = {\"a\": 1}\nlet v = m[0]\n", "expected Text, found Int", 2, 11},
        {"let x = 5[0]\n", "values of type Int cannot be indexed — List, Map, Text, and Bytes can", 1, 9},
        {"let s = \"abc\"[1]\nlet t: Text = s\n", "", 0, 0},
        {"let b = \"a\".to_bytes()[0]\nlet n: Int = b\n", "", 0, 0},
        {"let xs = [1]\nlet y = xs[\"a\"]\n", "expected Int, found Text", 2, 12},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(Exprs, FieldAccess) {
    const ErrorCase cases[] = {
        {kPoint + "let p = P(x: 1, y: 2)\nlet n: Int = p.y\n", "", 0, 0},
        {kPoint + "let p = P(x: 1, y: 2)\nlet n = p.name\n", "record P has no field 'name' — its fields are: x, y", 5,
         9},
        {"let xs = [1]\nlet n = xs.len\n", "'len' is a method — call it with parentheses: .len(...)", 2, 9},
        {kColor + "let c = Color.Red\nlet n = c.value\n",
         "values of type Color have no fields — read a variant payload by matching: 'case Color.Variant(field: "
         "binding):'",
         5, 9},
        {"let n = 1\nlet m = n.value\n", "values of type Int have no fields — only records do", 2, 9},
        {kColor + "let c: Color = Color.Red\n", "", 0, 0},
        {kColor + "let c = Color.Blue\n", "enum Color has no variant 'Blue' — its variants are: Color.Red, Color.Green",
         4, 9},
        {kColor + "let c: Int = Color.Red\n", "expected Int, found Color", 4, 14},
        {kPoint + "record Line:\n    a: P\n    b: P\nlet l = Line(a: P(x: 1, y: 2), b: P(x: 3, y: 4))\n"
                  "let n: Int = l.b.x\n",
         "", 0, 0},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(Exprs, Constructions) {
    const ErrorCase cases[] = {
        {kPoint + "let p: P = P(x: 1, y: 2)\n", "", 0, 0},
        {kPoint + "record Q:\n    x: Int\nlet q: Q = P(x: 1, y: 2)\n", "expected Q, found P", 6, 12},
        {kPoint + "let p = P.Q(x: 1)\n",
         "records have no variants — 'P' is a record; construct it directly: P(field: ...)", 4, 9},
        {"let p = Nope.Q(x: 1)\n", "unknown enum 'Nope'", 1, 9},
        {kColor + "let c = Color(x: 1)\n", "'Color' is an enum — construct one of its variants: Color.Red, Color.Green",
         4, 9},
        {"fn f(x: Int) -> Int = x\nlet c = f(x: 1)\n",
         "'f' is a function — named arguments construct records; call it positionally: f(...)", 2, 9},
        {"let c = Nope(x: 1)\n", "unknown record 'Nope'", 1, 9},
        {"let c = nomod.Shape.Circle(radius: 1.0)\n",
         "unknown module 'nomod' — add 'import nomod' at the top of the file", 1, 9},
        {"enum Shape:\n    Circle(radius: Float)\n    Empty\nlet s: Shape = Shape.Circle(radius: 2.0)\n", "", 0, 0},
        {"record Pair[A, B]:\n    first: A\n    second: B\nlet p: Pair[Int, Text] = Pair(first: 1, second: \"a\")\n"
         "let q: Pair[Int, Int] = Pair(first: 1, second: \"a\")\n",
         "expected Pair[Int, Int], found Pair[Int, Text]", 5, 25},
        {"enum Maybe[T]:\n    Just(value: T)\n    Nothing\nlet m: Maybe[Int] = Maybe.Just(value: 3)\n"
         "let n: Maybe[Int] = Maybe.Nothing\n",
         "", 0, 0},
    };
    for (const auto& c : cases) expect_check(c);
}

const std::pair<std::string, std::string> kGeo{
    "geo",
    "/// A point.\npub record Point:\n    x: Int\n    y: Int\n\n"
    "/// A shape.\npub enum Shape:\n    Circle(radius: Float)\n    Empty\n\n"
    "fn secret() -> Int = 1\n\n"
    "/// Doubles a number.\npub fn double(x: Int) -> Int = x * 2\n"};

ModuleErrorCase geo_case(const std::string& main, const std::string& message, uint32_t line, uint32_t col) {
    return ModuleErrorCase{{kGeo, {"main", "import geo\n" + main}}, message.empty() ? "" : "main", message, line, col};
}

TEST(Exprs, ModuleMembers) {
    const ModuleErrorCase cases[] = {
        geo_case("let f = geo.double\nlet n: Int = f\n", "expected Int, found fn(Int) -> Int", 3, 14),
        geo_case("let f: fn(Int) -> Int = geo.double\n", "", 0, 0),
        geo_case("let u = geo\n", "'geo' is a module — use its functions qualified: geo.function(...)", 2, 9),
        // A public type named as a value needs its construction syntax; the message shows the qualified name.
        geo_case("let p = geo.Point\n", "records are constructed with named fields: geo.Point(field: ...)", 2, 9),
        geo_case("let s = geo.Shape\n",
                 "'geo.Shape' is an enum — write one of its variants: geo.Shape.Circle(...), geo.Shape.Empty", 2, 9),
        geo_case("let s = geo.secret\n",
                 "'secret' exists in module 'geo' but is not public — mark it 'pub fn' (with a /// doc comment) in "
                 "geo.qn",
                 2, 9),
        geo_case("let s = geo.Shape.Empty\nlet t: geo.Shape = s\n", "", 0, 0),
        geo_case("let c: geo.Shape = geo.Shape.Circle(radius: 1.0)\n", "", 0, 0),
        geo_case("let c = geo.Shape.Square(side: 1.0)\n",
                 "enum geo.Shape has no variant 'Square' — its variants are: geo.Shape.Circle(...), geo.Shape.Empty", 2,
                 9),
        geo_case("let c = geo.Nope.Square(side: 1.0)\n", "module 'geo' has no pub type 'Nope' — available: Point, Shape",
                 2, 9),
        geo_case("let p: geo.Point = geo.Point(x: 1, y: 2)\nlet n: Int = p.x\n", "", 0, 0),
        geo_case("let p = geo.Point(y: 2, x: 1)\n",
                 "record fields are written in declaration order — expected 'x' here, found 'y'; the canonical form is "
                 "geo.Point(x: ..., y: ...)",
                 2, 22),
        geo_case("let p = geo.Nope(x: 1)\n", "module 'geo' has no pub type 'Nope' — available: Point, Shape", 2, 9),
        geo_case("let p = geo.Point(x: 1, y: 2)\nlet q = p with x: 5\nlet r: geo.Point = q\n", "", 0, 0),
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(Exprs, TryOperator) {
    const ErrorCase cases[] = {
        {"fn parse(t: Text) -> Result[Int, Text] = Ok(1)\nfn f() -> Result[Int, Text]:\n"
         "    let n: Int = parse(\"1\")?\n    return Ok(n)\n",
         "", 0, 0},
        {"fn g() -> Result[Int, Int] = Ok(1)\nfn f() -> Result[Int, Text]:\n    let n = g()?\n    return Ok(n)\n",
         "'?' propagates the error, but the value has error type Int while the function returns error type Text", 3,
         13},
        {"fn g() -> Result[Int, Text] = Ok(1)\nfn f() -> Int:\n    return g()?\n",
         "'?' on a Result needs the function to return a Result, but it returns Int", 3, 12},
        {"fn g() -> Option[Int] = Some(1)\nlet n = g()?\n", "'?' can only be used inside a function", 2, 9},
        {"fn g() -> Option[Int] = None\ntest \"t\":\n    let n = g()?\n", "'?' can only be used inside a function", 3,
         13},
        {"fn f() -> Option[Int]:\n    let h = fn(x: Int) -> Int = x?\n    return None\n",
         "'?' is not available inside a lambda in v0.1 — propagate errors in a named function", 2, 33},
        {"fn g() -> Option[Int] = None\nfn f() -> Result[Int, Text]:\n    let n = g()?\n    return Ok(n)\n",
         "'?' on an Option needs the function to return an Option, but it returns Result[Int, Text]", 3, 13},
        // Only the error types must agree: the value types of the two options differ freely.
        {"fn g() -> Option[Int] = None\nfn f() -> Option[Text]:\n    let n = g()?\n    return Some(\"{n}\")\n", "", 0,
         0},
        {"fn f() -> Option[Int]:\n    let n = 1?\n    return None\n", "'?' needs an Option or Result value, found Int",
         2, 13},
        {"fn g() -> Option[Int] = None\nfn f() -> Option[Int]:\n    let n: Text = g()?\n    return None\n",
         "expected Text, found Int", 3, 19},
    };
    for (const auto& c : cases) expect_check(c);
}

// ---- Deep trees: the checker recurses once per level and must stay within the stack ----

ast::Expr int_lit(int64_t value) { return ast::Expr{ast::ExprKind{ast::ExprKind::Int{value}}, {1, 9}}; }

ast::Program let_program(ast::Expr value) {
    ast::Program program;
    program.stmts.push_back(
        ast::Stmt{ast::StmtKind{ast::StmtKind::Let{"x", std::nullopt, std::move(value)}}, {1, 1}});
    return program;
}

ast::TypeExpr int_type() { return ast::TypeExpr{ast::TypeExprKind{ast::TypeExprKind::Named{"Int", {}}}, {1, 1}}; }

TEST(Exprs, DeepOperatorChainChecks) {
    // 1 + 1 + ... + 1 with 1024 operators, nested to the left as the parser builds it.
    ast::Expr chain = int_lit(1);
    for (int i = 0; i < 1024; ++i) {
        chain = ast::Expr{ast::ExprKind{ast::ExprKind::Binary{ast::BinaryOp::Add, std::move(chain), int_lit(1)}},
                          {1, 9}};
    }
    EXPECT_TRUE(check_program(let_program(std::move(chain))));

    // The same depth with a mistake at the innermost operand reports it.
    ast::Expr bad = ast::Expr{ast::ExprKind{ast::ExprKind::Bool{true}}, {1, 9}};
    for (int i = 0; i < 1024; ++i) {
        bad = ast::Expr{ast::ExprKind{ast::ExprKind::Binary{ast::BinaryOp::Add, std::move(bad), int_lit(1)}}, {1, 9}};
    }
    const auto result = check_program(let_program(std::move(bad)));
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().message, "expected Bool, found Int");
}

TEST(Exprs, DeeplyNestedLambdasCheck) {
    // fn(x: Int) -> Int = (fn(x: Int) -> Int = (... x ...)(x))(x), 256 lambdas deep, each applied at once.
    ast::Expr body{ast::ExprKind{ast::ExprKind::Ident{"x"}}, {1, 9}};
    for (int i = 0; i < 256; ++i) {
        ast::Vec<ast::Param> params;
        params.push_back(ast::Param{"x", int_type(), {1, 9}});
        ast::Expr lambda{ast::ExprKind{ast::ExprKind::Lambda{std::move(params), int_type(), std::move(body)}}, {1, 9}};
        ast::Vec<ast::Expr> args;
        args.push_back(ast::Expr{ast::ExprKind{ast::ExprKind::Ident{"x"}}, {1, 9}});
        body = ast::Expr{ast::ExprKind{ast::ExprKind::Call{std::move(lambda), std::move(args)}}, {1, 9}};
    }
    ast::Vec<ast::Param> params;
    params.push_back(ast::Param{"x", int_type(), {1, 9}});
    ast::Expr outer{ast::ExprKind{ast::ExprKind::Lambda{std::move(params), int_type(), std::move(body)}}, {1, 9}};
    EXPECT_TRUE(check_program(let_program(std::move(outer))));
}

TEST(Exprs, DeeplyParenthesizedSourceChecks) {
    // 1 + (1 + (1 + ...)) with 200 levels of parentheses, written as source.
    std::string value = "1";
    for (int i = 0; i < 200; ++i) value = "1 + (" + value + ")";
    testing::expect_ok("let x: Int = " + value + "\n");
}

}  // namespace
}  // namespace quellin::typeck
