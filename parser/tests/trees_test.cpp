// The shapes and spans of the trees the parser builds.

#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "tree_printer.hpp"

namespace quellin {
namespace {

using test::parse_shape;

struct ShapeCase {
    std::string source;
    std::string shape;
};

void expect_shapes(const std::vector<ShapeCase>& cases, bool spans = false) {
    for (const ShapeCase& c : cases) {
        SCOPED_TRACE(c.source);
        EXPECT_EQ(parse_shape(c.source, spans), c.shape);
    }
}

TEST(ParserTrees, EmptyPrograms) { expect_shapes({{"", ""}, {"\n\n   \n", ""}, {"// only a comment\n", ""}}); }

TEST(ParserTrees, Precedence) {
    expect_shapes({
        {"1 - 2 - 3", "(- (- 1 2) 3)"},
        {"2 * 3 + 4", "(+ (* 2 3) 4)"},
        {"2 + 3 * 4 % 5", "(+ 2 (% (* 3 4) 5))"},
        {"-x.y", "(neg (. x y))"},
        {"- -x", "(neg (neg x))"},
        {"not a == b", "(not (== a b))"},
        {"not not x", "(not (not x))"},
        {"a < b and b < c", "(and (< a b) (< b c))"},
        {"a or b and not c", "(or a (and b (not c)))"},
        {"a + 1 >= b * 2", "(>= (+ a 1) (* b 2))"},
        {"a != b", "(!= a b)"},
        {"(a or b) and c", "(and (or a b) c)"},
        {"x with a: 1 + 2, b: c or d", "(with x a=(+ 1 2) b=(or c d))"},
        {"a or b with x: 1", "(with (or a b) x=1)"},
    });
}

TEST(ParserTrees, Literals) {
    expect_shapes({
        {"(1)", "1"},
        {"(1,)", "(tuple 1)"},
        {"(1, 2,)", "(tuple 1 2)"},
        {"()", "()"},
        {"[]", "(list)"},
        {"[1, 2,]", "(list 1 2)"},
        {"{}", "(map)"},
        {"{1}", "(set 1)"},
        {"{1, 2,}", "(set 1 2)"},
        {"{1: 2}", "(map 1:2)"},
        {"{1: 2, 3: 4,}", "(map 1:2 3:4)"},
        {"1.5 + 2.0", "(+ 1.5f 2f)"},
        {"true", "true"},
        {"\"\"", "(text \"\")"},
        {"\"plain\"", "(text \"plain\")"},
        {"\"a{x}b{y + 1}\"", "(text \"a\" {x} \"b\" {(+ y 1)})"},
        {"\"{\"inner {z}\"}\"", "(text {(text \"inner \" {z})})"},
        {"[1,\n    2,\n  3]", "(list 1 2 3)"},
    });
}

TEST(ParserTrees, PostfixAndConstruction) {
    expect_shapes({
        {"a.b(c)[0]?", "(? (index (call (. a b) c) 0))"},
        {"f()", "(call f)"},
        {"f(a, b,)", "(call f a b)"},
        {"f(x)(y)", "(call (call f x) y)"},
        {"Some(x)", "(call Some x)"},
        {"Point(x: 1, y: 2)", "(construct Point x=1 y=2)"},
        {"Point(x: 1,)", "(construct Point x=1)"},
        {"Shape.Circle(radius: 1.0)", "(variant Shape.Circle radius=1f)"},
        {"geo.Shape.Circle(radius: 1.0)", "(variant geo.Shape.Circle radius=1f)"},
        {"Color.Red", "(. Color Red)"},
        {"p with x: 1, y: 2", "(with p x=1 y=2)"},
        {"1.abs()", "(call (. 1 abs))"},
    });
}

TEST(ParserTrees, Lambdas) {
    expect_shapes({
        {"let f = fn(x: Int) -> Int:\n    return x\n", "(let f (block-lambda (x: Int) -> Int {(return x)}))"},
        {"let f = fn(x: Int) -> Int = x + 1\n", "(let f (lambda (x: Int) -> Int (+ x 1)))"},
        {"let f = fn() -> Void = g()\n", "(let f (lambda () -> Void (call g)))"},
        {"map(xs, fn(x: Int, y: Text,) -> Int = x)", "(call map xs (lambda (x: Int, y: Text) -> Int x))"},
        {"let f: fn(Int) -> Int = fn(x: Int) -> Int = fn(y: Int) -> Int = x",
         "(let f: fn(Int) -> Int (lambda (x: Int) -> Int (lambda (y: Int) -> Int x)))"},
    });
}

TEST(ParserTrees, Statements) {
    expect_shapes({
        {"let x: Int = 1\nmut y = 2\n", "(let x: Int 1)\n(mut y 2)"},
        {"a.b = 1\na[0] = 2\nx = 3\n", "(assign (. a b) 1)\n(assign (index a 0) 2)\n(assign x 3)"},
        {"return\n", "(return)"},
        {"import utils\n", "(import utils)"},
        {"assert x == 1\n", "(assert (== x 1))"},
        {"not x\n", "(not x)"},
        {"while x:\n    break\n    continue\n", "(while x {(break); (continue)})"},
        {"for x in xs:\n    f(x)\n", "(for x xs {(call f x)})"},
        {"if a:\n    x\nelif b:\n    y\nelif c:\n    z\nelse:\n    w\n", "(if a {x} b {y} c {z} else {w})"},
        {"if a:\n    x\n\nelse:\n    w\n", "(if a {x} else {w})"},
        {"test \"adds\":\n    assert 1 + 1 == 2\n", "(test \"adds\" {(assert (== (+ 1 1) 2))})"},
        {"match v:\n    case 0 if ok:\n        x\n    case _:\n        y\n",
         "(match v (case 0 if ok {x}) (case _ {y}))"},
    });
}

TEST(ParserTrees, Declarations) {
    expect_shapes({
        {"fn f() -> Int = 1\n", "(fn f() -> Int = 1)"},
        {"async fn f[T, U](a: T, b: List[U],) -> Void:\n    return\n",
         "(fn async f[T, U](a: T, b: List[U]) -> Void {(return)})"},
        {"/// Adds.\n/// Twice.\npub fn f() -> Int = 1\n", "(fn pub doc=\"Adds.\nTwice.\" f() -> Int = 1)"},
        {"///\npub async fn f() -> Int = 1\n", "(fn async pub doc=\"\" f() -> Int = 1)"},
        {"/// A point.\npub record P[T]:\n    x: T\n    y: Int\n", "(record pub doc=\"A point.\" P[T] x: T y: Int)"},
        {"enum Shape:\n    Dot\n    Circle(radius: Float,)\n    Rect(w: Int, h: Int)\n",
         "(enum Shape Dot Circle(radius: Float) Rect(w: Int, h: Int))"},
        {"/// Colours.\npub enum Color:\n    Red\n", "(enum pub doc=\"Colours.\" Color Red)"},
        {"fn f() -> Void:\n    fn g() -> Int = 1\n    record R:\n        x: Int\n",
         "(fn f() -> Void {(fn g() -> Int = 1); (record R x: Int)})"},
    });
}

TEST(ParserTrees, Patterns) {
    const auto arm = [](const std::string& pattern) { return "match v:\n    case " + pattern + ":\n        x\n"; };
    const auto shape = [](const std::string& pattern) { return "(match v (case " + pattern + " {x}))"; };
    expect_shapes({
        {arm("-5"), shape("-5")},
        {arm("_"), shape("_")},
        {arm("x"), shape("x")},
        {arm("true"), shape("true")},
        {arm("\"\""), shape("\"\"")},
        {arm("\"hi\""), shape("\"hi\"")},
        {arm("None"), shape("(ctor None)")},
        {arm("Some(x)"), shape("(ctor Some x)")},
        {arm("Some(_)"), shape("(ctor Some _)")},
        {arm("Ok(Some(-1))"), shape("(ctor Ok (ctor Some -1))")},
        {arm("Point(x: 0, y: py)"), shape("(record Point x=0 y=py)")},
        {arm("Point(x: 0,)"), shape("(record Point x=0)")},
        {arm("Shape.Circle(radius: r)"), shape("(variant Shape.Circle radius=r)")},
        {arm("geo.Shape.Circle(radius: r, )"), shape("(variant geo.Shape.Circle radius=r)")},
        {arm("Color.Red"), shape("(variant Color.Red)")},
        {arm("geo.Color.Red"), shape("(variant geo.Color.Red)")},
    });
}

TEST(ParserTrees, Types) {
    const auto let = [](const std::string& type) { return "let v: " + type + " = x\n"; };
    const auto shape = [](const std::string& type) { return "(let v: " + type + " x)"; };
    expect_shapes({
        {let("fn(Int, Text) -> Bool"), shape("fn(Int, Text) -> Bool")},
        {let("fn() -> Void"), shape("fn() -> Void")},
        {let("fn(Int,) -> fn(Int) -> Int"), shape("fn(Int) -> fn(Int) -> Int")},
        {let("Map[Text, List[Int]]"), shape("Map[Text, List[Int]]")},
        {let("Map[Text, Int,]"), shape("Map[Text, Int]")},
        {let("geo.Shape"), shape("geo.Shape")},
        {let("geo.Pair[Int, Text]"), shape("geo.Pair[Int, Text]")},
    });
}

// Binary nodes and postfix chains sit at their leftmost operand, prefix operators at the operator,
// declarations at their doc comment or `pub`, negative number patterns at the `-`.
TEST(ParserTrees, Spans) {
    expect_shapes(
        {
            {"a + b * c", "(+ a@1:1 (* b@1:5 c@1:9)@1:5)@1:1@1:1"},
            {"  (x)",
             "error: indentation of 2 space(s) — QUELLIN has exactly one canonical indentation: 4 spaces per "
             "level @1:3"},
            {"((x))", "x@1:3@1:1"},
            {"a.b(c)[0]?", "(? (index (call (. a@1:1 b)@1:1 c@1:5)@1:1 0@1:8)@1:1)@1:1@1:1"},
            {"-x", "(neg x@1:2)@1:1@1:1"},
            {"not x", "(not x@1:5)@1:1@1:1"},
            {"p with x: 1", "(with p@1:1 x=1@1:11)@1:1@1:1"},
            {"[(1, 2), {3}]", "(list (tuple 1@1:3 2@1:6)@1:2 (set 3@1:11)@1:10)@1:1@1:1"},
            {"P(x: 1)", "(construct P x=1@1:6)@1:1@1:1"},
            {"f(fn(x: T) -> T = x)", "(call f@1:1 (lambda (x@1:6: T@1:9) -> T@1:15 x@1:19)@1:3)@1:1@1:1"},
            {"x = \"ab{cd + e}\"", "(assign x@1:1 (text \"ab\" {(+ cd@1:9 e@1:14)@1:9})@1:5)@1:1"},
            {"x = \"{\"a{b}\"}\"", "(assign x@1:1 (text {(text \"a\" {b@1:10})@1:7})@1:5)@1:1"},
            {"/// d\n/// e\npub fn f() -> Int = 1\n", "(fn pub doc=\"d\ne\" f() -> Int@3:15 = 1@3:21)@1:1"},
            {"pub async fn f() -> Int:\n    return\n",
             "error: public function 'f' is missing its doc comment — QUELLIN requires /// documentation on public "
             "items "
             "@1:15"},
            {"match v:\n    case -5:\n        x\n", "(match v@1:7 (case@2:5 -5@2:10 {x@3:9@3:9}))@1:1"},
            {"enum E:\n    A(x: Int)\n", "(enum E A@2:5(x@2:7: Int@2:10))@1:1"},
            {"let f = fn() -> Int:\n    return 1\n",
             "(let f (block-lambda () -> Int@1:17 {(return 1@2:12)@2:5})@1:9)@1:1"},
        },
        true);
}

}  // namespace
}  // namespace quellin

