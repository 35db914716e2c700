#pragma once
// The state of checking one module, and every checking operation. The operations are spread over
// the files of this folder by concern: scopes and function bodies, type resolution, builtin methods,
// value cycles, the declaration passes, interfaces, statements, expressions, calls, patterns and
// generics; modules.cpp runs them module by module.

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "ast/ast.hpp"
#include "builtins.hpp"
#include "check/names.hpp"
#include "common/text.hpp"
#include "lexer/expected.hpp"
#include "typeck/check.hpp"
#include "typeck/diagnostics.hpp"
#include "typeck/error.hpp"
#include "typeck/types.hpp"

namespace quellin::typeck {

template <class T>
using TResult = Expected<T, TypeError>;
using Status = Expected<void, TypeError>;

// One argument of a message: text, a type, shown as it is written, or a count. A type or a count is
// turned into text only when the message is made.
class DiagArg {
public:
    DiagArg(std::string_view text) : text_(text) {}
    DiagArg(const std::string& text) : text_(text) {}
    DiagArg(const char* text) : text_(text) {}
    DiagArg(const Type& type) : type_(&type) {}
    DiagArg(std::size_t count) : count_(count), is_count_(true) {}

    std::string text() const;

private:
    std::string_view text_;
    const Type* type_ = nullptr;
    std::size_t count_ = 0;
    bool is_count_ = false;
};

// The error `kind` at `pos`, its message filled with `args`. Kept out of line and cold: a check that
// raises one costs a call, and no message text is made until an error is reported.
[[gnu::cold, gnu::noinline]] TypeError type_error_of(TypeDiag kind, Span pos, std::initializer_list<DiagArg> args);

template <class... Args>
TypeError type_error(TypeDiag kind, Span pos, const Args&... args) {
    return type_error_of(kind, pos, {DiagArg(args)...});
}

// The same error as the failed result of a check.
template <class... Args>
Unexpected<TypeError> fail(TypeDiag kind, Span pos, const Args&... args) {
    return unexpected(type_error_of(kind, pos, {DiagArg(args)...}));
}

struct VarInfo {
    Type ty;
    bool is_mutable = false;
};

struct FnSig {
    std::vector<std::string> type_params;
    std::vector<Type> params;
    Type ret;
    friend bool operator==(const FnSig&, const FnSig&) = default;
};

// (field name, type) in declaration order.
using Fields = std::vector<std::pair<std::string, Type>>;
// (variant name, payload fields) in declaration order.
using Variants = std::vector<std::pair<std::string, Fields>>;

struct GenericRecord {
    std::vector<std::string> type_params;
    Fields fields;
    friend bool operator==(const GenericRecord&, const GenericRecord&) = default;
};

struct GenericEnum {
    std::vector<std::string> type_params;
    Variants variants;
    friend bool operator==(const GenericEnum&, const GenericEnum&) = default;
};

// Functions, records and enums by name, and the generic instances they use: what a checker knows of
// its module, and what a checked module offers its importers.
struct DeclarationTables {
    NameMap<FnSig> fns;
    NameMap<Fields> records;
    NameMap<Variants> enums;
    NameMap<GenericRecord> generic_records;
    NameMap<GenericEnum> generic_enums;
    NameMap<Instance> instances;
    friend bool operator==(const DeclarationTables&, const DeclarationTables&) = default;
};

// The public interface of one checked module; names are the module's own, unqualified.
struct ModuleApi : DeclarationTables {
    std::vector<std::string> private_fns;
    std::vector<std::string> private_types;
    friend bool operator==(const ModuleApi&, const ModuleApi&) = default;
};

// The variables of one block. Blocks usually declare a handful of names, so they are kept in a flat list
// searched from the back; a block that grows past `kIndexedFrom` names also gets a hash index, so even a
// block of thousands of bindings stays linear to check.
class Scope {
public:
    Scope() = default;
    Scope(std::initializer_list<std::pair<std::string, VarInfo>> entries);

