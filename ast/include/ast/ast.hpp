#pragma once
// The syntax tree: a plain owned tree, deep-copyable, never changed after parsing.
// Every node carries the Span of its first token (binary nodes and postfix chains: their leftmost operand).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "ast/box.hpp"
#include "lexer/token.hpp"

namespace quellin::ast {

using quellin::Span;

struct Expr;
struct Stmt;
struct Pattern;
struct TypeExpr;

// ---- Type expressions ----

struct TypeExprKind {
    struct Named {
        std::string name;
        Vec<TypeExpr> args;
    };
    struct Fn {
        Vec<TypeExpr> params;
        Box<TypeExpr> ret;
    };
    struct Qualified {
        std::string module;
        std::string name;
        Vec<TypeExpr> args;
    };
    // A qualified name is the largest form, so it is held by pointer and a type expression is sized for a
    // plain name.
    std::variant<Named, Fn, Box<Qualified>> v;
};

struct TypeExpr {
    TypeExprKind kind;
    Span span;
};

// ---- Patterns ----

struct FieldPattern;  // (field name, pattern), defined after Pattern
using FieldPatterns = Vec<FieldPattern>;

struct PatternKind {
    struct Wildcard {};
    struct Name {
        std::string name;
    };
    struct Int {
        int64_t value;
    };
    struct Bool {
        bool value;
    };
    struct Text {
        std::string value;
    };
    // None (no inner pattern), Some(p), Ok(p), Err(p), or any Name(p).
    struct Constructor {
        std::string name;
        std::optional<Box<Pattern>> inner;
    };
    struct Record {
        std::string name;
        FieldPatterns fields;
    };
    struct Variant {
        std::string enum_name;
        std::string variant;
        FieldPatterns fields;
        std::optional<std::string> module;
    };
    // A variant pattern is the largest form, so it is held by pointer and a match arm stays small.
    std::variant<Wildcard, Name, Int, Bool, Text, Constructor, Record, Box<Variant>> v;
};

struct Pattern {
    PatternKind kind;
    Span span;
};

struct FieldPattern {
    std::string name;
    Pattern pattern;
};

// Structural equality: same variant, equal payloads, and equal spans for nested patterns.
bool operator==(const Pattern& a, const Pattern& b);
bool operator==(const PatternKind& a, const PatternKind& b);

// ---- Expressions ----

enum class UnaryOp : uint8_t { Neg, Not };
enum class BinaryOp : uint8_t { Add, Sub, Mul, Div, Mod, Eq, NotEq, Lt, LtEq, Gt, GtEq, And, Or };

struct Param {
    std::string name;
    TypeExpr ty;
    Span span;
};

struct TextPart {
    struct Lit {
        std::string text;
    };
    struct Expr {
        Box<ast::Expr> expr;
    };
    std::variant<Lit, Expr> v;
};

struct FieldInit;       // (field name, value), defined after Expr
struct MapEntry;        // (key, value), defined after Expr
struct BinaryOperands;  // (lhs, rhs), defined after Expr
using FieldInits = Vec<FieldInit>;

struct ExprKind {
    struct Int {
        int64_t value;
    };
    struct Float {
        double value;
    };
    struct Bool {
        bool value;
    };
    struct Text {
        Vec<TextPart> parts;
    };
    struct Unit {};
    struct Ident {
        std::string name;
    };
    struct Construct {
        std::string name;
        FieldInits fields;
    };
    struct VariantConstruct {
        std::string enum_name;
        std::string variant;
        FieldInits fields;
        std::optional<std::string> module;
    };
    struct List {
        Vec<ast::Expr> items;
    };
    struct Map {
        Vec<MapEntry> entries;
    };
    struct Set {
        Vec<ast::Expr> items;
    };
    struct Tuple {
        Vec<ast::Expr> items;
    };
    struct With {
        Box<ast::Expr> base;
        FieldInits fields;
    };
    struct Unary {
        UnaryOp op;
        Box<ast::Expr> operand;
    };
    // Both operands share one allocation: binary operations are the commonest node with two children.
    struct Binary {
        Binary(BinaryOp op, ast::Expr lhs, ast::Expr rhs);
        Binary(BinaryOp op, Box<BinaryOperands> operands);
        const ast::Expr& lhs() const;
        const ast::Expr& rhs() const;

