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

class StmtChecker {
public:
    StmtChecker(Checker& c, const ast::Stmt& stmt) : c_(c), stmt_(stmt) {}

    Status operator()(const ast::StmtKind::Let& s) { return binding(s.name, s.ty, s.value, false); }
    Status operator()(const ast::StmtKind::Mut& s) { return binding(s.name, s.ty, s.value, true); }

    Status operator()(const ast::StmtKind::Assign& s) {
        if (const auto* id = ast::as<ast::ExprKind::Ident>(s.target)) return assign_name(id->name, s);
        if (ast::as<ast::ExprKind::Index>(s.target) || ast::as<ast::ExprKind::Field>(s.target)) {
            return assign_into(s);
        }
        return fail(TypeDiag::AssignToExpression, s.target.span);
    }

    Status operator()(const ast::StmtKind::FnDecl& s) {
        if (declarations_allowed(c_)) return c_.check_fn(s, stmt_.span);
        return fail_here(TypeDiag::NestedFunction, s.name);
    }

    Status operator()(const ast::StmtKind::RecordDecl& s) {
        if (declarations_allowed(c_)) return {};
        return fail_here(TypeDiag::NestedRecord, s.name);
    }

    Status operator()(const ast::StmtKind::EnumDecl& s) {
        if (declarations_allowed(c_)) return {};
        return fail_here(TypeDiag::NestedEnum, s.name);
    }

    Status operator()(const ast::StmtKind::Import& s) {
        if (declarations_allowed(c_)) return {};
        return fail_here(TypeDiag::NestedImport, s.module);
    }

    Status operator()(const ast::StmtKind::Test& s) {
        if (!declarations_allowed(c_)) return fail_here(TypeDiag::NestedTest, s.name);
        if (!c_.tests.insert(s.name).second) return fail_here(TypeDiag::TestDeclaredTwice, s.name);
        const TestBodyGuard test_body(c_);
        return c_.check_stmts(s.body);
    }

    Status operator()(const ast::StmtKind::Assert& s) {
        QN_TRY_ASSIGN(const Type ty, c_.check_expr(s.cond, std::nullopt));
        if (ty.is(Type::Kind::Bool)) return {};
        return fail(TypeDiag::AssertNotBool, s.cond.span, ty);
    }

    Status operator()(const ast::StmtKind::Match& s) {
        QN_TRY_ASSIGN(const Type subject, c_.check_expr(s.subject, std::nullopt));
        if (subject.is(Type::Kind::Void)) return fail(TypeDiag::MatchOnVoid, s.subject.span);
        for (const ast::MatchArm& arm : s.arms) QN_TRY(match_arm(arm, subject));
        if (c_.match_exhaustive(subject, s.arms)) return {};
        return fail_here(TypeDiag::MatchNotExhaustive, subject, c_.missing_cases_hint(subject, s.arms));
    }

    Status operator()(const ast::StmtKind::Return& s) {
        if (!c_.ret) return fail_here(TypeDiag::ReturnOutsideFunction);
        // A copy: checking the value may swap `ret` for a block lambda's own result type and back.
        const Type ret = *c_.ret;
        if (s.value) {
            QN_TRY(c_.check_expr(*s.value, ret));
            return {};
        }
        if (ret.is(Type::Kind::Void)) return {};
        return fail_here(TypeDiag::ReturnWithoutValue, ret);
    }

    Status operator()(const ast::StmtKind::Break&) {
        if (c_.loop_depth == 0) return fail_here(TypeDiag::BreakOutsideLoop);
        return {};
    }

    Status operator()(const ast::StmtKind::Continue&) {
        if (c_.loop_depth == 0) return fail_here(TypeDiag::ContinueOutsideLoop);
        return {};
    }

    Status operator()(const ast::StmtKind::If& s) {
        for (const ast::IfBranch& branch : s.branches) {
            QN_TRY(c_.check_condition(branch.cond));
            QN_TRY(c_.check_block(branch.block));
        }
        if (s.else_block) return c_.check_block(*s.else_block);
        return {};
    }

    Status operator()(const ast::StmtKind::While& s) {
        QN_TRY(c_.check_condition(s.cond));
        const LoopGuard loop(c_);
        return c_.check_block(s.body);
    }

