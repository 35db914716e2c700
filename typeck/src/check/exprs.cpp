// Expression checking: names, literals, collections, field access, indexing, `with` updates, operators,
// lambdas, text interpolation and `?`. Calls and constructions are delegated to the call checks.
//
// Every expression kind is checked in a function of its own, and what follows a sub-expression's check (the
// result and its diagnostics) sits in a further function, so that the frames on the recursion path
// (check_expr -> one kind -> check_expr) stay small: operator and postfix chains recurse once per level.
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <variant>
#include <vector>

#include "check/checker.hpp"

namespace quellin::typeck {

namespace {

using ExpectedType = std::optional<Type>;

// The lambda's own scope on top of the enclosing ones, registered as the innermost lambda base.
class LambdaScopeGuard {
public:
    explicit LambdaScopeGuard(Checker& c) : c_(c) {
        c_.scopes.emplace_back();
        c_.lambda_bases.push_back(c_.scopes.size() - 1);
    }
    ~LambdaScopeGuard() {
        c_.lambda_bases.pop_back();
        c_.scopes.pop_back();
    }
    LambdaScopeGuard(const LambdaScopeGuard&) = delete;
    LambdaScopeGuard& operator=(const LambdaScopeGuard&) = delete;

private:
    Checker& c_;
};

// A block lambda's `return` answers to the lambda's result type, not to the enclosing function's.
class RetSwapGuard {
public:
    RetSwapGuard(Checker& c, Type lambda_ret) : c_(c), saved_(std::exchange(c_.ret, std::move(lambda_ret))) {}
    ~RetSwapGuard() { c_.ret = std::move(saved_); }
    RetSwapGuard(const RetSwapGuard&) = delete;
    RetSwapGuard& operator=(const RetSwapGuard&) = delete;

private:
    Checker& c_;
    std::optional<Type> saved_;
};

std::string field_names(const Fields& fields) {
    std::vector<std::string> names;
    names.reserve(fields.size());
    for (const auto& field : fields) names.push_back(field.first);
    return join(names);
}

const Type* find_field(const Fields& fields, const std::string& name) {
    for (const auto& field : fields) {
        if (field.first == name) return &field.second;
    }
    return nullptr;
}

// The function type of a signature: a top-level function used as a value.
Type fn_type(const FnSig& sig) { return Type::fn(sig.params, sig.ret); }

TResult<Type> check_none(const ExpectedType& expected, Span pos) {
    if (!expected) return fail(TypeDiag::NoneUninferable, pos);
    if (!expected->is(Type::Kind::Option)) return fail(TypeDiag::NoneNotExpected, pos, *expected);
    return *expected;
}

ExpectedType element_of(const ExpectedType& expected, Type::Kind kind) {
    if (expected && expected->is(kind)) return expected->elem();
    return std::nullopt;
}

TResult<Type> negation_result(Type operand, Span operand_pos) {
    if (operand.is(Type::Kind::Int) || operand.is(Type::Kind::Float)) return operand;
    return fail(TypeDiag::NegateNonNumber, operand_pos, operand);
}

const char* op_symbol(ast::BinaryOp op) {
    switch (op) {
        case ast::BinaryOp::Add: return "+";
        case ast::BinaryOp::Sub: return "-";
        case ast::BinaryOp::Mul: return "*";
        case ast::BinaryOp::Div: return "/";
        case ast::BinaryOp::Mod: return "%";
        case ast::BinaryOp::Eq: return "==";
        case ast::BinaryOp::NotEq: return "!=";
        case ast::BinaryOp::Lt: return "<";
        case ast::BinaryOp::LtEq: return "<=";
        case ast::BinaryOp::Gt: return ">";
        case ast::BinaryOp::GtEq: return ">=";
        case ast::BinaryOp::And: return "and";
        case ast::BinaryOp::Or: return "or";
    }
    return "?";
}

// The result of an operator whose operands were both checked and have the type `left`.
TResult<Type> binary_result(ast::BinaryOp op, Type left, Span left_pos, Span pos) {
    switch (op) {
        case ast::BinaryOp::Add:
        case ast::BinaryOp::Sub:
        case ast::BinaryOp::Mul:
        case ast::BinaryOp::Div:
        case ast::BinaryOp::Mod:
            if (left.is(Type::Kind::Int) || left.is(Type::Kind::Float)) return left;
            if (op == ast::BinaryOp::Add && left.is(Type::Kind::Text)) return fail(TypeDiag::PlusOnText, pos);
            return fail(TypeDiag::ArithmeticOnNonNumber, left_pos, op_symbol(op), left);
        case ast::BinaryOp::Eq:
        case ast::BinaryOp::NotEq:
            if (left.is(Type::Kind::Fn)) return fail(TypeDiag::CompareFunctions, left_pos);
            return Type::bool_();
        case ast::BinaryOp::Lt:
        case ast::BinaryOp::LtEq:
        case ast::BinaryOp::Gt:
        case ast::BinaryOp::GtEq:
            if (left.is(Type::Kind::Int) || left.is(Type::Kind::Float) || left.is(Type::Kind::Text)) {
                return Type::bool_();
            }
            return fail(TypeDiag::OrderNonOrdered, left_pos, op_symbol(op), left);
        case ast::BinaryOp::And:
        case ast::BinaryOp::Or:
            return Type::bool_();
    }
    return Type::bool_();
}

TResult<Type> try_in_lambda(Span pos) {
    return fail(TypeDiag::TryInLambda, pos);
}

// What `e?` yields for an operand of type `operand` inside a function returning `ret`. Kept out of
// check_try, which a chain of `?` recurses through once per link.
[[gnu::noinline]] TResult<Type> try_result(const std::optional<Type>& ret, const Type& operand, Span pos) {
    if (!ret) return fail(TypeDiag::TryOutsideFunction, pos);
    if (operand.is(Type::Kind::Option)) {
        if (ret->is(Type::Kind::Option)) return operand.elem();
        return fail(TypeDiag::TryOptionInNonOption, pos, *ret);
    }
    if (operand.is(Type::Kind::Result)) {
        if (!ret->is(Type::Kind::Result)) return fail(TypeDiag::TryResultInNonResult, pos, *ret);
        if (ret->second() != operand.second()) {
            return fail(TypeDiag::TryErrorTypeMismatch, pos, operand.second(), ret->second());
        }
        return operand.elem();
    }
    return fail(TypeDiag::TryOnNonFallible, pos, operand);
}

// Routes each expression kind to its check; the caller compares the result with the expected type.
class ExprRouter {
public:
    ExprRouter(Checker& c, const ast::Expr& expr, const ExpectedType& expected)
        : c_(c), expr_(expr), expected_(expected) {}

