#include <gtest/gtest.h>

#include "check/checker.hpp"
#include "check_helpers.hpp"

namespace quellin::typeck {
namespace {

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
    ModuleApi b;
    b.records.emplace("Point", Fields{{"x", Type::int_()}, {"tag", Type::enum_("b.Tag")}});
    b.enums.emplace("Tag", Variants{{"Pinned", {{"at", Type::option(Type::record("b.Point"))}}}, {"Free", {}}});
    b.records.emplace("Unused", Fields{});
    ModuleApi a;
    a.records.emplace("Line", Fields{{"ends", Type::tuple({Type::record("b.Point"), Type::record("b.Point")})}});
    Apis apis;
    apis.emplace("b", std::make_shared<const ModuleApi>(b));
    apis.emplace("a", std::make_shared<const ModuleApi>(a));

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
