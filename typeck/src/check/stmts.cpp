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

TypeError captured_err(const std::string& name, Span pos) {
    return err("'" + name +
                   "' is captured by value in this lambda — mutating it would only change the lambda's copy; "
                   "produce the result via the return value instead",
               pos);
}

TypeError top_level_var_err(const std::string& name, Span pos) {
    return err("'" + name +
                   "' is a top-level variable — functions only see their parameters and locals in QUELLIN; "
                   "pass it as a parameter",
               pos);
}

TypeError unknown_assign_target_err(const std::string& name, Span pos) {
    return err("unknown name '" + name + "' — declare it first with 'let' or 'mut'", pos);
}

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
        return unexpected(
            err("cannot assign to this expression — assignment targets are names, fields, or index slots",
                s.target.span));
    }

    Status operator()(const ast::StmtKind::FnDecl& s) {
        if (declarations_allowed(c_)) return c_.check_fn(s, stmt_.span);
        return fail("nested functions are not supported in v0.1 — declare '" + s.name + "' at the top level");
    }

    Status operator()(const ast::StmtKind::RecordDecl& s) {
        if (declarations_allowed(c_)) return {};
        return fail("records are declared at the top level — move '" + s.name + "' out of this block");
    }

    Status operator()(const ast::StmtKind::EnumDecl& s) {
        if (declarations_allowed(c_)) return {};
        return fail("enums are declared at the top level — move '" + s.name + "' out of this block");
    }

    Status operator()(const ast::StmtKind::Import& s) {
        if (declarations_allowed(c_)) return {};
        return fail("imports live at the top of the file — move 'import " + s.module + "' out of this block");
    }

    Status operator()(const ast::StmtKind::Test& s) {
        if (!declarations_allowed(c_)) {
            return fail("tests are declared at the top level — move \"" + s.name + "\" out of this block");
        }
        if (!c_.tests.insert(s.name).second) {
            return fail("test \"" + s.name +
                        "\" is declared twice — test names are unique so failures point at one block");
        }
        const TestBodyGuard test_body(c_);
        return c_.check_stmts(s.body);
    }

    Status operator()(const ast::StmtKind::Assert& s) {
        QN_TRY_ASSIGN(const Type ty, c_.check_expr(s.cond, std::nullopt));
        if (ty.is(Type::Kind::Bool)) return {};
        return unexpected(err("assert needs a Bool, found " + ty.to_string() +
                                  " — QUELLIN has no truthiness; write an explicit comparison",
                              s.cond.span));
    }

    Status operator()(const ast::StmtKind::Match& s) {
        QN_TRY_ASSIGN(const Type subject, c_.check_expr(s.subject, std::nullopt));
        if (subject.is(Type::Kind::Void)) {
            return unexpected(
                err("cannot match on a Void value — this expression produces no value", s.subject.span));
        }
        for (const ast::MatchArm& arm : s.arms) QN_TRY(match_arm(arm, subject));
        if (c_.match_exhaustive(subject, s.arms)) return {};
        return fail("this match on " + subject.to_string() + " is not exhaustive — cover " +
                    c_.missing_cases_hint(subject, s.arms) + " or finish with a 'case _:' arm");
    }

    Status operator()(const ast::StmtKind::Return& s) {
        if (!c_.ret) return fail("'return' outside a function");
        // A copy: checking the value may swap `ret` for a block lambda's own result type and back.
        const Type ret = *c_.ret;
        if (s.value) {
            QN_TRY(c_.check_expr(*s.value, ret));
            return {};
        }
        if (ret.is(Type::Kind::Void)) return {};
        return fail("this function returns " + ret.to_string() + " — 'return' needs a value");
    }

    Status operator()(const ast::StmtKind::Break&) {
        if (c_.loop_depth == 0) return fail("'break' outside a loop");
        return {};
    }

    Status operator()(const ast::StmtKind::Continue&) {
        if (c_.loop_depth == 0) return fail("'continue' outside a loop");
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
        if (!elem) {
            return unexpected(err("'for' iterates List, Set, Map (its keys), Text, or Bytes values, found " +
                                      iterable.to_string(),
                                  s.iter.span));
        }
        const ScopeGuard scope(c_);
        QN_TRY(c_.declare(s.var, std::move(*elem), false, stmt_.span));
        const LoopGuard loop(c_);
        return c_.check_stmts(s.body);
    }

    Status operator()(const ast::StmtKind::Expr& s) {
        QN_TRY_ASSIGN(const Type ty, c_.check_expr(s.expr, std::nullopt));
        if (ty.is(Type::Kind::Void)) return {};
        return unexpected(
            err("this " + ty.to_string() + " result is discarded — bind it with 'let' or return it", s.expr.span));
    }

