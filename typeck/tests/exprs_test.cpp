// Expressions nested far deeper than a program written by hand. The messages of expression checking
// are file tests: typeck/tests/files/exprs_*.qn.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "check_helpers.hpp"

namespace quellin::typeck {
namespace {


// ---- Deep trees: the checker recurses once per level and must stay within the stack ----

ast::Expr int_lit(int64_t value) { return ast::Expr{ast::ExprKind{ast::ExprKind::Int{value}}, {1, 9}}; }

ast::Program let_program(ast::Expr value) {
    ast::Program program;
    program.stmts.push_back(
        ast::Stmt{ast::StmtKind{ast::StmtKind::Let{"x", std::nullopt, std::move(value)}}, {1, 1}});
    return program;
}

ast::TypeExpr int_type() { return ast::TypeExpr{ast::TypeExprKind{ast::TypeExprKind::Named{"Int", {}}}, {1, 1}}; }

TEST(Exprs, DeepOperatorChainChecks) {
    // 1 + 1 + ... + 1 with 1024 operators, nested to the left as the parser builds it.
    ast::Expr chain = int_lit(1);
    for (int i = 0; i < 1024; ++i) {
        chain = ast::Expr{ast::ExprKind{ast::ExprKind::Binary{ast::BinaryOp::Add, std::move(chain), int_lit(1)}},
                          {1, 9}};
    }
    EXPECT_TRUE(check_program(let_program(std::move(chain))));

    // The same depth with a mistake at the innermost operand reports it.
    ast::Expr bad = ast::Expr{ast::ExprKind{ast::ExprKind::Bool{true}}, {1, 9}};
    for (int i = 0; i < 1024; ++i) {
        bad = ast::Expr{ast::ExprKind{ast::ExprKind::Binary{ast::BinaryOp::Add, std::move(bad), int_lit(1)}}, {1, 9}};
    }
    const auto result = check_program(let_program(std::move(bad)));
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().message, "expected Bool, found Int");
}

TEST(Exprs, DeeplyNestedLambdasCheck) {
    // fn(x: Int) -> Int = (fn(x: Int) -> Int = (... x ...)(x))(x), 256 lambdas deep, each applied at once.
    ast::Expr body{ast::ExprKind{ast::ExprKind::Ident{"x"}}, {1, 9}};
    for (int i = 0; i < 256; ++i) {
        ast::Vec<ast::Param> params;
        params.push_back(ast::Param{"x", int_type(), {1, 9}});
        ast::Expr lambda{ast::ExprKind{ast::ExprKind::Lambda{std::move(params), int_type(), std::move(body)}}, {1, 9}};
        ast::Vec<ast::Expr> args;
        args.push_back(ast::Expr{ast::ExprKind{ast::ExprKind::Ident{"x"}}, {1, 9}});
        body = ast::Expr{ast::ExprKind{ast::ExprKind::Call{std::move(lambda), std::move(args)}}, {1, 9}};
    }
    ast::Vec<ast::Param> params;
    params.push_back(ast::Param{"x", int_type(), {1, 9}});
    ast::Expr outer{ast::ExprKind{ast::ExprKind::Lambda{std::move(params), int_type(), std::move(body)}}, {1, 9}};
    EXPECT_TRUE(check_program(let_program(std::move(outer))));
}

TEST(Exprs, DeeplyParenthesizedSourceChecks) {
    // 1 + (1 + (1 + ...)) with 200 levels of parentheses, written as source.
    std::string value = "1";
    for (int i = 0; i < 200; ++i) value = "1 + (" + value + ")";
    testing::expect_ok("let x: Int = " + value + "\n");
}

}  // namespace
}  // namespace quellin::typeck
