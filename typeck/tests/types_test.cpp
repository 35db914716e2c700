#include "typeck/types.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "type_printer.hpp"

namespace quellin::typeck {
namespace {

TEST(TypeDisplay, PrintsEveryFormInQuellinNotation) {
    const struct {
        Type type;
        const char* display;
    } cases[] = {
        {Type::int_(), "Int"},
        {Type::float_(), "Float"},
        {Type::text(), "Text"},
        {Type::bytes(), "Bytes"},
        {Type::bool_(), "Bool"},
        {Type::void_(), "Void"},
        {Type::list(Type::map(Type::text(), Type::option(Type::int_()))), "List[Map[Text, Option[Int]]]"},
        {Type::set(Type::text()), "Set[Text]"},
        {Type::result(Type::int_(), Type::text()), "Result[Int, Text]"},
        {Type::tuple({}), "Tuple[]"},
        {Type::tuple({Type::int_()}), "Tuple[Int]"},
        {Type::tuple({Type::int_(), Type::record("Point")}), "Tuple[Int, Point]"},
        {Type::fn({Type::int_(), Type::text()}, Type::bool_()), "fn(Int, Text) -> Bool"},
        {Type::fn({}, Type::bool_()), "fn() -> Bool"},
        {Type::fn({Type::fn({}, Type::void_())}, Type::list(Type::int_())), "fn(fn() -> Void) -> List[Int]"},
        {Type::record("Pair[Int, Text]"), "Pair[Int, Text]"},
        {Type::enum_("shapes.Shape"), "shapes.Shape"},
        {Type::type_param("T"), "T"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.type.to_string(), c.display);
}

// A sink that keeps at most `limit` characters and stops the walk past them, as the type-size bound does.
class LimitedSink {
public:
    explicit LimitedSink(size_t limit) : limit_(limit) {}
    bool put(std::string_view text) {
        seen_ += text.size();
        if (seen_ > limit_) return false;
        kept_ += text;
        return true;
    }
    bool put_name(const Type& type) { return put(type.name); }
    const std::string& kept() const { return kept_; }

private:
    size_t limit_;
    size_t seen_ = 0;
    std::string kept_;
};

// The walk stops at the first piece that passes the limit; at exactly the printed length it finishes.
TEST(TypeDisplay, AStoppingSinkEndsTheWalk) {
    const Type type = Type::fn({Type::map(Type::text(), Type::record("Point"))}, Type::option(Type::int_()));
    const std::string whole = type.to_string();
    ASSERT_EQ(whole, "fn(Map[Text, Point]) -> Option[Int]");

    LimitedSink exact(whole.size());
    EXPECT_TRUE(print_type(type, exact));
    EXPECT_EQ(exact.kept(), whole);

    LimitedSink short_by_one(whole.size() - 1);
    EXPECT_FALSE(print_type(type, short_by_one));
    EXPECT_EQ(short_by_one.kept(), "fn(Map[Text, Point]) -> Option[Int");

    LimitedSink tiny(10);
    EXPECT_FALSE(print_type(type, tiny));
    EXPECT_EQ(tiny.kept(), "fn(Map[");
}

TEST(TypeEquality, IsStructural) {
    EXPECT_EQ(Type::record("Point"), Type::record("Point"));
    EXPECT_NE(Type::record("Point"), Type::enum_("Point"));
    EXPECT_NE(Type::record("Point"), Type::record("point"));
    EXPECT_NE(Type::tuple({Type::int_(), Type::text()}), Type::tuple({Type::int_()}));
    EXPECT_NE(Type::tuple({Type::int_(), Type::text()}), Type::tuple({Type::text(), Type::int_()}));
    EXPECT_EQ(Type::type_param("T"), Type::type_param("T"));
    EXPECT_NE(Type::type_param("T"), Type::type_param("U"));
    EXPECT_NE(Type::fn({Type::int_()}, Type::int_()), Type::fn({}, Type::int_()));
    EXPECT_NE(Type::map(Type::int_(), Type::text()), Type::map(Type::text(), Type::int_()));
}

TEST(TypeMoves, CarryTheWholeValueAndReplaceTheWholeTarget) {
    // Every ordered pair of a named and an unnamed type, so an assignment must both set and clear names.
    const Type samples[] = {
        Type::int_(),
        Type::record("Point"),
        Type::enum_("a_rather_long_module.SomeEnumName"),
        Type::list(Type::record("Point")),
        Type::type_param("T"),
    };
    for (const Type& source : samples) {
        Type moved_from = source;
        const Type constructed(std::move(moved_from));
        EXPECT_EQ(constructed, source) << source.to_string();
        for (const Type& target : samples) {
            Type assigned = target;
            Type from = source;
            assigned = std::move(from);
            EXPECT_EQ(assigned, source) << target.to_string() << " <- " << source.to_string();
        }
    }
}

TEST(TypeHelpers, TypeListAndInstanceKeys) {
    EXPECT_EQ(type_list({Type::int_(), Type::text()}), "Int, Text");
    EXPECT_EQ(type_list({}), "");
    EXPECT_EQ(mangle_key("Pair", {Type::int_(), Type::list(Type::text())}), "Pair[Int, List[Text]]");
    EXPECT_EQ(mangle_key("Box", {Type::option(Type::int_())}), "Box[Option[Int]]");
    EXPECT_EQ(mangle_key("shapes.Pair", {Type::record("shapes.Point"), Type::type_param("T")}),
              "shapes.Pair[shapes.Point, T]");
}

}  // namespace
}  // namespace quellin::typeck
