// Calls of every callee shape (builtins, functions, function values, module functions, methods) and
// the three ways of making a record or enum value.

#include <algorithm>
#include <string_view>

#include "check/checker.hpp"

namespace quellin::typeck {

namespace {

using Kind = Type::Kind;

[[gnu::cold, gnu::noinline]] TypeError arity_err(const CalleeName& callee, size_t expected, size_t found, Span pos) {
    if (callee.name.empty()) return type_error(TypeDiag::FunctionValueArity, pos, expected, found);
    return type_error(TypeDiag::CallArity, pos, callee.written(), expected, found);
}

// "radius: ..., label: ...": the inside of a canonical form.
std::string field_slots(const Fields& fields) {
    std::vector<std::string> slots;
    slots.reserve(fields.size());
    for (const auto& field : fields) slots.push_back(field.first + ": ...");
    return join(slots);
}

}  // namespace

std::string CalleeName::written() const {
    std::string text;
    if (!module.empty()) text.append(module).append(".");
    return text.append(name);
}

std::string canonical_form(const std::string& head, const Fields& fields) {
    return head + "(" + field_slots(fields) + ")";
}

const Fields* find_variant(const Variants& variants, std::string_view name) {
    const auto it = std::find_if(variants.begin(), variants.end(), [&](const auto& v) { return v.first == name; });
    return it == variants.end() ? nullptr : &it->second;
}

std::string list_variants(const std::string& written, const Variants& variants) {
    std::vector<std::string> items;
    items.reserve(variants.size());
    for (const auto& [variant, payload] : variants) {
        items.push_back(written + "." + variant + (payload.empty() ? "" : "(...)"));
    }
    return join(items);
}

// A chain like xs.first().abs().to_float() recurses through check_call, check_field_call and
// check_method_call once per link, so those three keep their frames small: each shape's checks and
// messages live in functions of their own that are never inlined into the recursive path.
TResult<Type> Checker::check_call(const ast::Expr& callee, const ast::Vec<ast::Expr>& args,
                                  const std::optional<Type>& expected, Span pos) {
    if (ast::as<ast::ExprKind::Ident>(callee)) return check_named_call(callee, args, expected, pos);
    if (const auto* field = ast::as<ast::ExprKind::Field>(callee)) return check_field_call(*field, args, pos);
    return check_value_call(callee, args, pos);
}

TResult<Type> Checker::check_value_call(const ast::Expr& callee, const ast::Vec<ast::Expr>& args, Span pos) {
    QN_TRY_ASSIGN(const Type fn_type, check_expr(callee, std::nullopt));
    if (!fn_type.is(Kind::Fn)) return fail(TypeDiag::CallNonFunctionValue, callee.span, fn_type);
    return check_fn_value_call(CalleeName{}, fn_type.fn_params(), fn_type.fn_ret(), args, pos);
}

TResult<Type> Checker::check_named_call(const ast::Expr& callee, const ast::Vec<ast::Expr>& args,
                                        const std::optional<Type>& expected, Span pos) {
    const std::string& name = std::get<ast::ExprKind::Ident>(callee.kind.v).name;
    const CalleeName named{{}, name};

    if (const BuiltinName* builtin = find_builtin(name)) {
        if (builtin->role == BuiltinRole::Function) return check_builtin_call(*builtin, args, pos);
        if (builtin->role == BuiltinRole::Constructor) {
            return check_constructor_call(builtin->constructor, named, args, expected, pos);
        }
    }

    if (const auto fn = fns.find(name); fn != fns.end()) {
        const FnSig& sig = fn->second;
        if (args.size() != sig.params.size())
            return unexpected(arity_err(named, sig.params.size(), args.size(), pos));
        if (!sig.type_params.empty()) return check_generic_call(pos, std::nullopt, name, sig, args);
        return check_fn_value_call(named, sig.params, sig.ret, args, pos);
    }
    if (const VarInfo* var = lookup(name)) {
        if (!var->ty.is(Kind::Fn)) return fail(TypeDiag::CallNonFunctionName, callee.span, name, var->ty);
        const Type fn_type = var->ty;
        return check_fn_value_call(named, fn_type.fn_params(), fn_type.fn_ret(), args, pos);
    }
    if (const auto record = records.find(name); record != records.end()) {
        return fail(TypeDiag::RecordReferencedWithoutFields, callee.span, canonical_form(name, record->second));
    }
    if (enums.contains(name)) return fail(TypeDiag::EnumCalled, callee.span, variant_list(name, name));
    if (const auto home = module_exporting(name)) {
        return fail(TypeDiag::UnqualifiedModuleFunction, callee.span, name, *home);
    }
    return fail(TypeDiag::UnknownFunction, callee.span, name);
}

TResult<Type> Checker::check_builtin_call(const BuiltinName& builtin, const ast::Vec<ast::Expr>& args, Span pos) {
    std::vector<Type> params;
    params.reserve(builtin.arity);
    for (std::size_t i = 0; i < builtin.arity; ++i) params.push_back(builtin.params[i]());
    return check_fn_value_call(CalleeName{{}, builtin.name}, params, builtin.result(), args, pos);
}

TResult<Type> Checker::check_constructor_call(Constructor constructor, const CalleeName& named,
                                              const ast::Vec<ast::Expr>& args, const std::optional<Type>& expected,
                                              Span pos) {
    if (constructor == Constructor::None) return fail(TypeDiag::NoneCalled, pos);
    if (args.size() != 1) return unexpected(arity_err(named, 1, args.size(), pos));
    if (constructor == Constructor::Some) {
        const bool has_inner = expected && expected->is(Kind::Option);
        const std::optional<Type> inner_expected = has_inner ? std::optional<Type>(expected->elem()) : std::nullopt;
        QN_TRY_ASSIGN(Type inner, check_expr(args[0], inner_expected));
        return Type::option(has_inner ? expected->elem() : std::move(inner));
    }
    const bool ok = constructor == Constructor::Ok;
    if (!expected || !expected->is(Kind::Result)) {
        return fail(ok ? TypeDiag::OkUninferable : TypeDiag::ErrUninferable, pos);
    }
    QN_TRY(check_expr(args[0], ok ? expected->elem() : expected->second()));
    return *expected;
}

TResult<Type> Checker::check_field_call(const ast::ExprKind::Field& field, const ast::Vec<ast::Expr>& args,
                                        Span pos) {
    const ast::Expr& base = *field.base;
    const auto* base_ident = ast::as<ast::ExprKind::Ident>(base);
    if (base_ident && modules.contains(base_ident->name)) {
        return check_module_call(base_ident->name, field.name, args, pos);
    }
    if (auto variant_error = positional_variant_error(base, field.name, pos)) return unexpected(std::move(*variant_error));
    return check_method_call(base, field.name, args, pos);
}

TResult<Type> Checker::check_module_call(const std::string& m, const std::string& name,
                                         const ast::Vec<ast::Expr>& args, Span pos) {
    const ModuleApi& api = *modules.find(m)->second;
    if (const auto fn = api.fns.find(name); fn != api.fns.end()) {
        const FnSig& sig = fn->second;
        if (!sig.type_params.empty()) return check_generic_call(pos, m, name, sig, args);
        return check_fn_value_call(CalleeName{m, name}, sig.params, sig.ret, args, pos);
    }
    // A module's public type called like a function gets the advice a bare reference gets.
    const std::string qualified = m + "." + name;
    if (enums.contains(qualified)) {
        return fail(TypeDiag::EnumAsValue, pos, qualified, variant_list(qualified, qualified));
    }
    if (const auto g = generic_enums.find(qualified); g != generic_enums.end()) {
        return fail(TypeDiag::EnumAsValue, pos, qualified, list_variants(qualified, g->second.variants));
    }
    if (records.contains(qualified) || generic_records.contains(qualified)) {
        return fail(TypeDiag::RecordReferencedWithoutFields, pos, qualified + "(field: ...)");
    }
    return unexpected(module_member_err(m, name, pos));
}

// An enum variant written with positional arguments, E.V(...) or m.E.V(...), is always an error.
std::optional<TypeError> Checker::positional_variant_error(const ast::Expr& base, const std::string& name,
                                                           Span pos) const {
    const auto* base_ident = ast::as<ast::ExprKind::Ident>(base);
    std::optional<std::string> enum_written;
    if (const auto* inner = ast::as<ast::ExprKind::Field>(base)) {
        const auto* m = ast::as<ast::ExprKind::Ident>(*inner->base);
        if (m && modules.contains(m->name)) {
            const std::string qualified = m->name + "." + inner->name;
            if (enums.contains(qualified) || generic_enums.contains(qualified)) enum_written = qualified;
        }
    } else if (base_ident && (enums.contains(base_ident->name) || generic_enums.contains(base_ident->name))) {
        enum_written = base_ident->name;
    }
    if (enum_written) {
        const std::string& e = *enum_written;
        const auto plain = enums.find(e);
        const bool generic = plain == enums.end();
        const Variants variants = generic ? generic_enums.find(e)->second.variants : plain->second;
        const Fields* payload = find_variant(variants, name);
        if (!payload) {
            const std::string listed = generic ? list_variants(e, variants) : variant_list(e, e);
            return type_error(TypeDiag::UnknownVariant, pos, e, name, listed);
        }
        if (payload->empty()) return type_error(TypeDiag::UnitVariantWithParens, pos, e, name);
        return type_error(TypeDiag::PositionalVariantPayload, pos, canonical_form(e + "." + name, *payload));
    }
    return std::nullopt;
}

std::optional<std::string> Checker::module_exporting(const std::string& fn) const {
    std::vector<std::string> order = module_order;
    if (order.empty()) {
        for (const auto& entry : modules) order.push_back(entry.first);
        std::sort(order.begin(), order.end());
    }
    for (const std::string& m : order) {
        const auto api = modules.find(m);
        if (api != modules.end() && api->second->fns.contains(fn)) return m;
    }
    return std::nullopt;
}

TResult<Type> Checker::check_method_call(const ast::Expr& receiver, const std::string& method,
                                         const ast::Vec<ast::Expr>& args, Span pos) {
    QN_TRY_ASSIGN(const Type recv, check_expr(receiver, std::nullopt));
    return check_method_on(receiver, recv, method, args, pos);
}

TResult<Type> Checker::check_method_on(const ast::Expr& receiver, const Type& recv, const std::string& method,
                                       const ast::Vec<ast::Expr>& args, Span pos) {
    const std::optional<BuiltinMethod> found = find_method(recv, method);
    if (!found) {
        if (recv.is(Kind::Record)) {
            ensure_type(recv.name);
            const auto record = records.find(recv.name);
            const Fields no_fields;
            const Fields& fields = record == records.end() ? no_fields : record->second;
            const auto field =
                std::find_if(fields.begin(), fields.end(), [&](const auto& f) { return f.first == method; });
            if (field == fields.end()) return fail(TypeDiag::RecordMethodUnknownField, pos, recv, method);
            if (!field->second.is(Kind::Fn)) return fail(TypeDiag::RecordMethodPlainField, pos, method);
            return fail(TypeDiag::RecordMethodFnField, pos, method);
        }
        const std::string_view available = methods_of(recv);
        if (available.empty()) return fail(TypeDiag::NoMethods, pos, recv);
        return fail(TypeDiag::UnknownMethod, pos, method, recv, available);
    }
    if (found->refusal) return fail(*found->refusal, pos, recv);
    if (found->form != MethodForm::Signature) return check_fn_taking_method(found->form, recv, args, pos);

    const MethodSig& sig = found->sig;
    if (sig.mutating()) {
        const std::optional<std::string> root = root_ident(receiver);
        if (!root) return fail(TypeDiag::MutateUnnamedReceiver, receiver.span, method);
        if (captured_in_lambda(*root)) return fail(TypeDiag::AssignToCaptured, receiver.span, *root);
        const VarInfo* var = lookup(*root);
        if (!var || !var->is_mutable) return fail(TypeDiag::MutateImmutableReceiver, receiver.span, method, *root);
    }

    return check_fn_value_call(CalleeName{{}, method}, sig.params, sig.result.value_or(Type::void_()), args, pos);
}

TResult<Type> Checker::check_fn_taking_method(MethodForm form, const Type& recv, const ast::Vec<ast::Expr>& args,
                                              Span pos) {
    const Type& elem = recv.elem();
    switch (form) {
        case MethodForm::Filter: {
            if (args.size() != 1) return fail(TypeDiag::FilterArity, pos, args.size());
            QN_TRY(check_expr(args[0], Type::fn({elem}, Type::bool_())));
            return recv;
        }
        case MethodForm::Fold: {
            if (args.size() != 2) return fail(TypeDiag::FoldArity, pos, args.size());
            QN_TRY_ASSIGN(Type acc, check_expr(args[0], std::nullopt));
            if (acc.is(Kind::Void)) return fail(TypeDiag::FoldVoidInitial, args[0].span);
            QN_TRY(check_expr(args[1], Type::fn({acc, elem}, acc)));
            return acc;
        }
        case MethodForm::Map: {
            if (args.size() != 1) return fail(TypeDiag::MapArity, pos, args.size());
            QN_TRY_ASSIGN(const Type mapper, check_expr(args[0], std::nullopt));
            if (!mapper.is(Kind::Fn)) return fail(TypeDiag::MapNonFunction, pos, mapper, elem);
            const std::vector<Type> params = mapper.fn_params();
            if (params.size() != 1 || params[0] != elem) {
                return fail(TypeDiag::MapWrongFunction, pos, recv, elem, type_list(params), mapper.fn_ret());
            }
            if (mapper.fn_ret().is(Kind::Void)) return fail(TypeDiag::MapperReturnsVoid, pos);
            return Type::list(mapper.fn_ret());
        }
        case MethodForm::Signature: break;
    }
    internal_fault("a method with a signature is checked against it");
}

TResult<Type> Checker::check_fn_value_call(const CalleeName& callee, const std::vector<Type>& params,
                                           const Type& result, const ast::Vec<ast::Expr>& args, Span pos) {
    if (args.size() != params.size()) return unexpected(arity_err(callee, params.size(), args.size(), pos));
    for (size_t i = 0; i < args.size(); ++i) QN_TRY(check_expr(args[i], params[i]));
    return result;
}

TResult<Type> Checker::check_record_construction(const std::string& written, const std::string& key,
                                                 const ast::FieldInits& fields, Span pos) {
    const auto record = records.find(key);
    if (record == records.end()) internal_fault("record resolved by caller");
    // Checking the values may add instances to `records`, which leaves this entry in place.
    const Fields& declared = record->second;
    if (fields.size() != declared.size()) {
        return fail(TypeDiag::RecordFieldCount, pos, written, canonical_form(written, declared));
    }
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].name != declared[i].first) {
            return fail(TypeDiag::RecordFieldOrder, fields[i].value.span, declared[i].first, fields[i].name,
                        canonical_form(written, declared));
        }
        QN_TRY(check_expr(fields[i].value, declared[i].second));
    }
    return Type::record(key);
}

