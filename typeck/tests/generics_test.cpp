// Inference of type arguments at generic calls and constructions, the instances and calls it
// records, and the bound on the size of inferred types.
#include <gtest/gtest.h>

#include "check_helpers.hpp"

namespace quellin::typeck {
namespace {

using testing::ErrorCase;
using testing::expect_check;
using testing::expect_ok;
using testing::ModuleErrorCase;
using testing::Sources;

const std::string kTooLarge =
    "this type grows too large (more than 4096 characters) — add type annotations or simplify the generic nesting";

// Checks a program that must pass and returns its tables.
CheckInfo info_of(const Sources& sources) {
    std::vector<ModuleInput> inputs;
    for (const auto& [name, source] : sources) {
        auto parsed = parse(source);
        EXPECT_TRUE(parsed.has_value()) << source;
        if (!parsed) return {};
        inputs.emplace_back(name, std::move(parsed).value());
    }
    auto info = check_modules_info(inputs);
    EXPECT_TRUE(info.has_value()) << (info ? "" : info.error().error.message);
    return info ? std::move(info).value() : CheckInfo{};
}

TEST(Generics, Calls) {
    const std::string first = "fn first[T](xs: List[T]) -> T = xs[0]\n";
    const std::string pick = "fn pick[T](a: T, b: T) -> T = a\n";
    const std::string apply = "fn apply[T, U](x: T, f: fn(T) -> U) -> U = f(x)\n";
    const ErrorCase cases[] = {
        {first + "let a: Int = first([1, 2])\n", "", 0, 0},
        {first + "let b = first(1)\n", "cannot infer 'first': argument 1 is Int, but the arguments so far need List[T]",
         2, 15},
        // The first argument fixes T, and the second is checked against it with no widening.
        {pick + "let c = pick(1, true)\n", "expected Int, found Bool", 2, 17},
        {pick + "let c = pick(nope)\n", "'pick' takes 2 argument(s), found 1", 2, 9},
        // An empty literal takes its element type from the earlier arguments.
        {"fn fill[T](x: T, xs: List[T]) -> List[T] = xs\nlet d: List[Int] = fill(1, [])\n", "", 0, 0},
        {"fn fill[T](xs: List[T], x: T) -> List[T] = xs\nlet d = fill([], 1)\n",
         "cannot infer the element type of an empty list — annotate the target, e.g. 'let xs: List[Int] = []'", 2, 14},
        {apply + "let s: Text = apply(1, fn(n: Int) -> Text = \"a\")\n", "", 0, 0},
        {apply + "let s = apply(1, fn(n: Text) -> Text = n)\n",
         "cannot infer 'apply': argument 2 is fn(Text) -> Text, but the arguments so far need fn(Int) -> U", 2, 18},
        // Generic functions call each other with their own type parameters.
        {"fn wrap[T](x: T) -> List[T] = [x]\nfn twice[T](x: T) -> List[List[T]] = wrap(wrap(x))\n"
         "let w: List[List[Text]] = twice(\"a\")\n",
         "", 0, 0},
        {"fn wrap[T](x: T) -> List[T] = [x]\nlet w: List[Int] = wrap(\"a\")\n", "expected List[Int], found List[Text]",
         2, 20},
        {"fn id[T](x: T) -> T = x\nlet f = id\n",
         "generic 'id' has no single type — call it directly, or wrap it: fn(x: Int) -> Int = id(x)", 2, 9},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(Generics, RecordConstruction) {
    const std::string pair = "record Pair[A, B]:\n    first: A\n    second: B\n";
    const ErrorCase cases[] = {
        {pair + "let p = Pair(first: 1, second: \"a\")\nlet q: Pair[Int, Text] = p\n", "", 0, 0},
        {pair + "let p = Pair(second: 1, first: 2)\n",
         "record fields are written in declaration order — expected 'first' here, found 'second'; the canonical "
         "form is "
         "Pair(first: ..., second: ...)",
         4, 22},
        {pair + "let p = Pair(first: 1)\n",
         "record Pair is constructed with all fields in declaration order: Pair(first: ..., second: ...)", 4, 9},
        {pair + "let p: Pair[Text, Int] = Pair(first: 1, second: \"a\")\n",
         "expected Pair[Text, Int], found Pair[Int, Text]", 4, 26},
        // Equal arguments make the same type; swapped ones a different one.
        {pair + "let a = Pair(first: 1, second: \"a\")\nlet b = Pair(first: 2, second: \"b\")\nlet c: Bool = a == b\n",
         "", 0, 0},
        {pair + "let a = Pair(first: 1, second: \"a\")\nlet d = Pair(first: \"a\", second: 1)\nlet e: Bool = a == d\n",
         "expected Pair[Int, Text], found Pair[Text, Int]", 6, 20},
        {"record Same[T]:\n    a: T\n    b: T\nlet s = Same(a: 1, b: \"x\")\n", "expected Int, found Text", 4, 23},
        {"record Bag[T]:\n    items: List[T]\nlet b = Bag(items: 1)\n",
         "cannot infer Bag: field 'items' is Int, but the fields so far need List[T]", 3, 20},
        {pair + "fn pair_of[A, B](a: A, b: B) -> Pair[A, B] = Pair(first: a, second: b)\n"
                "let p: Pair[Int, Text] = pair_of(1, \"x\")\nlet n: Int = p.first\n",
         "", 0, 0},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(Generics, VariantConstruction) {
    const std::string maybe = "enum Maybe[T]:\n    Just(value: T)\n    Nothing\n";
    const std::string either = "enum Either[L, R]:\n    Left(value: L)\n    Right(value: R)\n";
    const ErrorCase cases[] = {
        {maybe + "let m = Maybe.Just(value: 3)\nlet k: Maybe[Int] = m\nlet n: Maybe[Int] = Maybe.Nothing\n", "", 0, 0},
        {maybe + "let m = Maybe.Nothing\n",
         "cannot infer the type arguments for Maybe.Nothing — annotate the binding, e.g. 'let x: Maybe[...] = "
         "Maybe.Nothing'",
         4, 9},
        {maybe + "let m: Maybe[Int] = Maybe.Nothing(x: 1)\n",
         "'Maybe.Nothing' is a unit variant — write it without parentheses: Maybe.Nothing", 4, 21},
        {maybe + "let m = Maybe.Just\n",
         "'Maybe.Just' carries a payload — construct it with named fields: Maybe.Just(value: ...)", 4, 9},
        {maybe + "let m = Maybe.Other(value: 1)\n",
         "enum Maybe has no variant 'Other' — its variants are: Maybe.Just(...), Maybe.Nothing", 4, 9},
        {maybe + "let m = Maybe.Other\n",
         "enum Maybe has no variant 'Other' — its variants are: Maybe.Just(...), Maybe.Nothing", 4, 9},
        {maybe + "let m = Maybe.Just(v: 1)\n",
         "variant fields are written in declaration order — expected 'value' here, found 'v'; the canonical form is "
         "Maybe.Just(value: ...)",
         4, 23},
        // The expected type fixes the arguments before the fields are looked at.
        {maybe + "let m: Maybe[Int] = Maybe.Just(value: \"a\")\n", "expected Int, found Text", 4, 39},
        {maybe + "let m: Maybe[List[Int]] = Maybe.Just(value: [])\n", "", 0, 0},
        {either + "let e = Either.Left(value: 1)\n",
         "cannot infer 'R' for Either.Left — annotate the binding, e.g. 'let x: Either[...] = Either.Left'", 4, 9},
        {either + "let e: Either[Int, Text] = Either.Left(value: 1)\n", "", 0, 0},
        {"enum Tree[T]:\n    Leaf(value: T)\n    Node(items: List[Tree[T]])\n"
         "let t = Tree.Node(items: [Tree.Leaf(value: 1)])\nlet u: Tree[Int] = t\n",
         "", 0, 0},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(Generics, RecordsCallsAndInstances) {
    const CheckInfo local = info_of({{"main",
                                      "fn first[T](xs: List[T]) -> T = xs[0]\nlet a = first([1, 2])\n"
                                      "record Pair[A, B]:\n    first: A\n    second: B\n"
                                      "let p = Pair(first: 1, second: \"a\")\n"}});
    const auto call = local.calls.find({"main", 2, 9});
    ASSERT_NE(call, local.calls.end());
    EXPECT_EQ(call->second, (CallInst{"first", {Type::int_()}, std::nullopt}));
    const auto pair = local.instances.find("Pair[Int, Text]");
    ASSERT_NE(pair, local.instances.end());
    EXPECT_EQ(pair->second, (Instance{"Pair", {Type::int_(), Type::text()}}));

    const CheckInfo imported = info_of({{"util", "/// First.\npub fn first[T](xs: List[T]) -> T = xs[0]\n"},
                                        {"main", "import util\nlet a: Text = util.first([\"x\"])\n"}});
    const auto module_call = imported.calls.find({"main", 2, 15});
    ASSERT_NE(module_call, imported.calls.end());
    EXPECT_EQ(module_call->second, (CallInst{"first", {Type::text()}, std::string("util")}));
}

TEST(Generics, ImportedGenerics) {
    const Sources util = {{"util",
                           "/// First.\npub fn first[T](xs: List[T]) -> T = xs[0]\n"
                           "/// A value or nothing.\npub enum Maybe[T]:\n    Just(value: T)\n    Nothing\n"
                           "/// Two values.\npub record Pair[A, B]:\n    first: A\n    second: B\n"}};
    // The entry module imports util and holds the statement under test on line 2.
    const auto failing = [&](const std::string& stmt, const std::string& message, uint32_t col) {
        Sources modules = util;
        modules.emplace_back("main", "import util\n" + stmt);
        return ModuleErrorCase{modules, "main", message, 2, col};
    };
    const ModuleErrorCase cases[] = {
        failing("let a = util.first(1)\n",
                "cannot infer 'util.first': argument 1 is Int, but the arguments so far need List[T]", 20),
        failing("let m = util.Maybe.Nothing\n",
                "cannot infer the type arguments for util.Maybe.Nothing — annotate the binding, e.g. 'let x: "
                "util.Maybe[...] = util.Maybe.Nothing'",
                9),
        failing("let m = util.Maybe.Just(1)\n",
                "variant payloads use named fields in declaration order: util.Maybe.Just(value: ...)", 9),
        failing("let m = util.Maybe(1)\n",
                "'util.Maybe' is an enum — write one of its variants: util.Maybe.Just(...), util.Maybe.Nothing", 9),
        failing("let p = util.Pair(1, 2)\n", "records are constructed with named fields: util.Pair(field: ...)", 9),
        failing("let p = util.Pair(first: 1)\n",
                "record util.Pair is constructed with all fields in declaration order: util.Pair(first: ..., second: "
                "...)",
                9),
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(Generics, CleanProgramAcrossModules) {
    expect_ok({{"collections",
                "/// A value or nothing.\npub enum Maybe[T]:\n    Just(value: T)\n    Nothing\n"
                "/// Two values.\npub record Pair[A, B]:\n    first: A\n    second: B\n"
                "/// The first element, if any.\npub fn head[T](xs: List[T]) -> Maybe[T]:\n"
                "    if xs.is_empty():\n        return Maybe.Nothing\n    return Maybe.Just(value: xs[0])\n"
                "/// Both values, swapped.\npub fn swap[A, B](p: Pair[A, B]) -> Pair[B, A] = "
                "Pair(first: p.second, second: p.first)\n"},
               {"main",
                "import collections\n"
                "fn describe(m: collections.Maybe[Int]) -> Text:\n"
                "    match m:\n"
                "        case collections.Maybe.Just(value: v):\n            return \"got {v}\"\n"
                "        case collections.Maybe.Nothing:\n            return \"none\"\n"
                "fn main() -> Void:\n"
                "    let xs = [3, 1, 2].sorted()\n"
                "    let total = xs.fold(0, fn(acc: Int, x: Int) -> Int = acc + x)\n"
                "    print(describe(collections.head(xs)))\n"
                "    let p = collections.Pair(first: total, second: \"sum\")\n"
                "    let q: collections.Pair[Text, Int] = collections.swap(p)\n"
                "    let label: Text = q.first\n"
                "    print(label)\n"}});
}

// A record whose name has `length` characters, a generic function and generic types that wrap it.
std::string long_name_program(size_t length, const std::string& use) {
    const std::string name(length, 'R');
    return "record " + name + ":\n    v: Int\n" + "fn wrap[T](x: T) -> List[T] = [x]\n" +
           "record Box[T]:\n    item: T\nenum Holder[T]:\n    Held(value: T)\n" + "let r = " + name + "(v: 1)\n" + use +
           "\n";
}

TEST(Generics, InferredTypesAreBounded) {
    // List[R] adds 6 characters to the name, Box[R] 5 and Holder[R] 8: each is tried exactly at the
    // bound and one character past it.
    const ErrorCase cases[] = {
        {long_name_program(4090, "let w = wrap(r)"), "", 0, 0},
        {long_name_program(4091, "let w = wrap(r)"), kTooLarge, 9, 9},
        {long_name_program(4091, "let b = Box(item: r)"), "", 0, 0},
        {long_name_program(4092, "let b = Box(item: r)"), kTooLarge, 9, 9},
        {long_name_program(4088, "let h = Holder.Held(value: r)"), "", 0, 0},
        {long_name_program(4089, "let h = Holder.Held(value: r)"), kTooLarge, 9, 9},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(Generics, SelfPairingNestingStopsAtTheBound) {
    // Each level doubles the type: Tuple[Int, Int] is 15 characters, the ninth level 6135.
    std::string call = "1";
    for (int i = 0; i < 30; ++i) call = "dup(" + call + ")";
    expect_check(
        ErrorCase{"fn dup[T](x: T) -> Tuple[T, T] = (x, x)\nlet d = " + call + "\n", kTooLarge, 2, 9 + 4 * (30 - 9)});

    // The same with a generic record: Pair[Int, Int] is 14 characters, the eighth level 5624.
    std::string src = "record Pair[A, B]:\n    first: A\n    second: B\nlet p0 = Pair(first: 1, second: 1)\n";
    for (int i = 1; i <= 12; ++i) {
        const std::string prev = std::string("p") + std::to_string(i - 1);
        src += "let p" + std::to_string(i) + " = Pair(first: " + prev + ", second: " + prev + ")\n";
    }
    expect_check(ErrorCase{src, kTooLarge, 12, 10});
}

}  // namespace
}  // namespace quellin::typeck

namespace quellin::typeck {
namespace {

using testing::check_source;
using testing::expect_ok;

// Types can also double without a generic call: a tuple of a value with itself, bound again and again.
std::string doubling_tuples(int levels) {
    std::string src = "fn main() -> Void:\n    let t0 = 1\n";
    for (int i = 1; i <= levels; ++i) {
        src += "    let t" + std::to_string(i) + " = (t" + std::to_string(i - 1) + ", t" + std::to_string(i - 1) + ")\n";
    }
    return src;
}

TEST(TypeSize, TuplesOfThemselvesStopAtTheLimit) {
    // Level 8 prints in 3063 characters; level 9 would need 6135.
    expect_ok(doubling_tuples(8));
    const std::optional<TypeError> error = check_source(doubling_tuples(40));
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->message,
              "this type grows too large (more than 4096 characters) — add type annotations or simplify the generic "
              "nesting");
    EXPECT_EQ(error->span.line, 11u);
    EXPECT_EQ(error->span.col, 14u);
}

}  // namespace
}  // namespace quellin::typeck