    const VarInfo* find(const std::string& name) const;
    bool contains(const std::string& name) const { return find(name) != nullptr; }
    // Adds a name the scope does not hold yet.
    void add(std::string name, VarInfo info);

private:
    static constexpr std::size_t kIndexedFrom = 24;
    std::vector<std::pair<std::string, VarInfo>> entries_;
    NameMap<std::size_t> index_;
};
// Shared: an interface may serve several checks (see ModuleResults).
using Apis = NameMap<std::shared_ptr<const ModuleApi>>;
// Type parameter name -> the type inferred for it in one call or construction.
using Bindings = NameMap<Type>;

// The kinds of declaration that take a name, for the rule of which names each may not take.
enum class NameUse : uint8_t { Record, Enum, Function, Variable, Variant };

// How a call names its callee in messages: f, m.f, push, or nothing for a function value. Kept as pieces
// and joined only when a message is written, since nearly every call checks clean.
struct CalleeName {
    std::string_view module;
    std::string_view name;
    std::string written() const;
};

// Tells whether a name was seen before among the names of one list (fields, variants, parameters).
// Such lists are short, so the first names are kept in place and scanned; past those a hash set keeps
// long lists linear. The names must outlive the set.
class SeenNames {
public:
    // Remembers `name`; false when it was already there.
    bool insert(std::string_view name);

private:
    static constexpr std::size_t kScanned = 8;
    std::array<std::string_view, kScanned> first_{};
    std::size_t count_ = 0;
    std::unordered_set<std::string_view> all_;  // filled once more than kScanned names arrive
};

// ---- Builtin methods ----

struct MethodSig {
    std::vector<Type> params;
    std::optional<Type> result;  // absent: the method mutates its receiver
    bool mutating() const { return !result.has_value(); }
};

// How a call of a builtin method is checked: against its signature, or, for the list methods that take
// a function, from the type of that function.
enum class MethodForm : uint8_t { Signature, Map, Filter, Fold };

struct BuiltinMethod {
    MethodForm form = MethodForm::Signature;
    // Set when the method refuses the receiver's element type (join, sorted): the message to give.
    std::optional<TypeDiag> refusal;
    // Signature: the parameters and result for this receiver.
    MethodSig sig;
};

// The builtin method `method` of `receiver`'s type, as the methods table has it.
std::optional<BuiltinMethod> find_method(const Type& receiver, std::string_view method);
// The signature of a method checked against one; none for the methods that take a function.
std::optional<MethodSig> method_sig(const Type& receiver, std::string_view method);
std::string_view methods_of(const Type& receiver);
// The variable at the root of an access chain: xs for xs[0].items; nothing for calls and literals.
std::optional<std::string> root_ident(const ast::Expr& expr);

// True when every path through `stmts` ends in a return.
bool block_definitely_returns(const ast::Vec<ast::Stmt>& stmts);

// Rewrites a module's own type into the form its importers see, or describes the offending type
// (interface.cpp).
Expected<Type, std::string> rewrite_exported_type(const Type& type, const std::string& module,
                                                  const NameSet& pub_types,
                                                  const NameMap<Instance>& instances);

class Checker : public DeclarationTables {
public:
    explicit Checker(std::string module_name);

    // ---- State ----
    std::vector<Scope> scopes;
    std::vector<Scope> outer_scopes;
    std::vector<std::string> type_params;
    std::string module;
    std::vector<size_t> lambda_bases;
    std::optional<Type> ret;
    // The generic calls checked, by (line, column), kept only while `record_generic_calls` is set: the
    // tables of instantiations are for check_modules_info's callers, and the server's checks skip them.
    bool record_generic_calls = false;
    std::map<std::pair<uint32_t, uint32_t>, CallInst> generic_calls;
    NameSet tests;
    // The interfaces of the imported modules, by module name. They belong to the caller (the interfaces of
    // the modules checked before this one), so each import costs a pointer rather than a copy of its tables.
    NameMap<const ModuleApi*> modules;
    // The keys of `modules` in the order of the program's import statements (filled when an import is
    // installed), so that messages choosing among several modules are deterministic.
    std::vector<std::string> module_order;
    uint32_t loop_depth = 0;
    bool in_test = false;

