// Records and enums that reach a module through another module's interface (a function's result or
// parameter, a field, a payload, a generic result) without the module importing their declaring
// module: their fields and variants are known as if it had, and they keep the names the interface
// writes.

#include <gtest/gtest.h>

#include <string>

#include "check_helpers.hpp"

namespace quellin::typeck::testing {
namespace {

const std::string kBox = "/// A box.\npub record Box[T]:\n    value: T\n";
const std::string kMaybe = "/// Maybe one.\npub enum Maybe[T]:\n    Just(value: T)\n    Nothing\n";
const std::string kMake = "import b\n/// Make one.\npub fn make(n: Int) -> b.Box[Int]:\n    return b.Box(value: n)\n";

// b declares Box, a makes one, and main (importing only a) runs `body`.
ModuleErrorCase through_make(const std::string& body, const std::string& message = "", uint32_t line = 0,
                             uint32_t col = 0) {
    return {{{"b", kBox}, {"a", kMake}, {"main", "import a\nlet x = a.make(1)\n" + body}},
            message.empty() ? "" : "main",
            message,
            line,
            col};
}

TEST(ReachedTypes, GenericRecordInstanceThroughAFunctionResult) {
    const ModuleErrorCase cases[] = {
        through_make("let v: Int = x.value\n"),
        through_make("let y = x with value: 2\nlet v: Int = y.value\n"),
        through_make("let v: Int = (x with value: 2).value + a.make(3).value\n"),
        through_make("match x:\n    case b:\n        print(\"{b.value}\")\n"),
        through_make("let s = x.size\n", "record b.Box[Int] has no field 'size' — its fields are: value", 3, 9),
        through_make("let y = x with size: 2\n", "b.Box[Int] has no field 'size' — its fields are: value", 3, 9),
        through_make("let y = x with value: \"two\"\n", "expected Int, found Text", 3, 23),
        through_make("let t: Text = x.value\n", "expected Text, found Int", 3, 15),
        through_make("let n = x.value()\n",
                     "records have no methods in v0.1 — 'value' is a field; access it without parentheses: .value", 3,
                     9),
        // Writing the type's name still needs the declaring module imported.
        through_make("let y: b.Box[Int] = x\n", "unknown module 'b' — add 'import b' at the top of the file", 3, 8),
        through_make("match x:\n    case b.Box(value: v):\n        print(\"{v}\")\n",
                     "this pattern matches b values, but the subject has type b.Box[Int]", 4, 10),
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(ReachedTypes, NestedInstancesFieldsAndGenericResults) {
    const ModuleErrorCase cases[] = {
        // An instance nested in another instance.
        {{{"b", kBox},
          {"a", "import b\n/// Two boxes.\npub fn twice(n: Int) -> b.Box[b.Box[Int]] = b.Box(value: b.Box(value: n))\n"},
          {"main", "import a\nlet v: Int = a.twice(1).value.value\nlet w = a.twice(2).value.size\n"}},
         "main",
         "record b.Box[Int] has no field 'size' — its fields are: value",
         3,
         9},
        // A field of an imported record whose type is an instance.
        {{{"b", kBox},
          {"a", "import b\n/// Holds a box.\npub record Holder:\n    box: b.Box[Text]\n    count: Int\n"},
          {"main", "import a\nfn f(h: a.Holder) -> Text = h.box.value\nfn g(h: a.Holder) -> Int = h.box.count\n"}},
         "main",
         "record b.Box[Text] has no field 'count' — its fields are: value",
         3,
         28},
        // A generic result, instantiated here with arguments of this module's own.
        {{{"b", kBox},
          {"a", "import b\n/// Wraps.\npub fn wrap[T](v: T) -> b.Box[T] = b.Box(value: v)\n"},
          {"main", "import a\nrecord P:\n    x: Int\nlet n: Int = a.wrap(1).value + a.wrap(P(x: 2)).value.x\nlet t: Text = "
                   "a.wrap(\"s\").value\nlet u = a.wrap(true) with value: 1\n"}},
         "main",
         "expected Bool, found Int",
         6,
         34},
        // A generic record of an intermediate module whose fields are instances of a third module's generic.
        {{{"b", kBox},
          {"a", "import b\n/// Two.\npub record Pair[T]:\n    left: b.Box[T]\n    right: T\n"},
          {"main", "import a\nfn f(p: a.Pair[Int]) -> Int = p.left.value + p.right\nfn g(p: a.Pair[Int]) -> Int = "
                   "p.left.right\n"}},
         "main",
         "record b.Box[Int] has no field 'right' — its fields are: value",
         3,
         31},
        // A non-generic record reached only through a function's result.
        {{{"b", "/// A point.\npub record Point:\n    x: Int\n"},
          {"a", "import b\n/// Origin.\npub fn origin() -> b.Point = b.Point(x: 0)\n"},
          {"main", "import a\nlet p = a.origin() with x: 1\nlet y = p.y\n"}},
         "main",
         "record b.Point has no field 'y' — its fields are: x",
         3,
         9},
        // Four modules: the instance passes through two interfaces before it reaches the entry module.
        {{{"d", kBox},
          {"c", "import d\n/// Make.\npub fn make(n: Int) -> d.Box[List[Int]] = d.Box(value: [n])\n"},
          {"b", "import c\nimport d\n/// Again.\npub fn again(n: Int) -> Option[d.Box[List[Int]]] = Some(c.make(n))\n"},
          {"main", "import b\nfn f() -> Option[Int]:\n    let v: Int = b.again(1)?.value[0]\n"
                   "    let w = b.again(1)?.size\n    return Some(v)\n"}},
         "main",
         "record d.Box[List[Int]] has no field 'size' — its fields are: value",
         4,
         13},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(ReachedTypes, GenericEnumInstancesAreMatchedThroughAnIntermediateModule) {
    const std::string find = "import b\n/// Find.\npub fn find(n: Int) -> b.Maybe[Int] = b.Maybe.Just(value: n)\n";
    const auto with_main = [&](const std::string& main, const std::string& message = "", uint32_t line = 0,
                               uint32_t col = 0) {
        return ModuleErrorCase{{{"b", kMaybe}, {"a", find}, {"main", main}}, message.empty() ? "" : "main", message,
                               line, col};
    };
    const std::string match_head = "fn f() -> Int:\n    match a.find(1):\n";
    const ModuleErrorCase cases[] = {
        // Exhaustive, with the declaring module imported for the variant names.
        with_main("import a\nimport b\n" + match_head +
                  "        case b.Maybe.Just(value: v):\n            return v\n        case b.Maybe.Nothing:\n"
                  "            return 0\n"),
        with_main("import b\nimport a\n" + match_head +
                  "        case b.Maybe.Just(value: v):\n            return v\n",
                  "this match on b.Maybe[Int] is not exhaustive — cover 'case b.Maybe.Nothing:' or finish with a "
                  "'case _:' arm",
                  4, 5),
        // Without it, coverage and its hint still know the variants.
        with_main("import a\n" + match_head + "        case m if true:\n            return 1\n",
                  "this match on b.Maybe[Int] is not exhaustive — cover 'case b.Maybe.Just(...):', 'case "
                  "b.Maybe.Nothing:' or finish with a 'case _:' arm",
                  3, 5),
        with_main("import a\n" + match_head + "        case Nothing:\n            return 1\n",
                  "'Nothing' here is a binding that matches anything — variants are matched qualified: 'case "
                  "b.Maybe.Nothing'",
                  4, 14),
        with_main("import a\n" + match_head + "        case Just(value: v):\n            return v\n",
                  "variants are matched qualified — write 'case b.Maybe.Just(...)'", 4, 14),
        with_main("import a\n" + match_head + "        case other:\n            return 1\n"),
    };
    for (const auto& c : cases) expect_check(c);

    // The intermediate module matches what a third module's generic function hands it.
    expect_ok(Sources{{"c", kMaybe},
                      {"b", "import c\n/// Find.\npub fn find[T](v: T) -> c.Maybe[T] = c.Maybe.Just(value: v)\n"},
                      {"a", "import b\nimport c\n/// Count.\npub fn count(n: Int) -> Int:\n    match b.find([n]):\n"
                            "        case c.Maybe.Just(value: xs):\n            return xs.len()\n"
                            "        case c.Maybe.Nothing:\n            return 0\n"},
                      {"main", "import a\nlet n: Int = a.count(1)\n"}});
}

// Types that the reached generic's fields mention come with it, and so do enums inside instances.
TEST(ReachedTypes, WhatAReachedGenericMentionsComesWithIt) {
    expect_check(ModuleErrorCase{
        {{"c", "/// A tag.\npub enum Tag:\n    Red\n    Blue\n"},
         {"b", "import c\n/// Tagged.\npub record Tagged[T]:\n    value: T\n    tag: c.Tag\n    more: Option[c.Tag]\n"},
         {"a", "import b\nimport c\n/// Make.\npub fn make() -> b.Tagged[Int] = b.Tagged(value: 1, tag: c.Tag.Red, "
               "more: None)\n"},
         {"main", "import a\nfn f() -> Int:\n    match a.make().tag:\n        case t if true:\n            return 1\n"}},
        "main",
        "this match on c.Tag is not exhaustive — cover 'case c.Tag.Red:', 'case c.Tag.Blue:' or finish with a "
        "'case _:' arm",
        3,
        5});
}

}  // namespace
}  // namespace quellin::typeck::testing
