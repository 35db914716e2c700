// Calls of builtins, functions, function values, module functions and methods, and the
// construction of records and enum variants.
#include <gtest/gtest.h>

#include "check_helpers.hpp"

namespace quellin::typeck {
namespace {

using testing::ErrorCase;
using testing::expect_check;
using testing::expect_ok;
using testing::ModuleErrorCase;

// Seven lines; the statements under test start on line 8.
const std::string kDecls =
    "record Point:\n    x: Int\n    y: Int\n"
    "enum Shape:\n    Circle(radius: Float)\n    Label(text: Text)\n    Empty\n";
const std::string kShapeVariants = "Shape.Circle(...), Shape.Label(...), Shape.Empty";

TEST(Calls, Builtins) {
    const ErrorCase cases[] = {
        {"print(1)\n", "expected Text, found Int", 1, 7},
        {"let t = \"a\"\nprint(t, t)\n", "'print' takes 1 argument(s), found 2", 2, 1},
        {"let t = \"a\"\nprint(t)\n", "", 0, 0},
        {"let r: Result[Int, Text] = Ok(1)\n", "", 0, 0},
        {"let r = Ok(1)\n",
         "cannot infer the error type of 'Ok(...)' here — annotate the target, e.g. 'let r: Result[Int, Text] = Ok(1)'",
         1, 9},
        {"let r = Err(\"x\")\n",
         "cannot infer the value type of 'Err(...)' here — annotate the target, e.g. 'let r: Result[Int, Text] = "
         "Err(\"boom\")'",
         1, 9},
        // Arity comes before the missing expected type.
        {"let r = Ok(1, 2)\n", "'Ok' takes 1 argument(s), found 2", 1, 9},
        {"let r: Result[Int, Text] = Ok(\"x\")\n", "expected Int, found Text", 1, 31},
        {"let o = Some(1)\nlet n: Option[Int] = o\n", "", 0, 0},
        {"let o: Option[Int] = Some(\"x\")\n", "expected Int, found Text", 1, 27},
        {"let o = None()\n", "'None' takes no arguments — write plain 'None'", 1, 9},
        {"let b: Result[Bytes, Text] = read_file(\"p\")\n", "", 0, 0},
        {"let w = write_file(\"p\", \"d\")\n", "expected Bytes, found Text", 1, 25},
        {"let a: List[Text] = args()\nlet e: Option[Text] = env(\"HOME\")\n", "", 0, 0},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(Calls, FunctionsAndFunctionValues) {
    const std::string add = "fn add(a: Int, b: Int) -> Int = a + b\n";
    const ErrorCase cases[] = {
        {add + "let x: Int = add(1, 2)\n", "", 0, 0},
        // The counts are compared before any argument is looked at.
        {add + "let x = add(nope)\n", "'add' takes 2 argument(s), found 1", 2, 9},
        {add + "let x = add(1, \"b\")\n", "expected Int, found Text", 2, 16},
        {"let n = 5\nlet y = n(1)\n", "'n' has type Int — it cannot be called", 2, 9},
        {"let y = nope(1)\n",
         "unknown function 'nope' — v0.1 resolves calls to top-level functions and the builtin print(Text)", 1, 9},
        {"let f = fn(x: Int) -> Int = x * 2\nlet y: Int = f(2)\n", "", 0, 0},
        {"let f = fn(x: Int) -> Int = x * 2\nlet y = f(1, 2)\n", "'f' takes 1 argument(s), found 2", 2, 9},
        {"let y = (fn(x: Int) -> Int = x)(1, 2)\n", "this function value takes 1 argument(s), found 2", 1, 10},
        {"let y = [1](2)\n", "this expression has type List[Int] — only functions and fn-typed values can be called", 1,
         9},
        {kDecls + "let p = Point(1, 2)\n", "records are constructed with named fields: Point(x: ..., y: ...)", 8, 9},
        {kDecls + "let s = Shape(1)\n", "enums are constructed via their qualified variants: " + kShapeVariants, 8, 9},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(Calls, RecordAndVariantConstruction) {
    const ErrorCase cases[] = {
        {kDecls + "let p = Point(x: 1, y: 2)\nlet s = Shape.Circle(radius: 1.0)\nlet e: Shape = Shape.Empty\n", "", 0,
         0},
        {kDecls + "let p = Point(y: 2, x: 1)\n",
         "record fields are written in declaration order — expected 'x' here, found 'y'; the canonical form is "
         "Point(x: ..., y: ...)",
         8, 18},
        {kDecls + "let p = Point(x: 1)\n",
         "record Point is constructed with all fields in declaration order: Point(x: ..., y: ...)", 8, 9},
        {kDecls + "let p = Point(x: 1, y: \"a\")\n", "expected Int, found Text", 8, 24},
        {kDecls + "let s = Shape.Circle(2.0)\n",
         "variant payloads use named fields in declaration order: Shape.Circle(radius: ...)", 8, 9},
        {kDecls + "let s = Shape.Empty()\n",
         "'Shape.Empty' is a unit variant — write it without parentheses: Shape.Empty", 8, 9},
        {kDecls + "let s = Shape.Square(1.0)\n",
         "enum Shape has no variant 'Square' — its variants are: " + kShapeVariants, 8, 9},
        {kDecls + "let s = Shape.Square(side: 1.0)\n",
         "enum Shape has no variant 'Square' — its variants are: " + kShapeVariants, 8, 9},
        {kDecls + "let s = Shape.Empty(x: 1)\n",
         "'Shape.Empty' is a unit variant — write it without parentheses: Shape.Empty", 8, 9},
        {kDecls + "let s = Shape.Circle(r: 1.0)\n",
         "variant fields are written in declaration order — expected 'radius' here, found 'r'; the canonical form is "
         "Shape.Circle(radius: ...)",
         8, 25},
        {kDecls + "let s = Shape.Circle(radius: 1)\n", "expected Float, found Int", 8, 30},
        {kDecls + "let s = Shape.Circle\n",
         "'Shape.Circle' carries a payload — construct it with named fields: Shape.Circle(radius: ...)", 8, 9},
        {kDecls + "let s = Shape.Nope\n", "enum Shape has no variant 'Nope' — its variants are: " + kShapeVariants, 8,
         9},
        {kDecls + "let n: Int = Shape.Empty\n", "expected Int, found Shape", 8, 14},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(Calls, GenericEnumVariantsWrittenPositionally) {
    const std::string maybe = "enum Maybe[T]:\n    Just(value: T)\n    Nothing\n";
    const ErrorCase cases[] = {
        {maybe + "let m = Maybe.Just(3)\n",
         "variant payloads use named fields in declaration order: Maybe.Just(value: ...)", 4, 9},
        {maybe + "let m = Maybe.Nothing()\n",
         "'Maybe.Nothing' is a unit variant — write it without parentheses: Maybe.Nothing", 4, 9},
        {maybe + "let m = Maybe.Other(1)\n",
         "enum Maybe has no variant 'Other' — its variants are: Maybe.Just(...), Maybe.Nothing", 4, 9},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(Calls, Methods) {
    const ErrorCase cases[] = {
        {"let xs = [1, 2]\nxs.push(3)\n", "cannot call mutating 'push' on immutable 'xs' — declare it with 'mut'", 2,
         1},
        {"mut xs = [1, 2]\nxs.push(3)\nmut s = {1}\ns.add(2)\n", "", 0, 0},
        {"mut xss = [[1]]\nxss[0].push(2)\n", "", 0, 0},
        {"[1, 2].push(3)\n",
         "'push' mutates its receiver, which needs a named value — bind it first: 'mut xs = ...' then xs.push(...)", 1,
         1},
        {"fn f() -> Void:\n    mut xs = [1]\n    let g = fn(x: Int) -> Void = xs.push(x)\n",
         "'xs' is captured by value in this lambda — mutating it would only change the lambda's copy; produce the "
         "result via the return value instead",
         3, 34},
        {"mut xs = [1]\nxs.push(1, 2)\n", "'push' takes 1 argument(s), found 2", 2, 1},
        {"mut xs = [1]\nxs.push(\"a\")\n", "expected Int, found Text", 2, 9},
        {"let t = \"a,b\"\nlet parts: List[Text] = t.split(\",\")\nlet n: Option[Int] = t.to_int()\n", "", 0, 0},
        {"let n = 5\nlet x = n.frobnicate()\n", "no method 'frobnicate' on Int — available methods: abs, to_float", 2,
         9},
        {"let ts = [\"a\"]\nlet b = ts.to_bytes()\n",
         "no method 'to_bytes' on List[Text] — available methods: len, is_empty, contains, first, last, reversed, "
         "sorted, join, map, filter, fold, to_bytes, push",
         2, 9},
        {"let b = true\nlet x = b.flip()\n", "values of type Bool have no methods in v0.1", 2, 9},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(Calls, ListCallbacks) {
    const std::string xs = "let xs = [1, 2]\n";
    const ErrorCase cases[] = {
        {xs + "let t = \"a\"\nlet ys: List[Text] = xs.map(fn(x: Int) -> Text = t)\n", "", 0, 0},
        {xs + "let ys = xs.map(fn(x: Text) -> Text = x)\n",
         "map on List[Int] needs a fn(Int) -> U, found fn(Text) -> Text", 2, 10},
        {xs + "let ys = xs.map(fn(a: Int, b: Int) -> Int = a)\n",
         "map on List[Int] needs a fn(Int) -> U, found fn(Int, Int) -> Int", 2, 10},
        {xs + "let ys = xs.map(fn(x: Int) -> Void = print(\"a\"))\n",
         "the mapper must produce a value, but it returns Void — use a 'for' loop for side effects", 2, 10},
        {xs + "let ys = xs.map(1)\n", "map takes a function — found Int; write fn(x: Int) -> U = ...", 2, 10},
        {xs + "let ys = xs.map()\n", "'map' takes 1 argument (a function), found 0", 2, 10},
        {xs + "let s: Int = xs.fold(0, fn(acc: Int, x: Int) -> Int = acc + x)\n", "", 0, 0},
        {xs + "let s = xs.fold(0)\n", "'fold' takes 2 arguments (initial value, combining function), found 1", 2, 9},
        {xs + "let s = xs.fold(print(\"a\"), 1)\n",
         "fold's initial value must be a value — this expression produces no value", 2, 17},
        {xs + "let s = xs.fold(\"\", fn(acc: Int, x: Int) -> Int = acc)\n",
         "expected fn(Text, Int) -> Text, found fn(Int, Int) -> Int", 2, 21},
        {xs + "let ys: List[Int] = xs.filter(fn(x: Int) -> Bool = x > 1)\n", "", 0, 0},
        {xs + "let ys = xs.filter()\n", "'filter' takes 1 argument (a predicate), found 0", 2, 10},
        {xs + "let ys = xs.filter(fn(x: Int) -> Int = x)\n", "expected fn(Int) -> Bool, found fn(Int) -> Int", 2, 20},
        {xs + "let j = xs.join(\",\")\n",
         "join(separator) works on List[Text] — found List[Int]; interpolate the elements into Text first", 2, 9},
        {"let ts = [\"a\"]\nlet j: Text = ts.join(\",\")\n", "", 0, 0},
        {"let xss = [[1]]\nlet s = xss.sorted()\n",
         "sorted() orders Int, Float, or Text elements — found List[List[Int]]", 2, 9},
        {xs + "let s: List[Int] = xs.sorted()\n", "", 0, 0},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(Calls, RecordFieldsAreNotMethods) {
    const std::string decl =
        "record P:\n    area: Int\n    f: fn(Int) -> Int\nlet p = P(area: 1, f: fn(x: Int) -> Int = x)\n";
    const ErrorCase cases[] = {
        {decl + "let a = p.area()\n",
         "records have no methods in v0.1 — 'area' is a field; access it without parentheses: .area", 5, 9},
        {decl + "let a = p.f(1)\n",
         "'f' is a fn-typed field, not a method — bind it first: 'let f = value.f' then f(...)", 5, 9},
        {decl + "let a = p.size()\n", "records have no methods in v0.1, and P has no field 'size'", 5, 9},
        {decl + "let g = p.f\nlet a: Int = g(1)\n", "", 0, 0},
    };
    for (const auto& c : cases) expect_check(c);
}

// The entry module imports one module and holds the statement under test on line 2.
struct ImportCase {
    std::string body;
    std::string message;
    uint32_t col = 0;
};

void expect_with_import(const std::pair<std::string, std::string>& dep, const ImportCase& c) {
    const uint32_t line = c.message.empty() ? 0 : 2;
    expect_check(
        ModuleErrorCase{{dep, {"main", "import " + dep.first + "\n" + c.body}}, "main", c.message, line, c.col});
}

TEST(Calls, ModuleFunctions) {
    const std::pair<std::string, std::string> util = {
        "util", "/// Parses.\npub fn parse(t: Text) -> Int = 1\nfn tidy() -> Int = 2\n"};
    const ImportCase cases[] = {
        {"let n: Int = util.parse(\"a\")\n", "", 0},
        {"let n = parse(\"a\")\n",
         "'parse' lives in module 'util' — module functions are called qualified: util.parse(...)", 9},
        {"let n = util.parse(1)\n", "expected Text, found Int", 20},
        {"let n = util.parse()\n", "'util.parse' takes 1 argument(s), found 0", 9},
        {"let n = util.tidy()\n",
         "'tidy' exists in module 'util' but is not public — mark it 'pub fn' (with a /// doc comment) in util.qn", 9},
    };
    for (const auto& c : cases) expect_with_import(util, c);
}

TEST(Calls, ModuleTypes) {
    const std::pair<std::string, std::string> geo = {
        "geo",
        "/// A point.\npub record Point:\n    x: Int\n    y: Int\n"
        "/// A shape.\npub enum Shape:\n    Circle(radius: Float)\n    Empty\n"};
    const ImportCase cases[] = {
        // A public type called like a function is not reported as missing from the module.
        {"let p = geo.Point(1, 2)\n", "records are constructed with named fields: geo.Point(field: ...)", 9},
        {"let s = geo.Shape(1)\n",
         "'geo.Shape' is an enum — write one of its variants: geo.Shape.Circle(...), geo.Shape.Empty", 9},
        {"let q = geo.Thing(1)\n", "module 'geo' has no pub type 'Thing' — available: Point, Shape", 9},
        // Names as written keep their module qualifier.
        {"let s = geo.Shape.Circle(1.0)\n",
         "variant payloads use named fields in declaration order: geo.Shape.Circle(radius: ...)", 9},
        {"let s = geo.Shape.Empty()\n",
         "'geo.Shape.Empty' is a unit variant — write it without parentheses: geo.Shape.Empty", 9},
        {"let s = geo.Shape.Square(1.0)\n",
         "enum geo.Shape has no variant 'Square' — its variants are: geo.Shape.Circle(...), geo.Shape.Empty", 9},
        {"let p = geo.Point(y: 1, x: 2)\n",
         "record fields are written in declaration order — expected 'x' here, found 'y'; the canonical form is "
         "geo.Point(x: ..., y: ...)",
         22},
    };
    for (const auto& c : cases) expect_with_import(geo, c);
}

TEST(Calls, LivesInModuleNamesTheFirstImport) {
    const std::string f = "/// F.\npub fn f() -> Int = 1\n";
    expect_check(ModuleErrorCase{{{"zeta", f}, {"alpha", f}, {"main", "import zeta\nimport alpha\nlet x = f()\n"}},
                                 "main",
                                 "'f' lives in module 'zeta' — module functions are called qualified: zeta.f(...)",
                                 3,
                                 9});
}

TEST(Calls, CleanProgramWithModulesAndMethods) {
    expect_ok({{"geo",
                "/// A shape.\npub enum Shape:\n    Circle(radius: Float)\n    Empty\n"
                "/// The area of a shape.\npub fn area(s: Shape) -> Float:\n    match s:\n"
                "        case Shape.Circle(radius: r):\n            return 3.14 * r * r\n"
                "        case Shape.Empty:\n            return 0.0\n"},
               {"main",
                "import geo\n"
                "fn total(shapes: List[geo.Shape]) -> Float:\n"
                "    let areas = shapes.map(fn(s: geo.Shape) -> Float = geo.area(s))\n"
                "    return areas.fold(0.0, fn(acc: Float, a: Float) -> Float = acc + a)\n"
                "fn main() -> Void:\n"
                "    mut shapes = [geo.Shape.Circle(radius: 1.0)]\n"
                "    shapes.push(geo.Shape.Empty)\n"
                "    let big = shapes.filter(fn(s: geo.Shape) -> Bool = geo.area(s) > 1.0)\n"
                "    let names = [\"a\", \"b\"].sorted()\n"
                "    let joined = names.join(\", \")\n"
                "    print(\"{total(big)} {joined}\")\n"}});
}

}  // namespace
}  // namespace quellin::typeck