    // ---- Scopes and function bodies (scopes.cpp) ----
    Status declare(const std::string& name, Type ty, bool is_mutable, Span pos);
    const VarInfo* lookup(const std::string& name) const;
    TResult<Type> conform(const std::optional<Type>& expected, Type found, Span pos) const;
    bool captured_in_lambda(const std::string& name) const;
    Status check_fn(const ast::StmtKind::FnDecl& decl, Span pos);
    // True when some scope of `outer_scopes` has the name.
    bool in_outer_scopes(const std::string& name) const;
    // Moves the top-level scopes to `outer_scopes` and starts a body with one empty scope, and back.
    // The two stacks trade places, so a body reuses the previous body's storage.
    void park_top_level_scopes();
    void restore_top_level_scopes();

    // ---- Type resolution (resolve.cpp) ----
    TResult<Type> resolve_type(const ast::TypeExpr& te);
    // The types of a function's or lambda's parameters, rejecting a repeated name before its type is
    // looked at.
    TResult<std::vector<Type>> resolve_param_types(const ast::Vec<ast::Param>& params);
    void ensure_type(const std::string& name);
    void install_type_closure(const Type& ty, const Apis& apis);
    // "Shape.Circle(...), Shape.Empty" for messages; `written` is the enum name as the user wrote it.
    std::string variant_list(const std::string& written, const std::string& key) const;

    // ---- Value cycles (cycles.cpp) ----
    // Checks every record and enum name of the module; memoises names proven cycle-free.
    Status check_value_cycles(const ast::Program& program);
    Status check_value_cycle(const std::string& name, std::vector<std::string>& path, const ast::Program& program);

    // ---- Declaration passes (declarations.cpp) ----
    // `modules` keeps pointers into `apis`, which must outlive this checker.
    Status install_imports(const ast::Program& program, const Apis& apis);
    Status collect_types(const ast::Program& program);
    Status collect_fns(const ast::Program& program);
    // The one rule for new names: fails when `name`, taken by a declaration of the kind `use`, is a
    // builtin name or already names a function, record, enum, module or generic type that counts against
    // that kind.
    Status check_name_free(const std::string& name, NameUse use, Span pos) const;
    // A declaration's type parameter must be inferable: some type that calls or constructions check a
    // value against (a parameter of the function, a field of the record, a payload field of the enum)
    // mentions it. The first of `type_params` that no type of `declared` (the function's parameter types,
    // the record's Fields or the enum's Variants) mentions, or null.
    template <class Declared>
    const std::string* first_uninferable(const std::vector<std::string>& type_params, const Declared& declared) const;

    // ---- Interfaces (interface.cpp) ----
    // What an importer is told when `m.member` names nothing that the imported module `m` exports:
    // written where a value, call, construction or pattern goes (a function or a type), or where a type
    // goes.
    TypeError module_member_err(const std::string& m, const std::string& member, Span pos) const;
    TypeError module_type_err(const std::string& m, const std::string& name, Span pos) const;
    Expected<ModuleApi, TypeError> compute_interface(const ast::Program& program) const;

    // ---- Statements (stmts.cpp) ----
    Status check_stmt(const ast::Stmt& stmt);
    Status check_block(const ast::Block& block);
    Status check_stmts(const ast::Block& block);
    Status check_condition(const ast::Expr& cond);
    // One for each kind of statement; check_stmt picks. `pos` is the statement's span.
    Status check_binding(const std::string& name, const std::optional<ast::Box<ast::TypeExpr>>& annotation,
                         const ast::Expr& value, bool is_mutable, Span pos);
    Status check_assign(const ast::StmtKind::Assign& assign);
    Status check_assign_to_name(const std::string& name, const ast::StmtKind::Assign& assign);
    // Element and field assignment: the variable at the root of the access chain must be mutable.
    Status check_assign_into(const ast::StmtKind::Assign& assign);
    Status check_nested_fn(const ast::StmtKind::FnDecl& decl, Span pos);
    // A record, enum or import, which only the top level may hold; `nested` is the message elsewhere.
    Status check_declaration_placement(TypeDiag nested, const std::string& name, Span pos) const;
    Status check_test(const ast::StmtKind::Test& test, Span pos);
    Status check_assert(const ast::StmtKind::Assert& assert_stmt);
    Status check_match(const ast::StmtKind::Match& match, Span pos);
    Status check_match_arm(const ast::MatchArm& arm, const Type& subject);
    Status check_return(const ast::StmtKind::Return& return_stmt, Span pos);
    // break or continue, which only a loop may hold; `outside_loop` is the message elsewhere.
    Status check_loop_exit(TypeDiag outside_loop, Span pos) const;
    Status check_if(const ast::StmtKind::If& if_stmt);
    Status check_while(const ast::StmtKind::While& while_stmt);
    Status check_for(const ast::StmtKind::For& for_stmt, Span pos);
    Status check_expr_stmt(const ast::StmtKind::Expr& expr_stmt);
    // True at top level: no function is being checked and fewer than two scopes are open.
    bool at_top_level() const { return !ret.has_value() && scopes.size() < 2; }