        BinaryOp op;
        Box<BinaryOperands> operands;
    };
    struct Lambda {
        Vec<Param> params;
        TypeExpr ret;
        Box<ast::Expr> body;
    };
    struct BlockLambda {
        Vec<Param> params;
        TypeExpr ret;
        Vec<Stmt> body;
    };
    struct Call {
        Box<ast::Expr> callee;
        Vec<ast::Expr> args;
    };
    struct Index {
        Box<ast::Expr> base;
        Box<ast::Expr> index;
    };
    struct Field {
        Box<ast::Expr> base;
        std::string name;
    };
    struct Try {
        Box<ast::Expr> operand;
    };
    // The largest kinds are held by pointer, so that an Expr is sized for the common ones: every
    // argument list, operand and block holds Exprs by value. `as` and `visit_kind` see through the Box.
    std::variant<Int, Float, Bool, Text, Unit, Ident, Box<Construct>, Box<VariantConstruct>, List, Map, Set, Tuple,
                 With, Unary, Binary, Box<Lambda>, Box<BlockLambda>, Call, Index, Field, Try>
        v;
};

struct Expr {
    ExprKind kind;
    Span span;
};

struct FieldInit {
    std::string name;
    Expr value;
};

struct BinaryOperands {
    BinaryOperands(Expr&& left, Expr&& right);
    Expr lhs;
    Expr rhs;
};

struct MapEntry {
    Expr key;
    Expr value;
};

// Defined once every kind an expression may hold is complete, since moving an expression moves any of them.
inline BinaryOperands::BinaryOperands(Expr&& left, Expr&& right) : lhs(std::move(left)), rhs(std::move(right)) {}
inline ExprKind::Binary::Binary(BinaryOp op, Expr lhs, Expr rhs)
    : op(op), operands(std::in_place, std::move(lhs), std::move(rhs)) {}
inline ExprKind::Binary::Binary(BinaryOp op, Box<BinaryOperands> operands) : op(op), operands(std::move(operands)) {}
inline const Expr& ExprKind::Binary::lhs() const { return operands->lhs; }
inline const Expr& ExprKind::Binary::rhs() const { return operands->rhs; }

// ---- Statements ----

struct Block {
    Vec<Stmt> stmts;
};

// One `if` or `elif` branch: its condition and its block.
struct IfBranch {
    Expr cond;
    ast::Block block;
};

struct FnBody {
    struct Block {
        ast::Block block;
    };
    struct Expr {
        ast::Expr expr;
    };
    std::variant<Block, Expr> v;
};

struct FieldDef {
    std::string name;
    TypeExpr ty;
    Span span;
};

struct VariantDef {
    std::string name;
    Vec<FieldDef> fields;
    Span span;
};

struct MatchArm {
    Pattern pattern;
    std::optional<ast::Expr> guard;
    Block body;
    Span span;
};

struct StmtKind {
    // The annotation is held by pointer: most bindings have none, and a statement is sized for its
    // largest kind.
    struct Let {
        std::string name;
        std::optional<Box<TypeExpr>> ty;
        ast::Expr value;
    };
    struct Mut {
        std::string name;
        std::optional<Box<TypeExpr>> ty;
        ast::Expr value;
    };
    struct Assign {
        ast::Expr target;
        ast::Expr value;
    };
    struct FnDecl {
        std::string name;
        std::vector<std::string> type_params;
        Vec<Param> params;
        TypeExpr ret;
        FnBody body;
        std::optional<std::string> doc;
        bool is_pub = false;
        bool is_async = false;
    };
    struct RecordDecl {
        std::string name;
        std::vector<std::string> type_params;
        Vec<FieldDef> fields;
        std::optional<std::string> doc;
        bool is_pub = false;
    };
    struct EnumDecl {
        std::string name;
        std::vector<std::string> type_params;
        Vec<VariantDef> variants;
        std::optional<std::string> doc;
        bool is_pub = false;
    };
    struct Import {
        std::string module;
    };
    struct Test {
        std::string name;
        ast::Block body;
    };
    struct Assert {
        ast::Expr cond;
    };
    struct Match {
        ast::Expr subject;
        Vec<MatchArm> arms;
    };
    struct Return {
        std::optional<ast::Expr> value;
    };
    struct Break {};
    struct Continue {};
    struct If {
        Vec<IfBranch> branches;
        std::optional<ast::Block> else_block;
    };
    struct While {
        ast::Expr cond;
        ast::Block body;
    };
    struct For {
        std::string var;
        ast::Expr iter;
        ast::Block body;
    };
    struct Expr {
        ast::Expr expr;
    };
    // Declarations are large and one per many statements, so they are held by pointer: every block
    // holds its statements by value. `as` and `visit_kind` see through the Box.
    std::variant<Let, Mut, Assign, Box<FnDecl>, Box<RecordDecl>, Box<EnumDecl>, Import, Test, Assert, Match, Return,
                 Break, Continue, If, While, For, Expr>
        v;
};

struct Stmt {
    StmtKind kind;
    Span span;
};

struct Program {
    // Where the parser allocated the tree's nodes; declared first so that it outlives them.
    std::shared_ptr<Arena> arena;
    Vec<Stmt> stmts;
};

// Whether the tagged union `Union` holds its alternative K in a Box rather than in place.
template <class K, class Union>
constexpr bool holds_boxed = false;
template <class K, class... Alternatives>
constexpr bool holds_boxed<K, std::variant<Alternatives...>> = (std::is_same_v<Box<K>, Alternatives> || ...);

// The alternative K of a tagged union, held in place or in a Box.
template <class K, class... Alternatives>
const K* alternative(const std::variant<Alternatives...>& v) {
    if constexpr (!holds_boxed<K, std::variant<Alternatives...>>) {
        return std::get_if<K>(&v);
    } else {
        const auto* boxed = std::get_if<Box<K>>(&v);
        return boxed ? &boxed->get() : nullptr;
    }
}

// Makes K the alternative of a tagged union, in place or in a new Box in `arena`, from `args`; returns it.
template <class K, class... Alternatives, class... Args>
K& emplace_alternative(Arena& arena, std::variant<Alternatives...>& v, Args&&... args) {
    if constexpr (holds_boxed<K, std::variant<Alternatives...>>) {
        return v.template emplace<Box<K>>(arena, std::in_place, std::forward<Args>(args)...).get();
    } else {
        return v.template emplace<K>(std::forward<Args>(args)...);
    }
}

// What an alternative holds, whether in place or in a Box.
template <class K>
const K& unboxed(const K& kind) { return kind; }
template <class K>
const K& unboxed(const Box<K>& boxed) { return boxed.get(); }

// std::visit over a tagged union of node kinds: `f` sees each kind itself, never the Box holding it.
template <class F, class... Alternatives>
decltype(auto) visit_kind(F&& f, const std::variant<Alternatives...>& v) {
    return std::visit([&f](const auto& held) -> decltype(auto) { return std::forward<F>(f)(unboxed(held)); }, v);
}

// Helpers for reading a tagged union: `if (auto* call = as<ExprKind::Call>(expr)) ...`.
template <class K>
const K* as(const Expr& e) { return alternative<K>(e.kind.v); }
template <class K>
const K* as(const Stmt& s) { return alternative<K>(s.kind.v); }
template <class K>
const K* as(const Pattern& p) { return alternative<K>(p.kind.v); }
template <class K>
const K* as(const TypeExpr& t) { return alternative<K>(t.kind.v); }

}  // namespace quellin::ast
