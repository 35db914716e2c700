// Inference of type arguments at generic calls and constructions: one-sided matching of declared
// types against checked ones, substitution, and the registration of generic instances.

#include <algorithm>
#include <utility>

#include "check/checker.hpp"
#include "type_printer.hpp"

namespace quellin::typeck {

namespace {

using Kind = Type::Kind;
using Instances = NameMap<Instance>;

// The largest display form a type made from inferred bindings may have. Without a bound, a generic
// that pairs its argument with itself doubles the type at every level of nesting.
constexpr size_t kMaxTypeChars = 4096;
static_assert(kMaxTypeChars == 4096, "the message states the bound");

// Measures the display form a type has, or would have after `subst_ty`, without building it: the type
// printer writes into this sink, which counts and stops the walk as soon as the limit is passed. Every
// node prints at least one character, so even an enormous type costs no more than about the limit in steps.
class SizeSink {
public:
    // With `bindings`, names print as `subst_ty` would replace them; without, as they are.
    SizeSink(const Instances& instances, const Bindings* bindings) : instances_(instances), bindings_(bindings) {}

    bool put(std::string_view text) {
        size_ += text.size();
        return size_ <= kMaxTypeChars;
    }

    bool put_name(const Type& type) {
        if (bindings_ == nullptr) return put(type.name);
        if (type.is(Kind::TypeParam)) {
            const auto bound = bindings_->find(type.name);
            if (bound == bindings_->end()) return put(type.name);
            // A binding is copied as it is, never substituted again.
            const Bindings* const bindings = std::exchange(bindings_, nullptr);
            const bool within = print_type(bound->second, *this);
            bindings_ = bindings;
            return within;
        }
        const auto inst = instances_.find(type.name);
        if (inst == instances_.end()) return put(type.name);
        return print_applied(inst->second.generic, inst->second.args, *this);
    }

private:
    const Instances& instances_;
    const Bindings* bindings_;
    size_t size_ = 0;
};

bool fits(const Type& type, const Instances& instances) {
    SizeSink sink(instances, nullptr);
    return print_type(type, sink);
}

bool fits_substituted(const Type& type, const Instances& instances, const Bindings& bindings) {
    SizeSink sink(instances, &bindings);
    return print_type(type, sink);
}

bool instance_fits(const std::string& generic, const std::vector<Type>& args, const Instances& instances) {
    SizeSink sink(instances, nullptr);
    return print_applied(generic, args, sink);
}

// The inferred type arguments in declaration order; the declaration rules guarantee that a
// successful match has bound every one of them.
std::vector<Type> bound_args(const std::vector<std::string>& params, const Bindings& bindings) {
    std::vector<Type> args;
    args.reserve(params.size());
    for (const std::string& p : params) {
        const auto bound = bindings.find(p);
        if (bound == bindings.end()) internal_fault("type parameter inferable by the declaration rule");
        args.push_back(bound->second);
    }
    return args;
}

}  // namespace

Status Checker::check_type_size(const Type& ty, Span pos) const {
    if (fits(ty, instances)) return {};
    return fail(TypeDiag::TypeTooLarge, pos);
}

bool Checker::unify_m(const Type& declared, const Type& actual, Bindings& bindings) const {
    switch (declared.kind) {
        case Kind::TypeParam: {
            if (const auto bound = bindings.find(declared.name); bound != bindings.end())
                return bound->second == actual;
            bindings.emplace(declared.name, actual);
            return true;
        }
        case Kind::List:
        case Kind::Set:
        case Kind::Option:
        case Kind::Map:
        case Kind::Result:
        case Kind::Tuple:
        case Kind::Fn: {
            // Fn keeps its result as the last component, so one pairwise walk matches the parameters
            // in order and then the result.
            if (actual.kind != declared.kind || actual.args.size() != declared.args.size()) return false;
            for (size_t i = 0; i < declared.args.size(); ++i) {
                if (!unify_m(declared.args[i], actual.args[i], bindings)) return false;
            }
            return true;
        }
        case Kind::Record:
        case Kind::Enum: {
            if (actual.kind != declared.kind) return false;
            const auto d = instances.find(declared.name);
            const auto a = instances.find(actual.name);
            if (d == instances.end() || a == instances.end()) return declared.name == actual.name;
            const Instance& di = d->second;
            const Instance& ai = a->second;
            if (di.generic != ai.generic || di.args.size() != ai.args.size()) return false;
            for (size_t i = 0; i < di.args.size(); ++i) {
                if (!unify_m(di.args[i], ai.args[i], bindings)) return false;
            }
            return true;
        }
        default: return declared == actual;
    }
}

Type Checker::subst_ty(const Type& ty, const Bindings& bindings) {
    switch (ty.kind) {
        case Kind::TypeParam: {
            const auto bound = bindings.find(ty.name);
            return bound == bindings.end() ? ty : bound->second;
        }
        case Kind::Record:
        case Kind::Enum: {
            const auto inst = instances.find(ty.name);
            if (inst == instances.end()) return ty;
            // Registering below may add to `instances`, so work on a copy of the entry.
            const Instance instance = inst->second;
            std::vector<Type> args;
            args.reserve(instance.args.size());
            for (const Type& arg : instance.args) args.push_back(subst_ty(arg, bindings));
            return Type{ty.kind, register_instance(instance.generic, std::move(args)), {}};
        }
        default: {
            std::vector<Type> args;
            args.reserve(ty.args.size());
            for (const Type& arg : ty.args) args.push_back(subst_ty(arg, bindings));
            return Type{ty.kind, ty.name, std::move(args)};
        }
    }
}

Type Checker::clone_subst_view(const Type& ty, const Bindings& bindings) const {
    if (ty.is(Kind::TypeParam)) {
        const auto bound = bindings.find(ty.name);
        return bound == bindings.end() ? ty : bound->second;
    }
    std::vector<Type> args;
    args.reserve(ty.args.size());
    for (const Type& arg : ty.args) args.push_back(clone_subst_view(arg, bindings));
    return Type{ty.kind, ty.name, std::move(args)};
}

bool Checker::mentions_generic_m(const Type& ty, const std::string& param) const {
    if (ty.is(Kind::TypeParam)) return ty.name == param;
    if (ty.is(Kind::Record) || ty.is(Kind::Enum)) {
        const auto inst = instances.find(ty.name);
        if (inst == instances.end()) return false;
        const auto& args = inst->second.args;
        return std::any_of(args.begin(), args.end(), [&](const Type& a) { return mentions_generic_m(a, param); });
    }
    return std::any_of(ty.args.begin(), ty.args.end(), [&](const Type& a) { return mentions_generic_m(a, param); });
}

bool Checker::mentions_any_generic_m(const Type& ty) const {
    if (ty.is(Kind::TypeParam)) return true;
    if (ty.is(Kind::Record) || ty.is(Kind::Enum)) {
        const auto inst = instances.find(ty.name);
        if (inst == instances.end()) return false;
        const auto& args = inst->second.args;
        return std::any_of(args.begin(), args.end(), [&](const Type& a) { return mentions_any_generic_m(a); });
    }
    return std::any_of(ty.args.begin(), ty.args.end(), [&](const Type& a) { return mentions_any_generic_m(a); });
}

std::string Checker::register_instance(const std::string& generic, std::vector<Type> args) {
    std::string key = mangle_key(generic, args);
    if (!instances.contains(key)) instances.emplace(key, Instance{generic, std::move(args)});
    return key;
}

TResult<Type> Checker::check_against_declared(const Type& declared, const ast::Expr& value, const Bindings& bindings,
                                              Span pos) {
    if (!fits_substituted(declared, instances, bindings)) return fail(TypeDiag::TypeTooLarge, pos);
    const Type needed = subst_ty(declared, bindings);
    // What the bindings so far cannot settle is inferred from the value itself.
    if (mentions_any_generic_m(needed)) return check_expr(value, std::nullopt);
    return check_expr(value, needed);
}

TResult<Type> Checker::check_generic_call(Span pos, const std::optional<std::string>& module, const std::string& fn,
                                          const FnSig& sig, const ast::Vec<ast::Expr>& args) {
    if (args.size() != sig.params.size()) return fail(TypeDiag::CallArity, pos, fn, sig.params.size(), args.size());
    Bindings bindings;
    for (size_t i = 0; i < args.size(); ++i) {
        QN_TRY_ASSIGN(const Type actual, check_against_declared(sig.params[i], args[i], bindings, pos));
        if (!unify_m(sig.params[i], actual, bindings)) {
            return fail(TypeDiag::GenericCallUninferable, args[i].span, module ? *module + "." + fn : fn, i + 1, actual,
                        clone_subst_view(sig.params[i], bindings));
        }
    }
    if (record_generic_calls) {
        generic_calls[{pos.line, pos.col}] = CallInst{fn, bound_args(sig.type_params, bindings), module};
    }
    if (!fits_substituted(sig.ret, instances, bindings)) return fail(TypeDiag::TypeTooLarge, pos);
    return subst_ty(sig.ret, bindings);
}

TResult<Type> Checker::check_generic_record_construction(Span pos, const std::string& written, const std::string& key,
                                                         const ast::FieldInits& fields) {
    const auto found = generic_records.find(key);
    if (found == generic_records.end()) internal_fault("generic record resolved by caller");
    const GenericRecord record = found->second;
    if (fields.size() != record.fields.size()) {
        return fail(TypeDiag::RecordFieldCount, pos, written, canonical_form(written, record.fields));
    }
    Bindings bindings;
    for (size_t i = 0; i < fields.size(); ++i) {
        const auto& [declared_name, declared] = record.fields[i];
        if (fields[i].name != declared_name) {
            return fail(TypeDiag::RecordFieldOrder, fields[i].value.span, declared_name, fields[i].name,
                        canonical_form(written, record.fields));
        }
        QN_TRY_ASSIGN(const Type actual, check_against_declared(declared, fields[i].value, bindings, pos));
        if (!unify_m(declared, actual, bindings)) {
            return fail(TypeDiag::GenericRecordUninferable, fields[i].value.span, written, declared_name, actual,
                        clone_subst_view(declared, bindings));
        }
    }
    std::vector<Type> args = bound_args(record.type_params, bindings);
    if (!instance_fits(key, args, instances)) return fail(TypeDiag::TypeTooLarge, pos);
    return Type::record(register_instance(key, std::move(args)));
}

TResult<Type> Checker::check_generic_variant_construction(Span pos, const std::string& written, const std::string& key,
                                                          const std::string& variant, const ast::FieldInits& fields,
                                                          const std::optional<Type>& expected) {
    const auto found = generic_enums.find(key);
    if (found == generic_enums.end()) internal_fault("generic enum resolved by caller");
    const GenericEnum decl = found->second;

    const Fields* payload_ptr = find_variant(decl.variants, variant);
    if (!payload_ptr) {
        return fail(TypeDiag::UnknownVariant, pos, written, variant, list_variants(written, decl.variants));
    }
    const Fields& payload = *payload_ptr;
    if (!fields.empty() && payload.empty()) return fail(TypeDiag::UnitVariantWithParens, pos, written, variant);
    if (fields.size() != payload.size()) {
        return fail(TypeDiag::VariantFieldCount, pos, written, variant, canonical_form(written + "." + variant, payload));
    }

    Bindings bindings;
    if (expected && expected->is(Kind::Enum)) {
        const auto inst = instances.find(expected->name);
        if (inst != instances.end() && inst->second.generic == key) {
            const auto& args = inst->second.args;
            for (size_t i = 0; i < decl.type_params.size() && i < args.size(); ++i) {
                bindings.emplace(decl.type_params[i], args[i]);
            }
        }
    }

    for (size_t i = 0; i < fields.size(); ++i) {
        const auto& [declared_name, declared] = payload[i];
        if (fields[i].name != declared_name) {
            return fail(TypeDiag::VariantFieldOrder, fields[i].value.span, declared_name, fields[i].name,
                        canonical_form(written + "." + variant, payload));
        }
        QN_TRY_ASSIGN(const Type actual, check_against_declared(declared, fields[i].value, bindings, pos));
        if (!unify_m(declared, actual, bindings)) {
            return fail(TypeDiag::GenericVariantUninferable, fields[i].value.span, written, variant, declared_name,
                        actual, clone_subst_view(declared, bindings));
        }
    }

    for (const std::string& p : decl.type_params) {
        if (!bindings.contains(p)) return fail(TypeDiag::TypeParamUninferable, pos, p, written, variant);
    }
    std::vector<Type> args = bound_args(decl.type_params, bindings);
    if (!instance_fits(key, args, instances)) return fail(TypeDiag::TypeTooLarge, pos);
    return Type::enum_(register_instance(key, std::move(args)));
}

TResult<Type> Checker::check_generic_unit_variant_ref(Span pos, const std::string& written, const std::string& key,
                                                      const std::string& variant, const std::optional<Type>& expected) {
    const auto found = generic_enums.find(key);
    if (found == generic_enums.end()) internal_fault("generic enum resolved by caller");
    const GenericEnum& decl = found->second;

    const Fields* payload = find_variant(decl.variants, variant);
    if (!payload) {
        return fail(TypeDiag::UnknownVariant, pos, written, variant, list_variants(written, decl.variants));
    }
    if (!payload->empty()) {
        return fail(TypeDiag::VariantPayloadMissing, pos, written, variant,
                    canonical_form(written + "." + variant, *payload));
    }
    if (expected && expected->is(Kind::Enum)) {
        const auto inst = instances.find(expected->name);
        if (inst != instances.end() && inst->second.generic == key &&
            inst->second.args.size() == decl.type_params.size()) {
            const Instance instance = inst->second;
            return Type::enum_(register_instance(key, instance.args));
        }
    }
    return fail(TypeDiag::TypeArgsUninferable, pos, written, variant);
}

}  // namespace quellin::typeck