    // ---- Expressions (exprs.cpp) ----
    // Checks `expr` and holds its type to `expected`, if given.
    TResult<Type> check_expr(const ast::Expr& expr, const std::optional<Type>& expected);
    // One for each kind of expression; check_expr picks. `pos` is the expression's span. What follows the
    // check of a sub-expression sits in a function of its own (with_updates, index_result, value_field), so
    // that the frames on the recursion path stay small.
    TResult<Type> check_text(const ast::ExprKind::Text& text);
    TResult<Type> check_ident(const std::string& name, const std::optional<Type>& expected, Span pos);
    TResult<Type> check_construct(const ast::ExprKind::Construct& e, const std::optional<Type>& expected, Span pos);
    TResult<Type> check_variant_construct(const ast::ExprKind::VariantConstruct& e,
                                          const std::optional<Type>& expected, Span pos);
    // m.E.V(field: ...) and m.R(field: ...), which share the variant construction's syntax.
    TResult<Type> check_module_variant_construct(const ast::ExprKind::VariantConstruct& e, const std::string& m,
                                                 const std::optional<Type>& expected, Span pos);
    TResult<Type> check_module_record_construct(const ast::ExprKind::VariantConstruct& e,
                                                const std::optional<Type>& expected, Span pos);
    TResult<Type> check_list(const ast::ExprKind::List& e, const std::optional<Type>& expected, Span pos);
    TResult<Type> check_set(const ast::ExprKind::Set& e, const std::optional<Type>& expected);
    TResult<Type> check_map(const ast::ExprKind::Map& e, const std::optional<Type>& expected, Span pos);
    TResult<Type> check_tuple(const ast::ExprKind::Tuple& e, const std::optional<Type>& expected);
    // The items of a list or set, each held to the first one's type; `elem` is what the context asks for.
    TResult<Type> check_items(const ast::Vec<ast::Expr>& items, const std::optional<Type>& elem);
    TResult<Type> check_with(const ast::ExprKind::With& e, Span pos);
    TResult<Type> with_updates(Type record, const ast::ExprKind::With& e, Span pos);
    TResult<Type> check_unary(const ast::ExprKind::Unary& e);
    // An operator other than `and` and `or`, which check_logical takes; check_expr routes each to its own, so
    // that chains of either recurse through one frame per operator.
    TResult<Type> check_binary(ast::BinaryOp op, const ast::Expr& lhs, const ast::Expr& rhs, Span pos);
    TResult<Type> check_logical(const ast::Expr& lhs, const ast::Expr& rhs);
    TResult<Type> check_lambda(const ast::ExprKind::Lambda& e);
    TResult<Type> check_block_lambda(const ast::ExprKind::BlockLambda& e, Span pos);
    Status declare_params(const ast::Vec<ast::Param>& params, const std::vector<Type>& types);
    TResult<Type> check_index(const ast::ExprKind::Index& e);
    TResult<Type> index_result(const Type& base, const ast::ExprKind::Index& e);
    TResult<Type> check_field(const ast::ExprKind::Field& e, const std::optional<Type>& expected, Span pos);
    // Field syntax whose base is a module or an enum rather than a value; nothing for a value.
    std::optional<TResult<Type>> check_named_field(const ast::ExprKind::Field& e, const std::optional<Type>& expected,
                                                   Span pos);
    TResult<Type> check_module_member(const std::string& m, const std::string& name, Span pos);
    TResult<Type> check_unit_variant(const std::string& written, const std::string& variant,
                                     const std::optional<Type>& expected, Span pos);
    TResult<Type> value_field(const Type& ty, const std::string& name, Span pos);
    TResult<Type> check_try(const ast::ExprKind::Try& e, Span pos);

