// Turning written type expressions into types, and keeping the record and enum tables complete
// for generic instances and for the public types of imported modules.

#include <algorithm>
#include <string_view>

#include "check/checker.hpp"

namespace quellin::typeck {

namespace {

using Kind = Type::Kind;

// A builtin type written with the wrong number of type arguments; the kinds of the generic builtins name
// their type themselves.
[[gnu::cold, gnu::noinline]] TypeError builtin_arity_err(const BuiltinName& builtin, size_t found, Span span) {
    if (builtin.arity == 0) return type_error(builtin.refusal, span, builtin.name, found);
    return type_error(builtin.refusal, span, found);
}

[[gnu::cold, gnu::noinline]] TypeError generic_arity_err(const std::string& name,
                                                         const std::vector<std::string>& params, size_t found,
                                                         Span span) {
    return type_error(TypeDiag::GenericTypeArity, span, name, join(params), params.size(), found);
}

Bindings bind_params(const std::vector<std::string>& params, const std::vector<Type>& args) {
    Bindings bindings;
    for (size_t i = 0; i < params.size() && i < args.size(); ++i) bindings.emplace(params[i], args[i]);
    return bindings;
}

}  // namespace

TResult<std::vector<Type>> Checker::resolve_param_types(const ast::Vec<ast::Param>& params) {
    std::vector<Type> types;
    types.reserve(params.size());
    SeenNames seen;
    for (const ast::Param& param : params) {
        if (!seen.insert(param.name)) return fail(TypeDiag::DuplicateParam, param.span, param.name);
        QN_TRY_ASSIGN(Type ty, resolve_type(param.ty));
        types.push_back(std::move(ty));
    }
    return types;
}

TResult<Type> Checker::resolve_type(const ast::TypeExpr& te) {
    const Span span = te.span;

    if (const auto* fn = ast::as<ast::TypeExprKind::Fn>(te)) {
        std::vector<Type> params;
        params.reserve(fn->params.size());
        for (const ast::TypeExpr& p : fn->params) {
            QN_TRY_ASSIGN(Type param, resolve_type(p));
            params.push_back(std::move(param));
        }
        QN_TRY_ASSIGN(Type result, resolve_type(*fn->ret));
        return Type::fn(std::move(params), std::move(result));
    }

    const auto resolve_args = [this](const ast::Vec<ast::TypeExpr>& written) -> TResult<std::vector<Type>> {
        std::vector<Type> args;
        args.reserve(written.size());
        for (const ast::TypeExpr& a : written) {
            QN_TRY_ASSIGN(Type arg, resolve_type(a));
            args.push_back(std::move(arg));
        }
        return args;
    };

    if (const auto* q = ast::as<ast::TypeExprKind::Qualified>(te)) {
        const auto api = modules.find(q->module);
        if (api == modules.end()) return fail(TypeDiag::ModuleNotImported, span, q->module);
        const std::string qualified = q->module + "." + q->name;
        const bool plain_record = records.contains(qualified);
        if (plain_record || enums.contains(qualified)) {
            if (!q->args.empty()) return fail(TypeDiag::QualifiedNonGenericTypeWithTypeArgs, span, qualified);
            return plain_record ? Type::record(qualified) : Type::enum_(qualified);
        }
        const auto generic_record = generic_records.find(qualified);
        const auto generic_enum = generic_enums.find(qualified);
        if (generic_record != generic_records.end() || generic_enum != generic_enums.end()) {
            const bool is_record = generic_record != generic_records.end();
            const auto& params = is_record ? generic_record->second.type_params : generic_enum->second.type_params;
            if (q->args.size() != params.size()) {
                return unexpected(generic_arity_err(qualified, params, q->args.size(), span));
            }
            QN_TRY_ASSIGN(std::vector<Type> args, resolve_args(q->args));
            std::string key = register_instance(qualified, std::move(args));
            return is_record ? Type::record(std::move(key)) : Type::enum_(std::move(key));
        }
        return unexpected(module_type_err(q->module, q->name, span));
    }

    const auto& named = std::get<ast::TypeExprKind::Named>(te.kind.v);
    const std::string& name = named.name;
    const size_t written = named.args.size();

    if (std::find(type_params.begin(), type_params.end(), name) != type_params.end()) {
        if (written > 0) return fail(TypeDiag::TypeParamWithTypeArgs, span, name);
        return Type::type_param(name);
    }

    // The builtin functions and constructors are no types, and no declared type has their names.
    if (const BuiltinName* builtin = find_builtin(name)) {
        switch (builtin->role) {
            case BuiltinRole::Type: {
                if (written != builtin->arity) return unexpected(builtin_arity_err(*builtin, written, span));
                QN_TRY_ASSIGN(std::vector<Type> args, resolve_args(named.args));
                return Type{builtin->kind, {}, std::move(args)};
            }
            case BuiltinRole::Tuple: {
                if (written < builtin->arity) return fail(builtin->refusal, span);
                QN_TRY_ASSIGN(std::vector<Type> args, resolve_args(named.args));
                return Type::tuple(std::move(args));
            }
            case BuiltinRole::RefusedType: return fail(builtin->refusal, span);
            case BuiltinRole::Function:
            case BuiltinRole::Constructor: break;
        }
    }

    const bool plain_record = records.contains(name);
    if (plain_record || enums.contains(name)) {
        if (written > 0) return fail(TypeDiag::NonGenericTypeWithTypeArgs, span, name, written);
        return plain_record ? Type::record(name) : Type::enum_(name);
    }

    const auto generic_record = generic_records.find(name);
    const auto generic_enum = generic_enums.find(name);
    if (generic_record != generic_records.end() || generic_enum != generic_enums.end()) {
        const bool is_record = generic_record != generic_records.end();
        const auto& params = is_record ? generic_record->second.type_params : generic_enum->second.type_params;
        if (written != params.size()) return unexpected(generic_arity_err(name, params, written, span));
        QN_TRY_ASSIGN(std::vector<Type> args, resolve_args(named.args));
        std::string key = register_instance(name, std::move(args));
        return is_record ? Type::record(std::move(key)) : Type::enum_(std::move(key));
    }

    return fail(TypeDiag::UnknownType, span, name, listed_builtin_types());
}

void Checker::ensure_type(const std::string& name) {
    if (records.contains(name) || enums.contains(name)) return;
    const auto inst = instances.find(name);
    if (inst == instances.end()) return;
    // Substituting may register further instances, so nothing may point into the tables meanwhile.
    const Instance instance = inst->second;

    if (const auto g = generic_records.find(instance.generic); g != generic_records.end()) {
        const GenericRecord generic = g->second;
        const Bindings bindings = bind_params(generic.type_params, instance.args);
        Fields fields;
        fields.reserve(generic.fields.size());
        for (const auto& [field, ty] : generic.fields) fields.emplace_back(field, subst_ty(ty, bindings));
        records.emplace(name, std::move(fields));
        return;
    }
    if (const auto g = generic_enums.find(instance.generic); g != generic_enums.end()) {
        const GenericEnum generic = g->second;
        const Bindings bindings = bind_params(generic.type_params, instance.args);
        Variants variants;
        variants.reserve(generic.variants.size());
        for (const auto& [variant, payload] : generic.variants) {
            Fields fields;
            fields.reserve(payload.size());
            for (const auto& [field, ty] : payload) fields.emplace_back(field, subst_ty(ty, bindings));
            variants.emplace_back(variant, std::move(fields));
        }
        enums.emplace(name, std::move(variants));
    }
}

void Checker::install_type_closure(const Type& ty, const Apis& apis) {
    if (ty.args.empty() && !ty.is(Kind::Record) && !ty.is(Kind::Enum)) return;
    // A worklist rather than recursion: a chain of records across modules can be arbitrarily long. The
    // entries point into `ty`, into the interfaces and into `instances`, none of which change meanwhile.
    std::vector<const Type*> pending{&ty};
    // Instance keys whose arguments were already queued by this walk.
    NameSet walked;

    // Makes another module's generic record or enum known under its qualified name, as importing that
    // module would, so that instances of it can be materialised here.
    const auto install_generic = [&](const std::string& generic) {
        if (generic_records.contains(generic) || generic_enums.contains(generic)) return;
        const size_t dot = generic.find('.');
        if (dot == std::string::npos) return;
        const auto api = apis.find(std::string_view(generic).substr(0, dot));
        if (api == apis.end()) return;
        const std::string_view member = std::string_view(generic).substr(dot + 1);
        if (const auto r = api->second->generic_records.find(member); r != api->second->generic_records.end()) {
            generic_records.emplace(generic, r->second);
            for (const auto& field : r->second.fields) pending.push_back(&field.second);
        } else if (const auto e = api->second->generic_enums.find(member); e != api->second->generic_enums.end()) {
            generic_enums.emplace(generic, e->second);
            for (const auto& variant : e->second.variants) {
                for (const auto& field : variant.second) pending.push_back(&field.second);
            }
        }
    };

    while (!pending.empty()) {
        const Type& cur = *pending.back();
        pending.pop_back();
        if (!cur.is(Kind::Record) && !cur.is(Kind::Enum)) {
            // Scalars and type parameters have no components; composites walk every component.
            for (const Type& component : cur.args) pending.push_back(&component);
            continue;
        }
        const std::string& name = cur.name;
        if (records.contains(name) || enums.contains(name)) continue;
        // An instance of another module's generic: its declaration and everything its arguments name.
        if (const auto inst = instances.find(name); inst != instances.end()) {
            if (!walked.insert(name).second) continue;
            for (const Type& arg : inst->second.args) pending.push_back(&arg);
            install_generic(inst->second.generic);
            continue;
        }
        const size_t dot = name.find('.');
        if (dot == std::string::npos) continue;
        const auto api = apis.find(std::string_view(name).substr(0, dot));
        if (api == apis.end()) continue;
        const std::string_view member = std::string_view(name).substr(dot + 1);
        if (const auto r = api->second->records.find(member); r != api->second->records.end()) {
            records.emplace(name, r->second);
            for (const auto& field : r->second) pending.push_back(&field.second);
        } else if (const auto e = api->second->enums.find(member); e != api->second->enums.end()) {
            enums.emplace(name, e->second);
            for (const auto& variant : e->second) {
                for (const auto& field : variant.second) pending.push_back(&field.second);
            }
        }
    }
}

std::string Checker::variant_list(const std::string& written, const std::string& key) const {
    const auto found = enums.find(key);
    if (found == enums.end()) internal_fault("enum collected");
    std::vector<std::string> items;
    items.reserve(found->second.size());
    for (const auto& [variant, payload] : found->second) {
        items.push_back(written + "." + variant + (payload.empty() ? "" : "(...)"));
    }
    return join(items);
}

}  // namespace quellin::typeck
