// Statement checking: bindings, assignment and mutability, control flow, loops, match, tests and asserts,
// and where declarations may appear.
#include <optional>
#include <string>
#include <utility>
#include <variant>

#include "check/checker.hpp"

namespace quellin::typeck {

namespace {

// Opens a scope for a block, a loop or a match arm, and closes it again however the check ends.
class ScopeGuard {
public:
    explicit ScopeGuard(Checker& c) : c_(c) { c_.scopes.emplace_back(); }
    ~ScopeGuard() { c_.scopes.pop_back(); }
    ScopeGuard(const ScopeGuard&) = delete;
    ScopeGuard& operator=(const ScopeGuard&) = delete;

private:
    Checker& c_;
};

class LoopGuard {
public:
    explicit LoopGuard(Checker& c) : c_(c) { ++c_.loop_depth; }
    ~LoopGuard() { --c_.loop_depth; }
    LoopGuard(const LoopGuard&) = delete;
    LoopGuard& operator=(const LoopGuard&) = delete;

private:
    Checker& c_;
};

// A test body sees none of the top-level variables: the top-level stack is parked for its duration.
class TestBodyGuard {
public:
    explicit TestBodyGuard(Checker& c) : c_(c) {
        c_.park_top_level_scopes();
        c_.in_test = true;
    }
    ~TestBodyGuard() {
        c_.in_test = false;
        c_.restore_top_level_scopes();
    }
    TestBodyGuard(const TestBodyGuard&) = delete;
    TestBodyGuard& operator=(const TestBodyGuard&) = delete;

private:
    Checker& c_;
};

// Declarations belong to the file's top level. A test body also starts from a fresh single scope with no
// result type, but it is a block like any other for this rule, so it is excluded explicitly.
bool declarations_allowed(const Checker& c) { return c.at_top_level() && !c.in_test; }

// The element type a `for` loop binds for each iterable type, or nothing for types it cannot iterate.
std::optional<Type> for_element_type(const Type& iterable) {
    switch (iterable.kind) {
        case Type::Kind::List:
        case Type::Kind::Set:
        case Type::Kind::Map:
            return iterable.elem();
        case Type::Kind::Text:
            return Type::text();
        case Type::Kind::Bytes:
            return Type::int_();
        default:
            return std::nullopt;
    }
}

// Routes each statement kind to its check.
class StmtRouter {
public:
    StmtRouter(Checker& c, Span pos) : c_(c), pos_(pos) {}

