// Statement checking seen from the checker itself: a target the parser never builds, and the checker's
// state after a failed statement. The messages of statement checking are file tests:
// typeck/tests/files/stmts_*.qn.
#include <gtest/gtest.h>

#include "check/checker.hpp"
#include "check_helpers.hpp"

namespace quellin::typeck {
namespace {

// The parser only builds assignments to names, fields and index slots; any other target is refused here too.
TEST(Stmts, AssignToOtherTargetIsRefused) {
    ast::Stmt stmt{ast::StmtKind{ast::StmtKind::Assign{ast::Expr{ast::ExprKind{ast::ExprKind::Int{3}}, {1, 1}},
                                                       ast::Expr{ast::ExprKind{ast::ExprKind::Int{4}}, {1, 5}}}},
                   {1, 1}};
    Checker checker("main");
    const Status result = checker.check_stmt(stmt);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().message,
              "cannot assign to this expression — assignment targets are names, fields, or index slots");
    EXPECT_EQ(result.error().span.line, 1u);
    EXPECT_EQ(result.error().span.col, 1u);
}

// After a failed check, every scope, loop counter and bracketing is back as it was before the statement.
TEST(Stmts, StateIsRestoredAfterAnError) {
    const char* sources[] = {
        "test \"t\":\n    let a = 1\n    a = 2\n",
        "while true:\n    if true:\n        let z = 1 + \"a\"\n",
        "for x in [1]:\n    while true:\n        let y: Text = x\n",
        "let f = fn(x: Int) -> Int:\n    while true:\n        return \"a\"\n",
        "let g = fn(x: Int) -> Int = x + \"a\"\n",
        "let n = 1\nmatch n:\n    case k:\n        let q = k + \"a\"\n",
    };
    for (const char* source : sources) {
        SCOPED_TRACE(source);
        auto program = parse(source);
        ASSERT_TRUE(program) << program.error().message;
        Checker checker("main");
        bool failed = false;
        for (const ast::Stmt& stmt : program->stmts) {
            if (!checker.check_stmt(stmt)) {
                failed = true;
                break;
            }
        }
        EXPECT_TRUE(failed);
        EXPECT_EQ(checker.scopes.size(), 1u);
        EXPECT_TRUE(checker.outer_scopes.empty());
        EXPECT_TRUE(checker.lambda_bases.empty());
        EXPECT_FALSE(checker.ret.has_value());
        EXPECT_FALSE(checker.in_test);
        EXPECT_EQ(checker.loop_depth, 0u);
    }
}

}  // namespace
}  // namespace quellin::typeck