namespace quellin {
namespace {

// A program's nodes live in memory that goes away with the program; a copy must not.
TEST(ParsedTrees, ACopyOutlivesTheProgramItCameFrom) {
    const std::string source =
        "record R:\n    name: Text\n\nfn f(xs: List[Int], r: R) -> Text:\n    for x in xs:\n"
        "        if x > 1:\n            return \"{r.name} and a rather long literal {x * 2}\"\n"
        "    return match_me(fn(a: Int) -> Int = a + 1, [1, 2, 3])\n"
        "\nenum E:\n    A(n: Int)\n\nfn g(s: geo.Shape) -> R:\n    let y: geo.Shape = geo.Shape.Circle(radius: 1.0)\n"
        "    match s:\n        case geo.Shape.Circle(radius: r):\n            return R(name: \"{r}\")\n";
    auto parsed = parse(source);
    ASSERT_TRUE(parsed);
    std::optional<ast::Program> original(std::move(parsed).value());
    const std::string shape = test::TreePrinter(true).program(*original);
    const ast::Program copy = *original;
    original.reset();
    EXPECT_EQ(test::TreePrinter(true).program(copy), shape);
}

// The parser puts every list it fills in the program's arena, those of interpolated code included;
// one left on the heap would cost a call of the allocator per list.
TEST(ParsedTrees, ListsAreInTheProgramsArena) {
    const std::string source =
        "record R:\n    name: Text\n"
        "enum E:\n    A(n: Int)\n"
        "fn f(xs: List[Int]) -> Text:\n"
        "    match xs:\n        case _:\n            return \"{g(1, 2)}\"\n";
    auto parsed = parse(source);
    ASSERT_TRUE(parsed);
    const ast::Program& program = *parsed;
    ast::Arena* const arena = program.arena.get();
    const auto in_arena = [&](const auto& list) {
        using List = std::decay_t<decltype(list)>;
        return list.get_allocator() == typename List::allocator_type(arena);
    };
    ASSERT_EQ(program.stmts.size(), 3u);
    EXPECT_TRUE(in_arena(program.stmts));
    const auto* record = ast::as<ast::StmtKind::RecordDecl>(program.stmts[0]);
    const auto* enum_decl = ast::as<ast::StmtKind::EnumDecl>(program.stmts[1]);
    const auto* fn = ast::as<ast::StmtKind::FnDecl>(program.stmts[2]);
    ASSERT_TRUE(record && enum_decl && fn);
    EXPECT_TRUE(in_arena(record->fields));
    EXPECT_TRUE(in_arena(enum_decl->variants));
    EXPECT_TRUE(in_arena(enum_decl->variants[0].fields));
    EXPECT_TRUE(in_arena(fn->params));
    EXPECT_TRUE(in_arena(std::get<ast::TypeExprKind::Named>(fn->params[0].ty.kind.v).args));
    const ast::Block& body = std::get<ast::FnBody::Block>(fn->body.v).block;
    EXPECT_TRUE(in_arena(body.stmts));
    const auto* match = ast::as<ast::StmtKind::Match>(body.stmts[0]);
    ASSERT_TRUE(match);
    EXPECT_TRUE(in_arena(match->arms));
    EXPECT_TRUE(in_arena(match->arms[0].body.stmts));
    const auto* ret = ast::as<ast::StmtKind::Return>(match->arms[0].body.stmts[0]);
    ASSERT_TRUE(ret && ret->value);
    const auto* text = ast::as<ast::ExprKind::Text>(*ret->value);
    ASSERT_TRUE(text);
    EXPECT_TRUE(in_arena(text->parts));
    const auto& interpolated = std::get<ast::TextPart::Expr>(text->parts[0].v).expr;
    const auto* call = ast::as<ast::ExprKind::Call>(*interpolated);
    ASSERT_TRUE(call);
    EXPECT_TRUE(in_arena(call->args));
}

}  // namespace
}  // namespace quellin