    // ---- Calls and constructions (calls.cpp) ----
    TResult<Type> check_call(const ast::Expr& callee, const ast::Vec<ast::Expr>& args,
                             const std::optional<Type>& expected, Span pos);
    TResult<Type> check_method_call(const ast::Expr& receiver, const std::string& method,
                                    const ast::Vec<ast::Expr>& args, Span pos);
    // The pieces of check_call, kept out of line so that call chains recurse through small frames.
    [[gnu::noinline]] TResult<Type> check_named_call(const ast::Expr& callee, const ast::Vec<ast::Expr>& args,
                                                     const std::optional<Type>& expected, Span pos);
    [[gnu::noinline]] TResult<Type> check_field_call(const ast::ExprKind::Field& field,
                                                     const ast::Vec<ast::Expr>& args, Span pos);
    [[gnu::noinline]] TResult<Type> check_builtin_call(const BuiltinName& builtin, const ast::Vec<ast::Expr>& args,
                                                       Span pos);
    [[gnu::noinline]] TResult<Type> check_constructor_call(Constructor constructor, const CalleeName& named,
                                                           const ast::Vec<ast::Expr>& args,
                                                           const std::optional<Type>& expected, Span pos);
    [[gnu::noinline]] TResult<Type> check_value_call(const ast::Expr& callee, const ast::Vec<ast::Expr>& args,
                                                     Span pos);
    [[gnu::noinline]] TResult<Type> check_module_call(const std::string& m, const std::string& name,
                                                      const ast::Vec<ast::Expr>& args, Span pos);
    [[gnu::noinline]] std::optional<TypeError> positional_variant_error(const ast::Expr& base,
                                                                        const std::string& name, Span pos) const;
    [[gnu::noinline]] TResult<Type> check_method_on(const ast::Expr& receiver, const Type& recv,
                                                    const std::string& method, const ast::Vec<ast::Expr>& args,
                                                    Span pos);
    // map, filter and fold of a list, typed from the function they take.
    [[gnu::noinline]] TResult<Type> check_fn_taking_method(MethodForm form, const Type& recv,
                                                           const ast::Vec<ast::Expr>& args, Span pos);
    TResult<Type> check_fn_value_call(const CalleeName& callee, const std::vector<Type>& params, const Type& result,
                                      const ast::Vec<ast::Expr>& args, Span pos);
    TResult<Type> check_record_construction(const std::string& written, const std::string& key,
                                            const ast::FieldInits& fields, Span pos);
    TResult<Type> check_variant_construction(const std::string& written, const std::string& key,
                                             const std::string& variant, const ast::FieldInits& fields, Span pos);
    TResult<Type> check_unit_variant_ref(const std::string& written, const std::string& key,
                                         const std::string& variant, const std::optional<Type>& expected, Span pos);
    // The first imported module (in import order) whose public functions include `fn`.
    std::optional<std::string> module_exporting(const std::string& fn) const;

    // ---- Patterns and exhaustiveness (patterns.cpp) ----
    Status check_pattern(const ast::Pattern& pattern, const Type& subject);
    // One for each kind of pattern; check_pattern picks.
    Status check_binding_pattern(const std::string& name, const Type& subject, Span pos);
    Status check_constructor_pattern(const ast::PatternKind::Constructor& pattern, const Type& subject, Span pos);
    // R(field: ...) of a record declared in this module.
    Status check_local_record_pattern(const ast::PatternKind::Record& pattern, const Type& subject, Span pos);
    Status check_variant_pattern(const ast::PatternKind::Variant& pattern, const Type& subject, Span pos);
    // m.R(field: ...) of a record imported from module m.
    Status check_record_pattern(const std::string& qualified, const ast::FieldPatterns& fields, const Type& subject,
                                Span pos);
    bool match_exhaustive(const Type& subject, const ast::Vec<ast::MatchArm>& arms) const;
    std::string missing_cases_hint(const Type& subject, const ast::Vec<ast::MatchArm>& arms) const;
    // The variants of an enum type, read from its generic declaration while an instance is not yet
    // materialised; nothing for an unknown name.
    const Variants* enum_variants(const std::string& name) const;
    // The field-count, field-order and per-field rules shared by record and variant patterns: `owner` is the
    // record, or the enum of `variant` (nothing for a record pattern).
    Status check_fields_in_order(const std::string& owner, const std::string* variant, const ast::FieldPatterns& given,
                                 const Fields& declared, Span pos);

