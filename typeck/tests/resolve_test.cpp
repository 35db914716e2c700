#include <gtest/gtest.h>

#include "check/checker.hpp"
#include "check_helpers.hpp"

namespace quellin::typeck {
namespace {

using testing::ErrorCase;
using testing::expect_check;
using testing::ModuleErrorCase;

constexpr const char* kUnknownType =
    "' — v0.1 types are Int, Float, Text, Bool, Void, List[T], Map[K, V], Set[T], Tuple[...], Option[T], Result[T, "
    "E], or a declared record or enum name";

std::string unknown_type(const std::string& name) { return "unknown type '" + name + kUnknownType; }

// Written types are resolved through function signatures and record fields.
TEST(ResolveType, NamedTypes) {
    const std::string decls =
        "record Point:\n"
        "    x: Int\n"
        "enum Shape:\n"
        "    Empty\n"
        "record Pair[A, B]:\n"
        "    first: A\n"
        "    second: B\n";
    const auto fn = [&](const std::string& type) { return decls + "fn f(p: " + type + ") -> Void = print(\"\")\n"; };
    const ErrorCase cases[] = {
        {fn("Int[Text]"), "'Int' takes no type arguments, found 1 argument(s)", 8, 9},
        {fn("Void[Int, Int]"), "'Void' takes no type arguments, found 2 argument(s)", 8, 9},
        {fn("List"), "'List' takes exactly one type argument, e.g. List[Int], found 0 argument(s)", 8, 9},
        {fn("Set[Int, Int]"), "'Set' takes exactly one type argument, e.g. Set[Text], found 2 argument(s)", 8, 9},
        {fn("Option"), "'Option' takes exactly one type argument, e.g. Option[Int], found 0 argument(s)", 8, 9},
        {fn("Map[Text]"), "'Map' takes exactly two type arguments, e.g. Map[Text, Int], found 1 argument(s)", 8, 9},
        {fn("Result[Int]"), "'Result' takes exactly two type arguments, e.g. Result[Int, Text], found 1 argument(s)", 8,
         9},
        {fn("Tuple"), "'Tuple' needs its element types, e.g. Tuple[Int, Text]", 8, 9},
        {fn("Tuple[Int]"), "", 0, 0},
        {fn("Map[Text, List[Tuple[Int, Bytes]]]"), "", 0, 0},
        {fn("Num"), "'Num' is deferred in v0.1 — choose Int or Float explicitly", 8, 9},
        {fn("Byte[Int]"), "there is no single-byte type — use Bytes buffers (§20) and Int values 0–255", 8, 9},
        {fn("Point[Int]"), "'Point' takes no type arguments — it is not generic, found 1 argument(s)", 8, 9},
        {fn("Shape[Int, Int]"), "'Shape' takes no type arguments — it is not generic, found 2 argument(s)", 8, 9},
        {fn("Pair"), "'Pair' is generic — write Pair[A, B] with 2 type argument(s), found 0", 8, 9},
        {fn("Pair[Int]"), "'Pair' is generic — write Pair[A, B] with 2 type argument(s), found 1", 8, 9},
        {fn("Pair[Int, Shape]"), "", 0, 0},
        {fn("Strin"), unknown_type("Strin"), 8, 9},
        {fn("point"), unknown_type("point"), 8, 9},
        // The first failing argument is reported at its own position.
        {fn("Map[Text, List[Strin]]"), unknown_type("Strin"), 8, 24},
        {fn("Pair[Nope, Strin]"), unknown_type("Nope"), 8, 14},
        {fn("fn(Int, Nope) -> Int"), unknown_type("Nope"), 8, 17},
        {fn("fn() -> Nope"), unknown_type("Nope"), 8, 17},
        {fn("fn(Int, fn(Text) -> Bool) -> Void"), "", 0, 0},
        {decls + "fn f() -> Lst[Int] = 1\n", unknown_type("Lst"), 8, 11},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(ResolveType, TypeParameters) {
    const ErrorCase cases[] = {
        {"fn f[T](x: T[Int]) -> T = x\n",
         "type parameter 'T' takes no type arguments — v1 generics have no higher-kinded types", 1, 12},
        {"fn f[T](x: List[T]) -> Option[T] = None\n", "", 0, 0},
        // A function's type parameters are visible only in its own signature.
        {"fn f[T](x: T) -> T = x\nfn g(y: T) -> Void = print(\"\")\n", unknown_type("T"), 2, 9},
        {"record Box[T]:\n    value: T\nrecord Other:\n    value: T\n", unknown_type("T"), 4, 12},
        {"record Box[T]:\n    value: Option[T]\nenum Maybe[T]:\n    Just(value: T)\n    Nothing\n", "", 0, 0},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(ResolveType, QualifiedTypes) {
    const std::string shapes =
        "/// A circle.\n"
        "pub record Circle:\n"
        "    radius: Float\n"
        "/// An area.\n"
        "pub enum Area:\n"
        "    Small\n"
        "record Square:\n"
        "    side: Float\n"
        "/// A pair.\n"
        "pub record Pair[A, B]:\n"
        "    first: A\n"
        "    second: B\n";
    const auto main = [](const std::string& type) {
        return "import shapes\nfn f(s: " + type + ") -> Void = print(\"\")\n";
    };
    const ModuleErrorCase cases[] = {
        {{{"shapes", shapes}, {"main", main("shapes.Circle")}}, "", "", 0, 0},
        {{{"shapes", shapes}, {"main", main("List[shapes.Area]")}}, "", "", 0, 0},
        {{{"shapes", shapes}, {"main", main("shapes.Pair[Int, shapes.Circle]")}}, "", "", 0, 0},
        {{{"shapes", shapes}, {"main", main("shapes.Square")}},
         "main",
         "'Square' exists in module 'shapes' but is not public — mark it 'pub record' / 'pub enum' (with a /// doc "
         "comment) in shapes.qn",
         2,
         9},
        {{{"shapes", shapes}, {"main", main("shapes.Triangle")}},
         "main",
         "module 'shapes' has no pub type 'Triangle' — available: Area, Circle",
         2,
         9},
        {{{"shapes", "record Hidden:\n    x: Int\n"}, {"main", main("shapes.Triangle")}},
         "main",
         "module 'shapes' has no pub types yet — mark a record or enum pub in shapes.qn",
         2,
         9},
        {{{"shapes", shapes}, {"main", main("shapes.Circle[Int]")}},
         "main",
         "'shapes.Circle' takes no type arguments — it is not generic",
         2,
         9},
        {{{"shapes", shapes}, {"main", main("shapes.Area[Int]")}},
         "main",
         "'shapes.Area' takes no type arguments — it is not generic",
         2,
         9},
        {{{"shapes", shapes}, {"main", main("shapes.Pair[Int]")}},
         "main",
         "'shapes.Pair' is generic — write shapes.Pair[A, B] with 2 type argument(s), found 1",
         2,
         9},
        {{{"shapes", shapes}, {"main", main("geo.Point")}},
         "main",
         "unknown module 'geo' — add 'import geo' at the top of the file",
         2,
         9},
        // A type is not visible under its unqualified name in the importing module.
        {{{"shapes", shapes}, {"main", main("Circle")}}, "main", unknown_type("Circle"), 2, 9},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(EnsureType, MaterialisesInstancesOnceAndLazily) {
    Checker c("main");
    c.generic_records.emplace(
        "Pair", GenericRecord{{"A", "B"}, {{"first", Type::type_param("A")}, {"second", Type::type_param("B")}}});
    c.generic_enums.emplace(
        "Maybe", GenericEnum{{"T"}, {{"Just", {{"value", Type::list(Type::type_param("T"))}}}, {"None_", {}}}});
    const std::string pair = c.register_instance("Pair", {Type::int_(), Type::text()});
    const std::string maybe = c.register_instance("Maybe", {Type::bool_()});
    EXPECT_EQ(pair, "Pair[Int, Text]");
    EXPECT_FALSE(c.records.contains(pair));

    c.ensure_type(pair);
    c.ensure_type(maybe);
    ASSERT_TRUE(c.records.contains(pair));
    EXPECT_EQ(c.records[pair], (Fields{{"first", Type::int_()}, {"second", Type::text()}}));
    ASSERT_TRUE(c.enums.contains(maybe));
    EXPECT_EQ(c.enums[maybe], (Variants{{"Just", {{"value", Type::list(Type::bool_())}}}, {"None_", {}}}));

    // A second call finds the entry and leaves it alone.
    c.records[pair].emplace_back("marker", Type::void_());
    c.ensure_type(pair);
    EXPECT_EQ(c.records[pair].size(), 3u);

    // Names in no table are left alone.
    c.ensure_type("Nowhere[Int]");
    EXPECT_FALSE(c.records.contains("Nowhere[Int]"));
    EXPECT_FALSE(c.enums.contains("Nowhere[Int]"));
}

TEST(InstallTypeClosure, CopiesEveryMentionedQualifiedType) {
    Apis apis;
    ModuleApi& b = apis["b"];
    b.records.emplace("Point", Fields{{"x", Type::int_()}, {"tag", Type::enum_("b.Tag")}});
    b.enums.emplace("Tag", Variants{{"Pinned", {{"at", Type::option(Type::record("b.Point"))}}}, {"Free", {}}});
    b.records.emplace("Unused", Fields{});
    ModuleApi& a = apis["a"];
    a.records.emplace("Line", Fields{{"ends", Type::tuple({Type::record("b.Point"), Type::record("b.Point")})}});

    Checker c("main");
    c.install_type_closure(Type::fn({Type::list(Type::record("a.Line"))}, Type::record("missing.Thing")), apis);
    EXPECT_TRUE(c.records.contains("a.Line"));
    EXPECT_TRUE(c.records.contains("b.Point"));
    EXPECT_TRUE(c.enums.contains("b.Tag"));
    EXPECT_FALSE(c.records.contains("b.Unused"));
    EXPECT_FALSE(c.records.contains("missing.Thing"));
    EXPECT_EQ(c.records["b.Point"], b.records["Point"]);

    // Unqualified names and members that the module does not export are skipped.
    Checker d("main");
    d.install_type_closure(Type::option(Type::record("Local")), apis);
    d.install_type_closure(Type::record("b.Private"), apis);
    EXPECT_TRUE(d.records.empty());
    EXPECT_TRUE(d.enums.empty());
}

TEST(VariantList, WrittenNameAndPayloadMarkers) {
    Checker c("main");
    c.enums.emplace("geo.Shape", Variants{{"Circle", {{"radius", Type::float_()}}}, {"Empty", {}}});
    EXPECT_EQ(c.variant_list("Shape", "geo.Shape"), "Shape.Circle(...), Shape.Empty");
    EXPECT_EQ(c.variant_list("geo.Shape", "geo.Shape"), "geo.Shape.Circle(...), geo.Shape.Empty");
    c.enums.emplace("Void_", Variants{});
    EXPECT_EQ(c.variant_list("Void_", "Void_"), "");
}

}  // namespace
}  // namespace quellin::typeck
