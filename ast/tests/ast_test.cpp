#include <gtest/gtest.h>

#include "ast/ast.hpp"

namespace quellin::ast {
namespace {

Pattern pat(PatternKind::Variant v, Span s = {1, 1}) { return Pattern{PatternKind{std::move(v)}, s}; }
Pattern name_pat(const std::string& n, Span s) { return Pattern{PatternKind{PatternKind::Name{n}}, s}; }

TEST(PatternEquality, ComparesVariantPayloadAndNestedSpans) {
    const Pattern a = pat({"Shape", "Circle", {{"radius", name_pat("r", {2, 5})}}, std::nullopt});
    const Pattern same = pat({"Shape", "Circle", {{"radius", name_pat("r", {2, 5})}}, std::nullopt});
    const Pattern moved_inner = pat({"Shape", "Circle", {{"radius", name_pat("r", {2, 6})}}, std::nullopt});
    const Pattern other_field = pat({"Shape", "Circle", {{"r", name_pat("r", {2, 5})}}, std::nullopt});
    const Pattern with_module = pat({"Shape", "Circle", {{"radius", name_pat("r", {2, 5})}}, "geo"});
    EXPECT_EQ(a, same);
    EXPECT_FALSE(a == moved_inner);
    EXPECT_FALSE(a == other_field);
    EXPECT_FALSE(a == with_module);
    EXPECT_FALSE(a == name_pat("Circle", {1, 1}));
}

TEST(PatternEquality, ConstructorsWithAndWithoutInner) {
    const Pattern none{PatternKind{PatternKind::Constructor{"None", std::nullopt}}, {1, 1}};
    const Pattern some{PatternKind{PatternKind::Constructor{"Some", Box<Pattern>(name_pat("x", {1, 6}))}}, {1, 1}};
    const Pattern some_wild{
        PatternKind{PatternKind::Constructor{"Some", Box<Pattern>(Pattern{PatternKind{PatternKind::Wildcard{}}, {1, 6}})}},
        {1, 1}};
    EXPECT_EQ(none, none);
    EXPECT_EQ(some, some);
    EXPECT_FALSE(none == some);
    EXPECT_FALSE(some == some_wild);
}

TEST(DeepCopy, CopiesOwnedChildrenIndependently) {
    Expr one{ExprKind{ExprKind::Int{1}}, {1, 1}};
    Expr sum{ExprKind{ExprKind::Binary{BinaryOp::Add, one, one}}, {1, 1}};
    Expr copy = sum;
    std::get<ExprKind::Int>(std::get<ExprKind::Binary>(copy.kind.v).operands->lhs.kind.v).value = 7;
    const Expr& original_lhs = std::get<ExprKind::Binary>(sum.kind.v).lhs();
    EXPECT_EQ(std::get<ExprKind::Int>(original_lhs.kind.v).value, 1);
}

}  // namespace
}  // namespace quellin::ast