    Status operator()(const ast::StmtKind::Let& s) const {
        return c_.check_binding(s.name, s.ty, s.value, false, pos_);
    }
    Status operator()(const ast::StmtKind::Mut& s) const {
        return c_.check_binding(s.name, s.ty, s.value, true, pos_);
    }
    Status operator()(const ast::StmtKind::Assign& s) const { return c_.check_assign(s); }
    Status operator()(const ast::StmtKind::FnDecl& s) const { return c_.check_nested_fn(s, pos_); }
    Status operator()(const ast::StmtKind::RecordDecl& s) const {
        return c_.check_declaration_placement(TypeDiag::NestedRecord, s.name, pos_);
    }
    Status operator()(const ast::StmtKind::EnumDecl& s) const {
        return c_.check_declaration_placement(TypeDiag::NestedEnum, s.name, pos_);
    }
    Status operator()(const ast::StmtKind::Import& s) const {
        return c_.check_declaration_placement(TypeDiag::NestedImport, s.module, pos_);
    }
    Status operator()(const ast::StmtKind::Test& s) const { return c_.check_test(s, pos_); }
    Status operator()(const ast::StmtKind::Assert& s) const { return c_.check_assert(s); }
    Status operator()(const ast::StmtKind::Match& s) const { return c_.check_match(s, pos_); }
    Status operator()(const ast::StmtKind::Return& s) const { return c_.check_return(s, pos_); }
    Status operator()(const ast::StmtKind::Break&) const {
        return c_.check_loop_exit(TypeDiag::BreakOutsideLoop, pos_);
    }
    Status operator()(const ast::StmtKind::Continue&) const {
        return c_.check_loop_exit(TypeDiag::ContinueOutsideLoop, pos_);
    }
    Status operator()(const ast::StmtKind::If& s) const { return c_.check_if(s); }
    Status operator()(const ast::StmtKind::While& s) const { return c_.check_while(s); }
    Status operator()(const ast::StmtKind::For& s) const { return c_.check_for(s, pos_); }
    Status operator()(const ast::StmtKind::Expr& s) const { return c_.check_expr_stmt(s); }

private:
    Checker& c_;
    Span pos_;
};

}  // namespace

Status Checker::check_stmt(const ast::Stmt& stmt) { return ast::visit_kind(StmtRouter(*this, stmt.span), stmt.kind.v); }

Status Checker::check_block(const ast::Block& block) {
    const ScopeGuard scope(*this);
    return check_stmts(block);
}

Status Checker::check_stmts(const ast::Block& block) {
    for (const ast::Stmt& stmt : block.stmts) QN_TRY(check_stmt(stmt));
    return {};
}

Status Checker::check_condition(const ast::Expr& cond) {
    QN_TRY_ASSIGN(const Type ty, check_expr(cond, std::nullopt));
    if (ty.is(Type::Kind::Bool)) return {};
    return fail(TypeDiag::ConditionNotBool, cond.span, ty);
}

Status Checker::check_binding(const std::string& name, const std::optional<ast::Box<ast::TypeExpr>>& annotation,
                              const ast::Expr& value, bool is_mutable, Span pos) {
    std::optional<Type> declared;
    if (annotation) {
        QN_TRY_ASSIGN(declared, resolve_type(annotation->get()));
    }
    QN_TRY_ASSIGN(Type found, check_expr(value, declared));
    if (found.is(Type::Kind::Void)) return fail(TypeDiag::BindVoid, value.span);
    return declare(name, declared ? std::move(*declared) : std::move(found), is_mutable, pos);
}

Status Checker::check_assign(const ast::StmtKind::Assign& assign) {
    if (const auto* id = ast::as<ast::ExprKind::Ident>(assign.target)) return check_assign_to_name(id->name, assign);
    if (ast::as<ast::ExprKind::Index>(assign.target) || ast::as<ast::ExprKind::Field>(assign.target)) {
        return check_assign_into(assign);
    }
    return fail(TypeDiag::AssignToExpression, assign.target.span);
}

Status Checker::check_assign_to_name(const std::string& name, const ast::StmtKind::Assign& assign) {
    const Span pos = assign.target.span;
    if (const VarInfo* var = lookup(name)) {
        if (captured_in_lambda(name)) return fail(TypeDiag::AssignToCaptured, pos, name);
        if (!var->is_mutable) return fail(TypeDiag::AssignToImmutable, pos, name);
        const Type target = var->ty;
        QN_TRY(check_expr(assign.value, target));
        return {};
    }
    if (fns.contains(name)) return fail(TypeDiag::AssignToFunction, pos, name);
    if (in_outer_scopes(name)) return fail(TypeDiag::TopLevelVariableInFunction, pos, name);
    return fail(TypeDiag::UnknownAssignTarget, pos, name);
}

Status Checker::check_assign_into(const ast::StmtKind::Assign& assign) {
    const Span pos = assign.target.span;
    const std::optional<std::string> root = root_ident(assign.target);
    if (!root) return fail(TypeDiag::AssignIntoUnnamed, pos);
    if (const VarInfo* var = lookup(*root)) {
        if (captured_in_lambda(*root)) return fail(TypeDiag::AssignToCaptured, pos, *root);
        if (!var->is_mutable) return fail(TypeDiag::ModifyImmutable, pos, *root);
        QN_TRY_ASSIGN(const Type slot, check_expr(assign.target, std::nullopt));
        QN_TRY(check_expr(assign.value, slot));
        return {};
    }
    if (ret && in_outer_scopes(*root)) return fail(TypeDiag::TopLevelVariableInFunction, pos, *root);
    return fail(TypeDiag::UnknownAssignTarget, pos, *root);
}

Status Checker::check_nested_fn(const ast::StmtKind::FnDecl& decl, Span pos) {
    if (declarations_allowed(*this)) return check_fn(decl, pos);
    return fail(TypeDiag::NestedFunction, pos, decl.name);
}

Status Checker::check_declaration_placement(TypeDiag nested, const std::string& name, Span pos) const {
    if (declarations_allowed(*this)) return {};
    return fail(nested, pos, name);
}

Status Checker::check_test(const ast::StmtKind::Test& test, Span pos) {
    if (!declarations_allowed(*this)) return fail(TypeDiag::NestedTest, pos, test.name);
    if (!tests.insert(test.name).second) return fail(TypeDiag::TestDeclaredTwice, pos, test.name);
    const TestBodyGuard test_body(*this);
    return check_stmts(test.body);
}

Status Checker::check_assert(const ast::StmtKind::Assert& assert_stmt) {
    QN_TRY_ASSIGN(const Type ty, check_expr(assert_stmt.cond, std::nullopt));
    if (ty.is(Type::Kind::Bool)) return {};
    return fail(TypeDiag::AssertNotBool, assert_stmt.cond.span, ty);
}

Status Checker::check_match(const ast::StmtKind::Match& match, Span pos) {
    QN_TRY_ASSIGN(const Type subject, check_expr(match.subject, std::nullopt));
    if (subject.is(Type::Kind::Void)) return fail(TypeDiag::MatchOnVoid, match.subject.span);
    for (const ast::MatchArm& arm : match.arms) QN_TRY(check_match_arm(arm, subject));
    if (match_exhaustive(subject, match.arms)) return {};
    return fail(TypeDiag::MatchNotExhaustive, pos, subject, missing_cases_hint(subject, match.arms));
}

Status Checker::check_match_arm(const ast::MatchArm& arm, const Type& subject) {
    // The pattern's bindings, the guard and the body's locals share one scope.
    const ScopeGuard scope(*this);
    QN_TRY(check_pattern(arm.pattern, subject));
    if (arm.guard) {
        QN_TRY_ASSIGN(const Type guard, check_expr(*arm.guard, std::nullopt));
        if (!guard.is(Type::Kind::Bool)) return fail(TypeDiag::GuardNotBool, arm.guard->span, guard);
    }
    for (const ast::Stmt& stmt : arm.body.stmts) QN_TRY(check_stmt(stmt));
    return {};
}

Status Checker::check_return(const ast::StmtKind::Return& return_stmt, Span pos) {
    if (!ret) return fail(TypeDiag::ReturnOutsideFunction, pos);
    // A copy: checking the value may swap `ret` for a block lambda's own result type and back.
    const Type expected = *ret;
    if (return_stmt.value) {
        QN_TRY(check_expr(*return_stmt.value, expected));
        return {};
    }
    if (expected.is(Type::Kind::Void)) return {};
    return fail(TypeDiag::ReturnWithoutValue, pos, expected);
}

Status Checker::check_loop_exit(TypeDiag outside_loop, Span pos) const {
    if (loop_depth == 0) return fail(outside_loop, pos);
    return {};
}

Status Checker::check_if(const ast::StmtKind::If& if_stmt) {
    for (const ast::IfBranch& branch : if_stmt.branches) {
        QN_TRY(check_condition(branch.cond));
        QN_TRY(check_block(branch.block));
    }
    if (if_stmt.else_block) return check_block(*if_stmt.else_block);
    return {};
}

Status Checker::check_while(const ast::StmtKind::While& while_stmt) {
    QN_TRY(check_condition(while_stmt.cond));
    const LoopGuard loop(*this);
    return check_block(while_stmt.body);
}

Status Checker::check_for(const ast::StmtKind::For& for_stmt, Span pos) {
    QN_TRY_ASSIGN(const Type iterable, check_expr(for_stmt.iter, std::nullopt));
    std::optional<Type> elem = for_element_type(iterable);
    if (!elem) return fail(TypeDiag::ForOverNonIterable, for_stmt.iter.span, iterable);
    const ScopeGuard scope(*this);
    QN_TRY(declare(for_stmt.var, std::move(*elem), false, pos));
    const LoopGuard loop(*this);
    return check_stmts(for_stmt.body);
}

Status Checker::check_expr_stmt(const ast::StmtKind::Expr& expr_stmt) {
    QN_TRY_ASSIGN(const Type ty, check_expr(expr_stmt.expr, std::nullopt));
    if (ty.is(Type::Kind::Void)) return {};
    return fail(TypeDiag::ResultDiscarded, expr_stmt.expr.span, ty);
}

}  // namespace quellin::typeck