private:
    Status fail(const std::string& message) const { return unexpected(err(message, stmt_.span)); }

    Status binding(const std::string& name, const std::optional<ast::Box<ast::TypeExpr>>& annotation,
                   const ast::Expr& value, bool is_mutable) {
        std::optional<Type> declared;
        if (annotation) {
            QN_TRY_ASSIGN(declared, c_.resolve_type(annotation->get()));
        }
        QN_TRY_ASSIGN(Type found, c_.check_expr(value, declared));
        if (found.is(Type::Kind::Void)) {
            return unexpected(err("cannot bind a Void value — this expression produces no value", value.span));
        }
        return c_.declare(name, declared ? std::move(*declared) : std::move(found), is_mutable, stmt_.span);
    }

    Status assign_name(const std::string& name, const ast::StmtKind::Assign& s) {
        const Span pos = s.target.span;
        if (const VarInfo* var = c_.lookup(name)) {
            if (c_.captured_in_lambda(name)) return unexpected(captured_err(name, pos));
            if (!var->is_mutable) {
                return unexpected(err("cannot assign to immutable '" + name + "' — declare it with 'mut " + name +
                                          " = ...' to allow reassignment",
                                      pos));
            }
            const Type target = var->ty;
            QN_TRY(c_.check_expr(s.value, target));
            return {};
        }
        if (c_.fns.contains(name)) return unexpected(err("cannot assign to function '" + name + "'", pos));
        if (c_.in_outer_scopes(name)) return unexpected(top_level_var_err(name, pos));
        return unexpected(unknown_assign_target_err(name, pos));
    }

    // Element and field assignment: the variable at the root of the access chain must be mutable.
    Status assign_into(const ast::StmtKind::Assign& s) {
        const Span pos = s.target.span;
        const std::optional<std::string> root = root_ident(s.target);
        if (!root) {
            return unexpected(err("cannot assign into this expression — element and field assignment need a named "
                                  "value at the root, e.g. xs[0] = 1 or user.name = \"x\"",
                                  pos));
        }
        if (const VarInfo* var = c_.lookup(*root)) {
            if (c_.captured_in_lambda(*root)) return unexpected(captured_err(*root, pos));
            if (!var->is_mutable) {
                return unexpected(err("cannot modify immutable '" + *root +
                                          "' — declare it with 'mut' to allow element or field assignment",
                                      pos));
            }
            QN_TRY_ASSIGN(const Type slot, c_.check_expr(s.target, std::nullopt));
            QN_TRY(c_.check_expr(s.value, slot));
            return {};
        }
        if (c_.ret && c_.in_outer_scopes(*root)) return unexpected(top_level_var_err(*root, pos));
        return unexpected(unknown_assign_target_err(*root, pos));
    }

    Status match_arm(const ast::MatchArm& arm, const Type& subject) {
        // The pattern's bindings, the guard and the body's locals share one scope.
        const ScopeGuard scope(c_);
        QN_TRY(c_.check_pattern(arm.pattern, subject));
        if (arm.guard) {
            QN_TRY_ASSIGN(const Type guard, c_.check_expr(*arm.guard, std::nullopt));
            if (!guard.is(Type::Kind::Bool)) {
                return unexpected(err("a guard must be Bool, found " + guard.to_string() +
                                          " — QUELLIN has no truthiness; write an explicit comparison",
                                      arm.guard->span));
            }
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
    return unexpected(err("condition must be Bool, found " + ty.to_string() +
                              " — QUELLIN has no truthiness; write an explicit comparison",
                          cond.span));
}

}  // namespace quellin::typeck