    Status operator()(const ast::StmtKind::For& s) {
        QN_TRY_ASSIGN(const Type iterable, c_.check_expr(s.iter, std::nullopt));
        std::optional<Type> elem = for_element_type(iterable);
        if (!elem) return fail(TypeDiag::ForOverNonIterable, s.iter.span, iterable);
        const ScopeGuard scope(c_);
        QN_TRY(c_.declare(s.var, std::move(*elem), false, stmt_.span));
        const LoopGuard loop(c_);
        return c_.check_stmts(s.body);
    }

    Status operator()(const ast::StmtKind::Expr& s) {
        QN_TRY_ASSIGN(const Type ty, c_.check_expr(s.expr, std::nullopt));
        if (ty.is(Type::Kind::Void)) return {};
        return fail(TypeDiag::ResultDiscarded, s.expr.span, ty);
    }

private:
    // The error `kind` at the statement.
    template <class... Args>
    Status fail_here(TypeDiag kind, const Args&... args) const {
        return fail(kind, stmt_.span, args...);
    }

    Status binding(const std::string& name, const std::optional<ast::Box<ast::TypeExpr>>& annotation,
                   const ast::Expr& value, bool is_mutable) {
        std::optional<Type> declared;
        if (annotation) {
            QN_TRY_ASSIGN(declared, c_.resolve_type(annotation->get()));
        }
        QN_TRY_ASSIGN(Type found, c_.check_expr(value, declared));
        if (found.is(Type::Kind::Void)) return fail(TypeDiag::BindVoid, value.span);
        return c_.declare(name, declared ? std::move(*declared) : std::move(found), is_mutable, stmt_.span);
    }

    Status assign_name(const std::string& name, const ast::StmtKind::Assign& s) {
        const Span pos = s.target.span;
        if (const VarInfo* var = c_.lookup(name)) {
            if (c_.captured_in_lambda(name)) return fail(TypeDiag::AssignToCaptured, pos, name);
            if (!var->is_mutable) return fail(TypeDiag::AssignToImmutable, pos, name);
            const Type target = var->ty;
            QN_TRY(c_.check_expr(s.value, target));
            return {};
        }
        if (c_.fns.contains(name)) return fail(TypeDiag::AssignToFunction, pos, name);
        if (c_.in_outer_scopes(name)) return fail(TypeDiag::TopLevelVariableInFunction, pos, name);
        return fail(TypeDiag::UnknownAssignTarget, pos, name);
    }

    // Element and field assignment: the variable at the root of the access chain must be mutable.
    Status assign_into(const ast::StmtKind::Assign& s) {
        const Span pos = s.target.span;
        const std::optional<std::string> root = root_ident(s.target);
        if (!root) return fail(TypeDiag::AssignIntoUnnamed, pos);
        if (const VarInfo* var = c_.lookup(*root)) {
            if (c_.captured_in_lambda(*root)) return fail(TypeDiag::AssignToCaptured, pos, *root);
            if (!var->is_mutable) return fail(TypeDiag::ModifyImmutable, pos, *root);
            QN_TRY_ASSIGN(const Type slot, c_.check_expr(s.target, std::nullopt));
            QN_TRY(c_.check_expr(s.value, slot));
            return {};
        }
        if (c_.ret && c_.in_outer_scopes(*root)) return fail(TypeDiag::TopLevelVariableInFunction, pos, *root);
        return fail(TypeDiag::UnknownAssignTarget, pos, *root);
    }

    Status match_arm(const ast::MatchArm& arm, const Type& subject) {
        // The pattern's bindings, the guard and the body's locals share one scope.
        const ScopeGuard scope(c_);
        QN_TRY(c_.check_pattern(arm.pattern, subject));
        if (arm.guard) {
            QN_TRY_ASSIGN(const Type guard, c_.check_expr(*arm.guard, std::nullopt));
            if (!guard.is(Type::Kind::Bool)) return fail(TypeDiag::GuardNotBool, arm.guard->span, guard);
        }
        for (const ast::Stmt& stmt : arm.body.stmts) QN_TRY(c_.check_stmt(stmt));
        return {};
    }

    Checker& c_;
    const ast::Stmt& stmt_;
};

}  // namespace

Status Checker::check_stmt(const ast::Stmt& stmt) { return ast::visit_kind(StmtChecker(*this, stmt), stmt.kind.v); }

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

}  // namespace quellin::typeck