    // ---- Generics (generics.cpp) ----
    bool unify_m(const Type& declared, const Type& actual, Bindings& bindings) const;
    Type subst_ty(const Type& ty, const Bindings& bindings);
    Type clone_subst_view(const Type& ty, const Bindings& bindings) const;
    bool mentions_generic_m(const Type& ty, const std::string& param) const;
    bool mentions_any_generic_m(const Type& ty) const;
    std::string register_instance(const std::string& generic, std::vector<Type> args);
    // Fails when a type's display form would pass the size limit. Tuples and maps of a value with
    // itself, and fields of generic instances, can double a type at every step without a generic call.
    Status check_type_size(const Type& ty, Span pos) const;
    TResult<Type> check_generic_call(Span pos, const std::optional<std::string>& module, const std::string& fn,
                                     const FnSig& sig, const ast::Vec<ast::Expr>& args);
    TResult<Type> check_generic_record_construction(Span pos, const std::string& written, const std::string& key,
                                                    const ast::FieldInits& fields);
    TResult<Type> check_generic_variant_construction(Span pos, const std::string& written, const std::string& key,
                                                     const std::string& variant, const ast::FieldInits& fields,
                                                     const std::optional<Type>& expected);
    TResult<Type> check_generic_unit_variant_ref(Span pos, const std::string& written, const std::string& key,
                                                 const std::string& variant, const std::optional<Type>& expected);
    // Checks one argument or field value of a generic call or construction against its declared type
    // with the bindings so far substituted in (no expected type while that still mentions a parameter).
    TResult<Type> check_against_declared(const Type& declared, const ast::Expr& value, const Bindings& bindings,
                                         Span pos);

    // Called once the imports are installed and every declaration is collected: from then on no plain
    // name joins the function, record, enum or module tables (only instance keys like 'Pair[Int, Text]'
    // and qualified names do), so a name found free stays free.
    void declarations_collected() { declarations_collected_ = true; }

private:
    // Names already proven free of value cycles (see check_value_cycles).
    NameSet acyclic_;
    bool declarations_collected_ = false;
    // Names that `declare` found to be neither reserved nor taken by a function, record, enum or module
    // once the declarations were collected. Local names repeat in function after function, and proving
    // one free costs four lookups in tables as large as the module.
    NameSet untaken_names_;
    // Each collected function's signature in declaration order, which is also the order in which the
    // statements reach check_fn: it takes the next one instead of looking the name up again in a table
    // as large as the module. A declaration met out of that order is looked up by name.
    std::vector<std::pair<const ast::StmtKind::FnDecl*, const FnSig*>> collected_sigs_;
    std::size_t next_collected_sig_ = 0;
    const FnSig& signature_of(const ast::StmtKind::FnDecl& decl);
    // module_member_err and module_type_err: `as_type` when only a type may be meant.
    TypeError unexported_member_err(const std::string& m, const std::string& member, bool as_type, Span pos) const;
};

bool pattern_irrefutable(const ast::Pattern& pattern);

// "Point(x: ..., y: ...)": a record or variant written with its fields in declaration order.
std::string canonical_form(const std::string& head, const Fields& fields);

// Reports a broken internal invariant (never a user diagnostic) and stops the process.
[[noreturn]] void internal_fault(std::string_view what);

// "Maybe.Just(...), Maybe.Nothing" for messages, from a variant list (used for generic declarations,
// which have no entry in `enums`).
std::string list_variants(const std::string& written, const Variants& variants);

// The payload fields of the variant called `name`, or nothing when the enum has no such variant.
const Fields* find_variant(const Variants& variants, std::string_view name);

}  // namespace quellin::typeck
