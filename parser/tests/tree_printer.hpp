#pragma once
// A compact, S-expression-like rendering of syntax trees, so that tests can state a tree's shape in one
// line: `1 + 2 * 3` shows as `(+ 1 (* 2 3))`. With spans on, every node is followed by `@line:col`.

#include <charconv>
#include <string>
#include <type_traits>
#include <variant>

#include "ast/ast.hpp"
#include "parser/parser.hpp"

namespace quellin::test {

class TreePrinter {
public:
    explicit TreePrinter(bool spans) : spans_(spans) {}

    std::string program(const ast::Program& p) {
        std::string out;
        for (const ast::Stmt& s : p.stmts) {
            if (!out.empty()) out += '\n';
            out += stmt(s);
        }
        return out;
    }

    std::string stmt(const ast::Stmt& s) {
        return ast::visit_kind([&](const auto& k) { return stmt_kind(k); }, s.kind.v) + at(s.span);
    }

    std::string expr(const ast::Expr& e) {
        return ast::visit_kind([&](const auto& k) { return expr_kind(k); }, e.kind.v) + at(e.span);
    }

    std::string pattern(const ast::Pattern& p) {
        return ast::visit_kind([&](const auto& k) { return pattern_kind(k); }, p.kind.v) + at(p.span);
    }

    std::string type(const ast::TypeExpr& t) {
        return ast::visit_kind([&](const auto& k) { return type_kind(k); }, t.kind.v) + at(t.span);
    }

private:
    std::string at(Span s) const {
        if (!spans_) return "";
        return "@" + std::to_string(s.line) + ":" + std::to_string(s.col);
    }

    std::string block(const ast::Block& b) { return stmts(b.stmts); }

    std::string stmts(const ast::Vec<ast::Stmt>& list) {
        std::string out = "{";
        for (const ast::Stmt& s : list) out += (out.size() > 1 ? "; " : "") + stmt(s);
        return out + "}";
    }

    std::string exprs(const ast::Vec<ast::Expr>& list) {
        std::string out;
        for (const ast::Expr& e : list) {
            out += ' ';
            out += expr(e);
        }
        return out;
    }

    std::string fields(const ast::FieldInits& list) {
        std::string out;
        for (const ast::FieldInit& f : list) out += " " + f.name + "=" + expr(f.value);
        return out;
    }

    std::string params(const ast::Vec<ast::Param>& list) {
        std::string out = "(";
        for (const ast::Param& p : list) out += (out.size() > 1 ? ", " : "") + p.name + at(p.span) + ": " + type(p.ty);
        return out + ")";
    }

    std::string names(const std::vector<std::string>& list) {
        if (list.empty()) return "";
        std::string out = "[";
        for (const std::string& n : list) out += (out.size() > 1 ? ", " : "") + n;
        return out + "]";
    }

    std::string types(const ast::Vec<ast::TypeExpr>& list) {
        std::string out;
        for (const ast::TypeExpr& t : list) out += (out.empty() ? "" : ", ") + type(t);
        return out;
    }

    static std::string quoted(const std::string& s) { return "\"" + s + "\""; }

    static std::string decl_flags(const std::optional<std::string>& doc, bool is_pub) {
        std::string out;
        if (is_pub) out += " pub";
        if (doc) out += " doc=" + quoted(*doc);
        return out;
    }

    static const char* op_text(ast::BinaryOp op) {
        static constexpr const char* texts[] = {"+", "-", "*", "/", "%", "==", "!=", "<", "<=", ">", ">=", "and", "or"};
        return texts[static_cast<int>(op)];
    }