TResult<Type> Checker::check_variant_construction(const std::string& written, const std::string& key,
                                                  const std::string& variant, const ast::FieldInits& fields, Span pos) {
    const auto found = enums.find(key);
    if (found == enums.end()) internal_fault("enum resolved by caller");
    const Fields* payload_ptr = find_variant(found->second, variant);
    if (!payload_ptr) return fail(TypeDiag::UnknownVariant, pos, written, variant, variant_list(written, key));
    // Checking the values may add instances to `enums`, which leaves this entry in place.
    const Fields& payload = *payload_ptr;
    const auto head = [&] { return written + "." + variant; };
    if (payload.empty()) return fail(TypeDiag::UnitVariantWithParens, pos, written, variant);
    if (fields.size() != payload.size()) {
        return fail(TypeDiag::VariantFieldCount, pos, written, variant, canonical_form(head(), payload));
    }
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].name != payload[i].first) {
            return fail(TypeDiag::VariantFieldOrder, fields[i].value.span, payload[i].first, fields[i].name,
                        canonical_form(head(), payload));
        }
        QN_TRY(check_expr(fields[i].value, payload[i].second));
    }
    return Type::enum_(key);
}

TResult<Type> Checker::check_unit_variant_ref(const std::string& written, const std::string& key,
                                              const std::string& variant, const std::optional<Type>& expected,
                                              Span pos) {
    const auto found = enums.find(key);
    if (found == enums.end()) internal_fault("enum resolved by caller");
    const Fields* payload = find_variant(found->second, variant);
    if (!payload) return fail(TypeDiag::UnknownVariant, pos, written, variant, variant_list(written, key));
    if (!payload->empty()) {
        return fail(TypeDiag::VariantPayloadMissing, pos, written, variant,
                    canonical_form(written + "." + variant, *payload));
    }
    return conform(expected, Type::enum_(key), pos);
}

}  // namespace quellin::typeck