    TResult<Type> operator()(const ast::ExprKind::Int&) const { return Type::int_(); }
    TResult<Type> operator()(const ast::ExprKind::Float&) const { return Type::float_(); }
    TResult<Type> operator()(const ast::ExprKind::Bool&) const { return Type::bool_(); }
    TResult<Type> operator()(const ast::ExprKind::Unit&) const { return Type::void_(); }
    TResult<Type> operator()(const ast::ExprKind::Text& e) const { return c_.check_text(e); }
    TResult<Type> operator()(const ast::ExprKind::Ident& e) const {
        return c_.check_ident(e.name, expected_, expr_.span);
    }
    TResult<Type> operator()(const ast::ExprKind::Construct& e) const {
        return c_.check_construct(e, expected_, expr_.span);
    }
    TResult<Type> operator()(const ast::ExprKind::VariantConstruct& e) const {
        return c_.check_variant_construct(e, expected_, expr_.span);
    }
    TResult<Type> operator()(const ast::ExprKind::List& e) const { return c_.check_list(e, expected_, expr_.span); }
    TResult<Type> operator()(const ast::ExprKind::Map& e) const { return c_.check_map(e, expected_, expr_.span); }
    TResult<Type> operator()(const ast::ExprKind::Set& e) const { return c_.check_set(e, expected_); }
    TResult<Type> operator()(const ast::ExprKind::Tuple& e) const { return c_.check_tuple(e, expected_); }
    TResult<Type> operator()(const ast::ExprKind::With& e) const { return c_.check_with(e, expr_.span); }
    TResult<Type> operator()(const ast::ExprKind::Unary& e) const { return c_.check_unary(e); }
    TResult<Type> operator()(const ast::ExprKind::Binary& e) const {
        if (e.op == ast::BinaryOp::And || e.op == ast::BinaryOp::Or) return c_.check_logical(e.lhs(), e.rhs());
        return c_.check_binary(e.op, e.lhs(), e.rhs(), expr_.span);
    }
    TResult<Type> operator()(const ast::ExprKind::Lambda& e) const { return c_.check_lambda(e); }
    TResult<Type> operator()(const ast::ExprKind::BlockLambda& e) const {
        return c_.check_block_lambda(e, expr_.span);
    }
    TResult<Type> operator()(const ast::ExprKind::Call& e) const {
        return c_.check_call(*e.callee, e.args, expected_, expr_.span);
    }
    TResult<Type> operator()(const ast::ExprKind::Index& e) const { return c_.check_index(e); }
    TResult<Type> operator()(const ast::ExprKind::Field& e) const {
        return c_.check_field(e, expected_, expr_.span);
    }
    TResult<Type> operator()(const ast::ExprKind::Try& e) const { return c_.check_try(e, expr_.span); }

private:
    Checker& c_;
    const ast::Expr& expr_;
    const ExpectedType& expected_;
};

}  // namespace

TResult<Type> Checker::check_expr(const ast::Expr& expr, const std::optional<Type>& expected) {
    TResult<Type> found = ast::visit_kind(ExprRouter(*this, expr, expected), expr.kind.v);
    if (!found) return found;
    if (!found->args.empty()) QN_TRY(check_type_size(*found, expr.span));
    if (!expected) return found;
    return conform(expected, std::move(*found), expr.span);
}

// ---- Literals and names ----

TResult<Type> Checker::check_text(const ast::ExprKind::Text& text) {
    for (const ast::TextPart& part : text.parts) {
        const auto* interp = std::get_if<ast::TextPart::Expr>(&part.v);
        if (!interp) continue;
        const ast::Expr& inner = *interp->expr;
        QN_TRY_ASSIGN(const Type ty, check_expr(inner, std::nullopt));
        if (ty.is(Type::Kind::Void)) return fail(TypeDiag::InterpolateVoid, inner.span);
        if (ty.is(Type::Kind::Fn)) return fail(TypeDiag::InterpolateFunction, inner.span);
    }
    return Type::text();
}

TResult<Type> Checker::check_ident(const std::string& name, const std::optional<Type>& expected, Span pos) {
    const BuiltinName* builtin = find_builtin(name);
    if (builtin && builtin->role == BuiltinRole::Constructor) {
        if (builtin->constructor == Constructor::None) return check_none(expected, pos);
        return fail(TypeDiag::ConstructorAsValue, pos, name);
    }
    if (const VarInfo* var = lookup(name)) return var->ty;
    if (modules.contains(name)) return fail(TypeDiag::ModuleAsValue, pos, name);
    if (enums.contains(name)) return fail(TypeDiag::EnumAsValue, pos, name, variant_list(name, name));
    if (const auto fn = fns.find(name); fn != fns.end()) {
        if (!fn->second.type_params.empty()) return fail(TypeDiag::GenericFunctionAsValue, pos, name);
        return fn_type(fn->second);
    }
    if (builtin && builtin->role == BuiltinRole::Function) return fail(TypeDiag::BuiltinAsValue, pos, name);
    if (in_outer_scopes(name)) {
        if (in_test) return fail(TypeDiag::TopLevelVariableInTest, pos, name);
        return fail(TypeDiag::TopLevelVariableInFunction, pos, name);
    }
    return fail(TypeDiag::UnknownName, pos, name);
}

// ---- Constructions ----

TResult<Type> Checker::check_construct(const ast::ExprKind::Construct& e, const std::optional<Type>& expected,
                                       Span pos) {
    const std::string& name = e.name;
    if (generic_records.contains(name)) {
        QN_TRY_ASSIGN(Type made, check_generic_record_construction(pos, name, name, e.fields));
        return conform(expected, std::move(made), pos);
    }
    if (records.contains(name)) return check_record_construction(name, name, e.fields, pos);
    if (enums.contains(name)) return fail(TypeDiag::EnumConstructedAsRecord, pos, name, variant_list(name, name));
    if (fns.contains(name)) return fail(TypeDiag::FunctionConstructedAsRecord, pos, name);
    return fail(TypeDiag::UnknownRecord, pos, name);
}

// m.E.V(field: ...): a variant of an enum exported by module m, shown to the user as m.E.
TResult<Type> Checker::check_module_variant_construct(const ast::ExprKind::VariantConstruct& e, const std::string& m,
                                                      const std::optional<Type>& expected, Span pos) {
    if (!modules.contains(m)) return fail(TypeDiag::ModuleNotImported, pos, m);
    const std::string qualified = m + "." + e.enum_name;
    if (generic_enums.contains(qualified)) {
        QN_TRY_ASSIGN(Type made,
                      check_generic_variant_construction(pos, qualified, qualified, e.variant, e.fields, expected));
        return conform(expected, std::move(made), pos);
    }
    if (enums.contains(qualified)) {
        return check_variant_construction(qualified, qualified, e.variant, e.fields, pos);
    }
    return unexpected(module_member_err(m, e.enum_name, pos));
}

// m.R(field: ...): a record exported by module m, parsed in the shape of a variant construction.
TResult<Type> Checker::check_module_record_construct(const ast::ExprKind::VariantConstruct& e,
                                                     const std::optional<Type>& expected, Span pos) {
    const std::string& m = e.enum_name;
    const std::string qualified = m + "." + e.variant;
    if (generic_records.contains(qualified)) {
        QN_TRY_ASSIGN(Type made, check_generic_record_construction(pos, qualified, qualified, e.fields));
        return conform(expected, std::move(made), pos);
    }
    if (records.contains(qualified)) return check_record_construction(qualified, qualified, e.fields, pos);
    return unexpected(module_member_err(m, e.variant, pos));
}

TResult<Type> Checker::check_variant_construct(const ast::ExprKind::VariantConstruct& e,
                                               const std::optional<Type>& expected, Span pos) {
    if (e.module) return check_module_variant_construct(e, *e.module, expected, pos);
    if (modules.contains(e.enum_name)) return check_module_record_construct(e, expected, pos);
    const std::string& name = e.enum_name;
    if (generic_enums.contains(name)) {
        QN_TRY_ASSIGN(Type made, check_generic_variant_construction(pos, name, name, e.variant, e.fields, expected));
        return conform(expected, std::move(made), pos);
    }
    if (enums.contains(name)) return check_variant_construction(name, name, e.variant, e.fields, pos);
    if (records.contains(name)) return fail(TypeDiag::RecordConstructedAsVariant, pos, name);
    return fail(TypeDiag::UnknownEnum, pos, name);
}

// ---- Collections ----

// Checks items against the first item's type; `elem` is the element type the context asks for, if any.
TResult<Type> Checker::check_items(const ast::Vec<ast::Expr>& items, const std::optional<Type>& elem) {
    QN_TRY_ASSIGN(Type first, check_expr(items.front(), elem));
    const ExpectedType item_type = first;
    for (size_t i = 1; i < items.size(); ++i) QN_TRY(check_expr(items[i], item_type));
    return first;
}

TResult<Type> Checker::check_list(const ast::ExprKind::List& e, const std::optional<Type>& expected, Span pos) {
    if (e.items.empty()) {
        if (expected && expected->is(Type::Kind::List)) return *expected;
        return fail(TypeDiag::EmptyListUninferable, pos);
    }
    QN_TRY_ASSIGN(Type elem, check_items(e.items, element_of(expected, Type::Kind::List)));
    return Type::list(std::move(elem));
}

TResult<Type> Checker::check_set(const ast::ExprKind::Set& e, const std::optional<Type>& expected) {
    QN_TRY_ASSIGN(Type elem, check_items(e.items, element_of(expected, Type::Kind::Set)));
    return Type::set(std::move(elem));
}

TResult<Type> Checker::check_map(const ast::ExprKind::Map& e, const std::optional<Type>& expected, Span pos) {
    const bool map_expected = expected && expected->is(Type::Kind::Map);
    if (e.entries.empty()) {
        if (map_expected) return *expected;
        return fail(TypeDiag::EmptyMapUninferable, pos);
    }
    ExpectedType key_type = map_expected ? ExpectedType(expected->elem()) : std::nullopt;
    ExpectedType value_type = map_expected ? ExpectedType(expected->second()) : std::nullopt;
    for (const ast::MapEntry& entry : e.entries) {
        QN_TRY_ASSIGN(key_type, check_expr(entry.key, key_type));
        QN_TRY_ASSIGN(value_type, check_expr(entry.value, value_type));
    }
    return Type::map(std::move(*key_type), std::move(*value_type));
}

TResult<Type> Checker::check_tuple(const ast::ExprKind::Tuple& e, const std::optional<Type>& expected) {
    if (expected && expected->is(Type::Kind::Tuple) && expected->args.size() == e.items.size()) {
        for (size_t i = 0; i < e.items.size(); ++i) QN_TRY(check_expr(e.items[i], expected->args[i]));
        return *expected;
    }
    std::vector<Type> elems;
    elems.reserve(e.items.size());
    for (const ast::Expr& item : e.items) {
        QN_TRY_ASSIGN(Type ty, check_expr(item, std::nullopt));
        elems.push_back(std::move(ty));
    }
    return Type::tuple(std::move(elems));
}

// ---- Record update ----

// The updates of `base with f: v, ...` once the base is known to have the type `record`.
TResult<Type> Checker::with_updates(Type record, const ast::ExprKind::With& e, Span pos) {
    if (!record.is(Type::Kind::Record)) return fail(TypeDiag::WithOnNonRecord, e.base->span, record);
    ensure_type(record.name);
    const auto found = records.find(record.name);
    // Checking the values may add instances to `records`, which leaves its existing entries in place.
    const Fields no_fields;
    const Fields& fields = found != records.end() ? found->second : no_fields;
    SeenNames listed;
    for (const ast::FieldInit& update : e.fields) {
        if (!listed.insert(update.name)) return fail(TypeDiag::WithFieldTwice, pos, update.name);
        const Type* field_type = find_field(fields, update.name);
        if (!field_type) return fail(TypeDiag::WithUnknownField, pos, record.name, update.name, field_names(fields));
        QN_TRY_ASSIGN(const Type value, check_expr(update.value, *field_type));
        // check_expr already holds the value to the field's type; this names the field should that ever slip.
        if (value != *field_type) {
            return fail(TypeDiag::WithFieldType, update.value.span, update.name, record.name, *field_type, value);
        }
    }
    return record;
}

TResult<Type> Checker::check_with(const ast::ExprKind::With& e, Span pos) {
    TResult<Type> base = check_expr(*e.base, std::nullopt);
    if (!base) return base;
    return with_updates(std::move(*base), e, pos);
}

// ---- Operators ----

TResult<Type> Checker::check_unary(const ast::ExprKind::Unary& e) {
    // Checked against Bool, a successful operand of `not` has the type of the result.
    if (e.op == ast::UnaryOp::Not) return check_expr(*e.operand, Type::bool_());
    TResult<Type> operand = check_expr(*e.operand, std::nullopt);
    if (!operand) return operand;
    return negation_result(std::move(*operand), e.operand->span);
}

TResult<Type> Checker::check_binary(ast::BinaryOp op, const ast::Expr& lhs, const ast::Expr& rhs, Span pos) {
    // Held as an optional because it is the right operand's expected type.
    std::optional<Type> left;
    QN_TRY_ASSIGN(left, check_expr(lhs, std::nullopt));
    QN_TRY(check_expr(rhs, left));
    return binary_result(op, std::move(*left), lhs.span, pos);
}

// `and` and `or` take conditions on both sides; a successful right operand has the type of the result.
TResult<Type> Checker::check_logical(const ast::Expr& lhs, const ast::Expr& rhs) {
    const ExpectedType boolean = Type::bool_();
    QN_TRY(check_expr(lhs, boolean));
    return check_expr(rhs, boolean);
}

// ---- Lambdas ----

Status Checker::declare_params(const ast::Vec<ast::Param>& params, const std::vector<Type>& types) {
    for (size_t i = 0; i < params.size(); ++i) QN_TRY(declare(params[i].name, types[i], false, params[i].span));
    return {};
}

TResult<Type> Checker::check_lambda(const ast::ExprKind::Lambda& e) {
    QN_TRY_ASSIGN(std::vector<Type> params, resolve_param_types(e.params));
    QN_TRY_ASSIGN(Type result, resolve_type(e.ret));
    {
        const LambdaScopeGuard scope(*this);
        QN_TRY(declare_params(e.params, params));
        QN_TRY(check_expr(*e.body, result));
    }
    return Type::fn(std::move(params), std::move(result));
}

TResult<Type> Checker::check_block_lambda(const ast::ExprKind::BlockLambda& e, Span pos) {
    QN_TRY_ASSIGN(std::vector<Type> params, resolve_param_types(e.params));
    QN_TRY_ASSIGN(Type result, resolve_type(e.ret));
    {
        const LambdaScopeGuard scope(*this);
        const RetSwapGuard own_ret(*this, result);
        QN_TRY(declare_params(e.params, params));
        for (const ast::Stmt& stmt : e.body) QN_TRY(check_stmt(stmt));
    }
    if (!result.is(Type::Kind::Void) && !block_definitely_returns(e.body)) {
        return fail(TypeDiag::LambdaMissingReturn, pos, result);
    }
    return Type::fn(std::move(params), std::move(result));
}

// ---- Indexing and field access ----

// What indexing a value of type `base` reads, checking the index against the key the type needs.
TResult<Type> Checker::index_result(const Type& base, const ast::ExprKind::Index& e) {
    switch (base.kind) {
        case Type::Kind::Text:
            QN_TRY(check_expr(*e.index, Type::int_()));
            return Type::text();
        case Type::Kind::Bytes:
            QN_TRY(check_expr(*e.index, Type::int_()));
            return Type::int_();
        case Type::Kind::List:
            QN_TRY(check_expr(*e.index, Type::int_()));
            return base.elem();
        case Type::Kind::Map:
            QN_TRY(check_expr(*e.index, base.elem()));
            return base.second();
        default:
            return fail(TypeDiag::IndexNonIndexable, e.base->span, base);
    }
}

TResult<Type> Checker::check_index(const ast::ExprKind::Index& e) {
    TResult<Type> base = check_expr(*e.base, std::nullopt);
    if (!base) return base;
    return index_result(*base, e);
}

// m.name where m is an imported module: a public function as a value; types need their own syntax.
TResult<Type> Checker::check_module_member(const std::string& m, const std::string& name, Span pos) {
    const ModuleApi& api = *modules.find(m)->second;
    if (const auto fn = api.fns.find(name); fn != api.fns.end()) return fn_type(fn->second);
    const std::string qualified = m + "." + name;
    if (enums.contains(qualified)) {
        return fail(TypeDiag::EnumAsValue, pos, qualified, variant_list(qualified, qualified));
    }
    if (records.contains(qualified)) {
        return fail(TypeDiag::RecordReferencedWithoutFields, pos, qualified + "(field: ...)");
    }
    return unexpected(module_member_err(m, name, pos));
}

// A field read on a value of type `ty`: records have fields, everything else gets a hint at what was meant.
TResult<Type> Checker::value_field(const Type& ty, const std::string& name, Span pos) {
    if (ty.is(Type::Kind::Record)) {
        ensure_type(ty.name);
        const auto record = records.find(ty.name);
        const Fields no_fields;
        const Fields& fields = record != records.end() ? record->second : no_fields;
        if (const Type* field = find_field(fields, name)) return *field;
        return fail(TypeDiag::UnknownField, pos, ty.name, name, field_names(fields));
    }
    if (method_sig(ty, name)) return fail(TypeDiag::MethodWithoutCall, pos, name);
    if (ty.is(Type::Kind::Enum)) return fail(TypeDiag::EnumValueFieldRead, pos, ty);
    return fail(TypeDiag::FieldReadOnNonRecord, pos, ty);
}

// E.V written without parentheses; `written` is both the enum as written and its table key.
TResult<Type> Checker::check_unit_variant(const std::string& written, const std::string& variant,
                                          const std::optional<Type>& expected, Span pos) {
    if (generic_enums.contains(written)) {
        return check_generic_unit_variant_ref(pos, written, written, variant, expected);
    }
    return check_unit_variant_ref(written, written, variant, expected, pos);
}

// Field syntax whose base names no value: m.E.V and E.V unit variants and m.name module members.
// Nothing when the base is an ordinary value.
std::optional<TResult<Type>> Checker::check_named_field(const ast::ExprKind::Field& e,
                                                        const std::optional<Type>& expected, Span pos) {
    if (const auto* inner = ast::as<ast::ExprKind::Field>(*e.base)) {
        const auto* m = ast::as<ast::ExprKind::Ident>(*inner->base);
        if (!m || !modules.contains(m->name)) return std::nullopt;
        const std::string qualified = m->name + "." + inner->name;
        if (generic_enums.contains(qualified) || enums.contains(qualified)) {
            return check_unit_variant(qualified, e.name, expected, pos);
        }
        return std::nullopt;
    }
    const auto* id = ast::as<ast::ExprKind::Ident>(*e.base);
    if (!id) return std::nullopt;
    if (modules.contains(id->name)) return check_module_member(id->name, e.name, pos);
    if (generic_enums.contains(id->name) || enums.contains(id->name)) {
        return check_unit_variant(id->name, e.name, expected, pos);
    }
    return std::nullopt;
}

TResult<Type> Checker::check_field(const ast::ExprKind::Field& e, const std::optional<Type>& expected, Span pos) {
    if (std::optional<TResult<Type>> named = check_named_field(e, expected, pos)) return std::move(*named);
    TResult<Type> base = check_expr(*e.base, std::nullopt);
    if (!base) return base;
    return value_field(*base, e.name, pos);
}

// ---- Error propagation ----

TResult<Type> Checker::check_try(const ast::ExprKind::Try& e, Span pos) {
    // Decided before the operand is looked at: no operand makes `?` legal inside a lambda.
    if (!lambda_bases.empty()) return try_in_lambda(pos);
    TResult<Type> operand = check_expr(*e.operand, std::nullopt);
    if (!operand) return operand;
    return try_result(ret, *operand, pos);
}

}  // namespace quellin::typeck