    // ---- Statements ----
    std::string stmt_kind(const ast::StmtKind::Let& s) { return binding("let", s.name, s.ty, s.value); }
    std::string stmt_kind(const ast::StmtKind::Mut& s) { return binding("mut", s.name, s.ty, s.value); }
    std::string binding(const char* kw, const std::string& name, const std::optional<ast::Box<ast::TypeExpr>>& ty,
                        const ast::Expr& value) {
        return std::string("(") + kw + " " + name + (ty ? ": " + type(ty->get()) : "") + " " + expr(value) + ")";
    }
    std::string stmt_kind(const ast::StmtKind::Assign& s) {
        return "(assign " + expr(s.target) + " " + expr(s.value) + ")";
    }
    std::string stmt_kind(const ast::StmtKind::FnDecl& s) {
        std::string out = "(fn";
        if (s.is_async) out += " async";
        out +=
            decl_flags(s.doc, s.is_pub) + " " + s.name + names(s.type_params) + params(s.params) + " -> " + type(s.ret);
        if (const auto* b = std::get_if<ast::FnBody::Block>(&s.body.v)) return out + " " + block(b->block) + ")";
        return out + " = " + expr(std::get<ast::FnBody::Expr>(s.body.v).expr) + ")";
    }
    std::string stmt_kind(const ast::StmtKind::RecordDecl& s) {
        std::string out = "(record" + decl_flags(s.doc, s.is_pub) + " " + s.name + names(s.type_params);
        for (const ast::FieldDef& f : s.fields) out += " " + f.name + at(f.span) + ": " + type(f.ty);
        return out + ")";
    }
    std::string stmt_kind(const ast::StmtKind::EnumDecl& s) {
        std::string out = "(enum" + decl_flags(s.doc, s.is_pub) + " " + s.name + names(s.type_params);
        for (const ast::VariantDef& v : s.variants) {
            out += " " + v.name + at(v.span);
            if (v.fields.empty()) continue;
            out += "(";
            for (size_t i = 0; i < v.fields.size(); ++i) {
                out += (i ? ", " : "") + v.fields[i].name + at(v.fields[i].span) + ": " + type(v.fields[i].ty);
            }
            out += ")";
        }
        return out + ")";
    }
    std::string stmt_kind(const ast::StmtKind::Import& s) { return "(import " + s.module + ")"; }
    std::string stmt_kind(const ast::StmtKind::Test& s) {
        return "(test " + quoted(s.name) + " " + block(s.body) + ")";
    }
    std::string stmt_kind(const ast::StmtKind::Assert& s) { return "(assert " + expr(s.cond) + ")"; }
    std::string stmt_kind(const ast::StmtKind::Match& s) {
        std::string out = "(match " + expr(s.subject);
        for (const ast::MatchArm& a : s.arms) {
            out += " (case" + at(a.span) + " " + pattern(a.pattern);
            if (a.guard) out += " if " + expr(*a.guard);
            out += " " + block(a.body) + ")";
        }
        return out + ")";
    }
    std::string stmt_kind(const ast::StmtKind::Return& s) {
        return s.value ? "(return " + expr(*s.value) + ")" : "(return)";
    }
    std::string stmt_kind(const ast::StmtKind::Break&) { return "(break)"; }
    std::string stmt_kind(const ast::StmtKind::Continue&) { return "(continue)"; }
    std::string stmt_kind(const ast::StmtKind::If& s) {
        std::string out = "(if";
        for (const ast::IfBranch& b : s.branches) out += " " + expr(b.cond) + " " + block(b.block);
        if (s.else_block) out += " else " + block(*s.else_block);
        return out + ")";
    }
    std::string stmt_kind(const ast::StmtKind::While& s) {
        return "(while " + expr(s.cond) + " " + block(s.body) + ")";
    }
    std::string stmt_kind(const ast::StmtKind::For& s) {
        return "(for " + s.var + " " + expr(s.iter) + " " + block(s.body) + ")";
    }
    std::string stmt_kind(const ast::StmtKind::Expr& s) { return expr(s.expr); }

