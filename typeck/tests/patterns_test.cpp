// Patterns checked against the subject's type, and which sets of arms cover every value.
#include <gtest/gtest.h>

#include <vector>

#include "check_helpers.hpp"

namespace quellin::typeck {
namespace {

using testing::ErrorCase;
using testing::expect_check;
using testing::expect_ok;
using testing::ModuleErrorCase;

// Seven lines of declarations, the subject on line 8, `match v:` on line 9 and the i-th arm's pattern
// (counted from 0) on line 10 + 2i at column 10, each arm with a one-line body.
std::string match_on(const std::string& subject, const std::vector<std::string>& arms,
                     const std::string& body = "print(\"x\")") {
    std::string src =
        "record Point:\n    x: Int\n    y: Int\n"
        "enum Shape:\n    Circle(radius: Float)\n    Label(text: Text)\n    Empty\n";
    src += "let v" + subject + "\nmatch v:\n";
    for (const std::string& arm : arms) src += "    case " + arm + ":\n        " + body + "\n";
    return src;
}

uint32_t arm_line(uint32_t i) { return 10 + 2 * i; }

std::string not_exhaustive(const std::string& type, const std::string& hint) {
    return "this match on " + type + " is not exhaustive — cover " + hint + " or finish with a 'case _:' arm";
}

const std::string kInt = " = 3";
const std::string kBool = " = true";
const std::string kOption = ": Option[Int] = Some(1)";
const std::string kResult = ": Result[Int, Text] = Ok(1)";
const std::string kShape = ": Shape = Shape.Empty";
const std::string kPoint = " = Point(x: 1, y: 2)";
const std::string kText = " = \"a\"";
const std::string kRemaining = "all remaining values with a binding";

TEST(Patterns, Exhaustiveness) {
    const ErrorCase cases[] = {
        {match_on(kInt, {"1", "2"}), not_exhaustive("Int", kRemaining), 9, 1},
        {match_on(kInt, {"1", "n"}), "", 0, 0},
        {match_on(kInt, {"1", "_"}), "", 0, 0},
        {match_on(kInt, {"n if n > 2"}), not_exhaustive("Int", kRemaining), 9, 1},
        {match_on(kBool, {"true", "false"}), "", 0, 0},
        {match_on(kBool, {"true", "false if v"}), not_exhaustive("Bool", "both 'case true:' and 'case false:'"), 9, 1},
        {match_on(kOption, {"Some(x)", "None"}), "", 0, 0},
        {match_on(kOption, {"Some(1)", "None"}),
         not_exhaustive("Option[Int]", "both 'case Some(...):' and 'case None:'"), 9, 1},
        {match_on(kResult, {"Ok(x)", "Err(e)"}), "", 0, 0},
        {match_on(kResult, {"Ok(x)", "Err(\"x\")"}),
         not_exhaustive("Result[Int, Text]", "both 'case Ok(...):' and 'case Err(...):'"), 9, 1},
        {match_on(kShape, {"Shape.Circle(radius: r)", "Shape.Label(text: _)", "Shape.Empty"}), "", 0, 0},
        {match_on(kShape, {"Shape.Label(text: \"a\")"}),
         not_exhaustive("Shape", "'case Shape.Circle(...):', 'case Shape.Label(...):', 'case Shape.Empty:'"), 9, 1},
        {match_on(kShape, {"Shape.Circle(radius: r)", "Shape.Empty if true", "Shape.Label(text: t)"}),
         not_exhaustive("Shape", "'case Shape.Empty:'"), 9, 1},
        {match_on(kPoint, {"Point(x: a, y: b)"}), "", 0, 0},
        {match_on(kPoint, {"Point(x: 0, y: _)"}), not_exhaustive("Point", kRemaining), 9, 1},
        {match_on(kText, {"\"a\"", "\"\""}), not_exhaustive("Text", kRemaining), 9, 1},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(Patterns, LiteralsAndConstructors) {
    const ErrorCase cases[] = {
        {match_on(kText, {"1"}), "this pattern matches Int values, but the subject has type Text", arm_line(0), 10},
        {match_on(kInt, {"\"a\""}), "this pattern matches Text values, but the subject has type Int", arm_line(0), 10},
        {match_on(kInt, {"Some(x)"}), "this pattern matches Option values, but the subject has type Int", arm_line(0),
         10},
        {match_on(kInt, {"Err(x)"}), "this pattern matches Result values, but the subject has type Int", arm_line(0),
         10},
        {match_on(kOption, {"Some"}), "'Some' patterns carry a value — write Some(inner_pattern)", arm_line(0), 10},
        {match_on(kResult, {"Ok(v)", "Err"}), "'Err' patterns carry a value — write Err(inner_pattern)", arm_line(1),
         10},
        {match_on(kOption, {"Some(\"a\")"}), "this pattern matches Text values, but the subject has type Int",
         arm_line(0), 15},
        {match_on(kInt, {"Foo(x)"}),
         "unknown constructor 'Foo' in pattern — v0.1 patterns support Some/None/Ok/Err, record patterns, qualified "
         "enum variants, literals, '_', and bindings",
         arm_line(0), 10},
        {match_on(kInt, {"Point(x)"}),
         "record patterns use named fields — write Point(field: pattern, ...) with all fields in declaration order",
         arm_line(0), 10},
        // Bindings take the type of what they match: Text in the first arm, Int in the second.
        {match_on(kResult, {"Err(e)", "Ok(e)"}, "let t: Text = e"), "expected Text, found Int", arm_line(1) + 1, 23},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(Patterns, EnumVariants) {
    const std::string variants = "Shape.Circle(...), Shape.Label(...), Shape.Empty";
    const ErrorCase cases[] = {
        {match_on(kShape, {"Empty"}),
         "'Empty' here is a binding that matches anything — variants are matched qualified: 'case Shape.Empty'",
         arm_line(0), 10},
        {match_on(kShape, {"Circle(r)"}), "variants are matched qualified — write 'case Shape.Circle(...)'",
         arm_line(0), 10},
        {match_on(kShape, {"Circle(radius: r)"}), "variants are matched qualified — write 'case Shape.Circle(...)'",
         arm_line(0), 10},
        {match_on(kShape, {"Shape.Empty(x: _)"}),
         "'Shape.Empty' is a unit variant — match it without parentheses: 'case Shape.Empty:'", arm_line(0), 10},
        {match_on(kShape, {"Shape.Circle"}),
         "variant patterns list all payload fields in declaration order — Shape.Circle has 1 field(s); ignore one with "
         "'_'",
         arm_line(0), 10},
        {match_on(kShape, {"Shape.Square"}), "enum Shape has no variant 'Square' — its variants are: " + variants,
         arm_line(0), 10},
        {match_on(kShape, {"Shape.Circle(r: x)"}),
         "variant pattern fields are written in declaration order — expected 'radius' here, found 'r'", arm_line(0),
         26},
        {match_on(kShape, {"Shape.Label(text: 1)"}), "this pattern matches Int values, but the subject has type Text",
         arm_line(0), 28},
        {match_on(kShape, {"Color.Red"}), "this pattern matches Color values, but the subject has type Shape",
         arm_line(0), 10},
        {match_on(kInt, {"Shape.Empty"}), "this pattern matches Shape values, but the subject has type Int",
         arm_line(0), 10},
        {match_on(kShape, {"nomod.Shape.Empty"}), "unknown module 'nomod' — add 'import nomod' at the top of the file",
         arm_line(0), 10},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(Patterns, Records) {
    const ErrorCase cases[] = {
        {match_on(kPoint, {"Point(y: b, x: a)"}),
         "record pattern fields are written in declaration order — expected 'x' here, found 'y'", arm_line(0), 19},
        {match_on(kPoint, {"Point(x: a)"}),
         "record patterns list all fields in declaration order — Point has 2 field(s); ignore one with '_'",
         arm_line(0), 10},
        {match_on(kPoint, {"Point(x: a, y: a)"}),
         "'a' is already declared in this scope — QUELLIN has no same-scope shadowing; use a new name (or 'mut' if "
         "you want to reassign)",
         arm_line(0), 25},
        {match_on(kInt, {"Point(x: a, y: b)"}), "this pattern matches Point records, but the subject has type Int",
         arm_line(0), 10},
        {match_on(kShape, {"Point(x: a, y: b)"}), "this pattern matches Point records, but the subject has type Shape",
         arm_line(0), 10},
        {match_on(kPoint, {"Point(x: a, y: b)"}, "let s: Int = a + b"), "", 0, 0},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(Patterns, GenericInstances) {
    const std::string decls =
        "enum Opt[T]:\n    Has(value: T)\n    Nothing\nrecord Pair[A, B]:\n    first: A\n    second: B\n";
    const std::string subject = "let o: Opt[Int] = Opt.Has(value: 1)\nmatch o:\n";
    const ErrorCase cases[] = {
        {decls + subject +
             "    case Opt.Has(value: v):\n        let w: Int = v\n    case Opt.Nothing:\n        "
             "print(\"n\")\n",
         "", 0, 0},
        // The payload type of an instance is the substituted one.
        {decls + subject + "    case Opt.Has(value: v):\n        let w: Text = v\n    case _:\n        print(\"n\")\n",
         "expected Text, found Int", 10, 23},
        // The hint names the enum as it is written in patterns, without type arguments.
        {decls + subject + "    case Opt.Has(value: v):\n        print(\"h\")\n",
         not_exhaustive("Opt[Int]", "'case Opt.Nothing:'"), 8, 1},
        {decls + subject + "    case Nothing:\n        print(\"h\")\n",
         "'Nothing' here is a binding that matches anything — variants are matched qualified: 'case Opt.Nothing'", 9,
         10},
        {decls + subject + "    case Opt.Other:\n        print(\"h\")\n",
         "enum Opt has no variant 'Other' — its variants are: Opt.Has(...), Opt.Nothing", 9, 10},
        // An instance's name carries its type arguments, so the bare generic name does not match it.
        {decls + "let p = Pair(first: 1, second: 2)\nmatch p:\n    case Pair(first: a, second: b):\n        "
                 "print(\"p\")\n",
         "this pattern matches Pair records, but the subject has type Pair[Int, Int]", 9, 10},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(Patterns, ImportedTypes) {
    const std::pair<std::string, std::string> geo = {
        "geo",
        "/// A point.\npub record Point:\n    x: Int\n    y: Int\n"
        "/// A shape.\npub enum Shape:\n    Circle(radius: Float)\n    Empty\n"};
    const auto on_shape = [&](const std::vector<std::string>& arms) {
        std::string src = "import geo\nfn f(s: geo.Shape) -> Void:\n    match s:\n";
        for (const auto& arm : arms) src += "        case " + arm + ":\n            print(\"x\")\n";
        return ModuleErrorCase{{geo, {"main", src}}, "main", "", 0, 0};
    };
    const auto failing = [](ModuleErrorCase c, const std::string& message, uint32_t line, uint32_t col) {
        c.message = message;
        c.line = line;
        c.col = col;
        return c;
    };
    const ModuleErrorCase cases[] = {
        on_shape({"geo.Shape.Circle(radius: r)", "geo.Shape.Empty"}),
        failing(on_shape({"geo.Shape.Circle(radius: r)"}), not_exhaustive("geo.Shape", "'case geo.Shape.Empty:'"), 3,
                5),
        failing(on_shape({"geo.Shape.Square"}),
                "enum geo.Shape has no variant 'Square' — its variants are: geo.Shape.Circle(...), geo.Shape.Empty", 4,
                14),
        failing(on_shape({"geo.Shape.Empty(x: _)"}),
                "'geo.Shape.Empty' is a unit variant — match it without parentheses: 'case geo.Shape.Empty:'", 4, 14),
        failing(on_shape({"geo.Shape"}),
                "'geo.Shape' is an enum — match one of its variants: 'case geo.Shape.Variant:'", 4, 14),
        failing(on_shape({"geo.Thing.X"}), "module 'geo' has no pub type 'Thing' — available: Point, Shape", 4, 14),
        failing(on_shape({"geo.Point(x: a, y: b)"}),
                "this pattern matches geo.Point records, but the subject has type geo.Shape", 4, 14),
        failing(on_shape({"Circle(radius: r)"}), "variants are matched qualified — write 'case geo.Shape.Circle(...)'",
                4, 14),
        {{geo,
          {"main",
           "import geo\nfn px(p: geo.Point) -> Int:\n    match p:\n        case geo.Point(x: a, y: _):\n"
           "            return a\n"}},
         "",
         "",
         0,
         0},
        {{geo,
          {"main",
           "import geo\nfn px(p: geo.Point) -> Int:\n    match p:\n        case geo.Point(y: a, x: _):\n"
           "            return a\n"}},
         "main",
         "record pattern fields are written in declaration order — expected 'x' here, found 'y'",
         4,
         27},
    };
    for (const auto& c : cases) expect_check(c);
}

}  // namespace
}  // namespace quellin::typeck