    // ---- Expressions ----
    std::string expr_kind(const ast::ExprKind::Int& e) { return std::to_string(e.value); }
    std::string expr_kind(const ast::ExprKind::Float& e) {
        char buf[64];
        const auto res = std::to_chars(buf, buf + sizeof buf, e.value);
        return std::string(buf, res.ptr) + "f";
    }
    std::string expr_kind(const ast::ExprKind::Bool& e) { return e.value ? "true" : "false"; }
    std::string expr_kind(const ast::ExprKind::Text& e) {
        std::string out = "(text";
        for (const ast::TextPart& p : e.parts) {
            if (const auto* lit = std::get_if<ast::TextPart::Lit>(&p.v)) {
                out += " " + quoted(lit->text);
            } else {
                out += " {" + expr(*std::get<ast::TextPart::Expr>(p.v).expr) + "}";
            }
        }
        return out + ")";
    }
    std::string expr_kind(const ast::ExprKind::Unit&) { return "()"; }
    std::string expr_kind(const ast::ExprKind::Ident& e) { return e.name; }
    std::string expr_kind(const ast::ExprKind::Construct& e) { return "(construct " + e.name + fields(e.fields) + ")"; }
    std::string expr_kind(const ast::ExprKind::VariantConstruct& e) {
        return "(variant " + (e.module ? *e.module + "." : "") + e.enum_name + "." + e.variant + fields(e.fields) + ")";
    }
    std::string expr_kind(const ast::ExprKind::List& e) { return "(list" + exprs(e.items) + ")"; }
    std::string expr_kind(const ast::ExprKind::Map& e) {
        std::string out = "(map";
        for (const ast::MapEntry& m : e.entries) out += " " + expr(m.key) + ":" + expr(m.value);
        return out + ")";
    }
    std::string expr_kind(const ast::ExprKind::Set& e) { return "(set" + exprs(e.items) + ")"; }
    std::string expr_kind(const ast::ExprKind::Tuple& e) { return "(tuple" + exprs(e.items) + ")"; }
    std::string expr_kind(const ast::ExprKind::With& e) { return "(with " + expr(*e.base) + fields(e.fields) + ")"; }
    std::string expr_kind(const ast::ExprKind::Unary& e) {
        return std::string(e.op == ast::UnaryOp::Neg ? "(neg " : "(not ") + expr(*e.operand) + ")";
    }
    std::string expr_kind(const ast::ExprKind::Binary& e) {
        return std::string("(") + op_text(e.op) + " " + expr(e.lhs()) + " " + expr(e.rhs()) + ")";
    }
    std::string expr_kind(const ast::ExprKind::Lambda& e) {
        return "(lambda " + params(e.params) + " -> " + type(e.ret) + " " + expr(*e.body) + ")";
    }
    std::string expr_kind(const ast::ExprKind::BlockLambda& e) {
        return "(block-lambda " + params(e.params) + " -> " + type(e.ret) + " " + stmts(e.body) + ")";
    }
    std::string expr_kind(const ast::ExprKind::Call& e) { return "(call " + expr(*e.callee) + exprs(e.args) + ")"; }
    std::string expr_kind(const ast::ExprKind::Index& e) {
        return "(index " + expr(*e.base) + " " + expr(*e.index) + ")";
    }
    std::string expr_kind(const ast::ExprKind::Field& e) { return "(. " + expr(*e.base) + " " + e.name + ")"; }
    std::string expr_kind(const ast::ExprKind::Try& e) { return "(? " + expr(*e.operand) + ")"; }

    // ---- Patterns ----
    std::string pattern_fields(const ast::FieldPatterns& list) {
        std::string out;
        for (const ast::FieldPattern& f : list) out += " " + f.name + "=" + pattern(f.pattern);
        return out;
    }
    std::string pattern_kind(const ast::PatternKind::Wildcard&) { return "_"; }
    std::string pattern_kind(const ast::PatternKind::Name& p) { return p.name; }
    std::string pattern_kind(const ast::PatternKind::Int& p) { return std::to_string(p.value); }
    std::string pattern_kind(const ast::PatternKind::Bool& p) { return p.value ? "true" : "false"; }
    std::string pattern_kind(const ast::PatternKind::Text& p) { return quoted(p.value); }
    std::string pattern_kind(const ast::PatternKind::Constructor& p) {
        return "(ctor " + p.name + (p.inner ? " " + pattern(**p.inner) : "") + ")";
    }
    std::string pattern_kind(const ast::PatternKind::Record& p) {
        return "(record " + p.name + pattern_fields(p.fields) + ")";
    }
    std::string pattern_kind(const ast::PatternKind::Variant& p) {
        return "(variant " + (p.module ? *p.module + "." : "") + p.enum_name + "." + p.variant +
               pattern_fields(p.fields) + ")";
    }

    // ---- Types ----
    std::string type_kind(const ast::TypeExprKind::Named& t) {
        return t.name + (t.args.empty() ? "" : "[" + types(t.args) + "]");
    }
    std::string type_kind(const ast::TypeExprKind::Fn& t) { return "fn(" + types(t.params) + ") -> " + type(*t.ret); }
    std::string type_kind(const ast::TypeExprKind::Qualified& t) {
        return t.module + "." + t.name + (t.args.empty() ? "" : "[" + types(t.args) + "]");
    }

    bool spans_;
};

// The tree of `source`, or "error: <message> @line:col".
inline std::string parse_shape(std::string_view source, bool spans = false) {
    auto program = parse(source);
    if (!program) {
        const ParseError& e = program.error();
        return "error: " + e.message + " @" + std::to_string(e.span.line) + ":" + std::to_string(e.span.col);
    }
    return TreePrinter(spans).program(*program);
}

}  // namespace quellin::test
