// Calls of every callee shape (builtins, functions, function values, module functions, methods) and
// the three ways of making a record or enum value.

#include <algorithm>
#include <string_view>

#include "check/checker.hpp"

namespace quellin::typeck {

using namespace std::string_view_literals;

namespace {

using Kind = Type::Kind;

std::string count(size_t n) { return std::to_string(n); }

TypeError arity_err(const CalleeName& callee, size_t expected, size_t found, Span pos) {
    return err(callee.quoted() + " takes " + count(expected) + " argument(s), found " + count(found), pos);
}

std::string captured_message(const std::string& name) {
    return "'" + name +
           "' is captured by value in this lambda — mutating it would only change the lambda's copy; produce the "
           "result via the return value instead";
}

// "radius: ..., label: ...": the inside of a canonical form.
std::string field_slots(const Fields& fields) {
    std::vector<std::string> slots;
    slots.reserve(fields.size());
    for (const auto& field : fields) slots.push_back(field.first + ": ...");
    return join(slots);
}

struct Builtin {
    std::string_view name;
    std::vector<Type> params;
    Type result;
};

// The builtin functions with fixed signatures; Some, Ok, Err and None depend on the expected type and
// are handled by the caller.
std::optional<Builtin> fixed_builtin(std::string_view name) {
    if (name == "print"sv) return Builtin{name, {Type::text()}, Type::void_()};
    if (name == "env"sv) return Builtin{name, {Type::text()}, Type::option(Type::text())};
    if (name == "args"sv) return Builtin{name, {}, Type::list(Type::text())};
    if (name == "read_file"sv) return Builtin{name, {Type::text()}, Type::result(Type::bytes(), Type::text())};
    if (name == "write_file"sv) {
        return Builtin{name, {Type::text(), Type::bytes()}, Type::result(Type::int_(), Type::text())};
    }
    return std::nullopt;
}

}  // namespace

std::string CalleeName::quoted() const {
    if (name.empty()) return "this function value";
    std::string text = "'";
    if (!module.empty()) text.append(module).append(".");
    return text.append(name).append("'");
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
    if (!fn_type.is(Kind::Fn)) {
        return unexpected(err(
            "this expression has type " + fn_type.to_string() + " — only functions and fn-typed values can be called",
            callee.span));
    }
    return check_fn_value_call(CalleeName{}, fn_type.fn_params(), fn_type.fn_ret(), args, pos);
}

TResult<Type> Checker::check_named_call(const ast::Expr& callee, const ast::Vec<ast::Expr>& args,
                                        const std::optional<Type>& expected, Span pos) {
    const std::string& name = std::get<ast::ExprKind::Ident>(callee.kind.v).name;
    const CalleeName named{{}, name};

    if (auto builtin = fixed_builtin(name)) {
        return check_fn_value_call(named, builtin->params, builtin->result, args, pos);
    }
    if (name == "None"sv) return unexpected(err("'None' takes no arguments — write plain 'None'", pos));
    if (name == "Some"sv || name == "Ok"sv || name == "Err"sv) {
        if (args.size() != 1) return unexpected(arity_err(named, 1, args.size(), pos));
        if (name == "Some"sv) {
            const bool has_inner = expected && expected->is(Kind::Option);
            QN_TRY_ASSIGN(Type inner,
                          check_expr(args[0], has_inner ? std::optional<Type>(expected->elem()) : std::nullopt));
            return Type::option(has_inner ? expected->elem() : std::move(inner));
        }
        if (!expected || !expected->is(Kind::Result)) {
            if (name == "Ok"sv) {
                return unexpected(
                    err("cannot infer the error type of 'Ok(...)' here — annotate the target, e.g. "
                        "'let r: Result[Int, Text] = Ok(1)'",
                        pos));
            }
            return unexpected(
                err("cannot infer the value type of 'Err(...)' here — annotate the target, e.g. "
                    "'let r: Result[Int, Text] = Err(\"boom\")'",
                    pos));
        }
        const Type& payload = name == "Ok"sv ? expected->elem() : expected->second();
        QN_TRY(check_expr(args[0], payload));
        return *expected;
    }

    if (const auto fn = fns.find(name); fn != fns.end()) {
        const FnSig& sig = fn->second;
        if (args.size() != sig.params.size())
            return unexpected(arity_err(named, sig.params.size(), args.size(), pos));
        if (!sig.type_params.empty()) return check_generic_call(pos, std::nullopt, name, sig, args);
        return check_fn_value_call(named, sig.params, sig.ret, args, pos);
    }
    if (const VarInfo* var = lookup(name)) {
        if (!var->ty.is(Kind::Fn)) {
            return unexpected(
                err(named.quoted() + " has type " + var->ty.to_string() + " — it cannot be called", callee.span));
        }
        const Type fn_type = var->ty;
        return check_fn_value_call(named, fn_type.fn_params(), fn_type.fn_ret(), args, pos);
    }
    if (const auto record = records.find(name); record != records.end()) {
        return unexpected(
            err("records are constructed with named fields: " + canonical_form(name, record->second), callee.span));
    }
    if (enums.contains(name)) {
        return unexpected(
            err("enums are constructed via their qualified variants: " + variant_list(name, name), callee.span));
    }
    if (const auto home = module_exporting(name)) {
        return unexpected(err(named.quoted() + " lives in module '" + *home +
                                  "' — module functions are called qualified: " + *home + "." + name + "(...)",
                              callee.span));
    }
    return unexpected(err(
        "unknown function " + named.quoted() + " — v0.1 resolves calls to top-level functions and the builtin print(Text)",
        callee.span));
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
        return unexpected(err(
            "'" + qualified + "' is an enum — write one of its variants: " + variant_list(qualified, qualified),
            pos));
    }
    if (const auto g = generic_enums.find(qualified); g != generic_enums.end()) {
        return unexpected(err("'" + qualified + "' is an enum — write one of its variants: " +
                                  list_variants(qualified, g->second.variants),
                              pos));
    }
    if (records.contains(qualified) || generic_records.contains(qualified)) {
        return unexpected(err("records are constructed with named fields: " + qualified + "(field: ...)", pos));
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
            return err("enum " + e + " has no variant '" + name + "' — its variants are: " + listed, pos);
        }
        if (payload->empty()) {
            return err("'" + e + "." + name + "' is a unit variant — write it without parentheses: " + e + "." + name,
                       pos);
        }
        return err(
            "variant payloads use named fields in declaration order: " + canonical_form(e + "." + name, *payload),
            pos);
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
    if (recv.is(Kind::List)) {
        const Type& elem = recv.elem();
        if (method == "join"sv && elem != Type::text()) {
            return unexpected(err(
                "join(separator) works on List[Text] — found " + recv.to_string() + "; interpolate the elements into Text first",
                pos));
        }
        if (method == "sorted"sv && elem != Type::int_() && elem != Type::float_() && elem != Type::text()) {
            return unexpected(err("sorted() orders Int, Float, or Text elements — found " + recv.to_string(), pos));
        }
        if (method == "filter"sv) {
            if (args.size() != 1) {
                return unexpected(err("'filter' takes 1 argument (a predicate), found " + count(args.size()), pos));
            }
            QN_TRY(check_expr(args[0], Type::fn({elem}, Type::bool_())));
            return recv;
        }
        if (method == "fold"sv) {
            if (args.size() != 2) {
                return unexpected(err(
                    "'fold' takes 2 arguments (initial value, combining function), found " + count(args.size()), pos));
            }
            QN_TRY_ASSIGN(Type acc, check_expr(args[0], std::nullopt));
            if (acc.is(Kind::Void)) {
                return unexpected(
                    err("fold's initial value must be a value — this expression produces no value", args[0].span));
            }
            QN_TRY(check_expr(args[1], Type::fn({acc, elem}, acc)));
            return acc;
        }
        if (method == "map"sv) {
            if (args.size() != 1) {
                return unexpected(err("'map' takes 1 argument (a function), found " + count(args.size()), pos));
            }
            QN_TRY_ASSIGN(const Type mapper, check_expr(args[0], std::nullopt));
            if (!mapper.is(Kind::Fn)) {
                return unexpected(err("map takes a function — found " + mapper.to_string() +
                                          "; write fn(x: " + elem.to_string() + ") -> U = ...",
                                      pos));
            }
            const std::vector<Type> params = mapper.fn_params();
            if (params.size() != 1 || params[0] != elem) {
                return unexpected(err("map on " + recv.to_string() + " needs a fn(" + elem.to_string() + ") -> U, found fn(" +
                                          type_list(params) + ") -> " + mapper.fn_ret().to_string(),
                                      pos));
            }
            if (mapper.fn_ret().is(Kind::Void)) {
                return unexpected(err(
                    "the mapper must produce a value, but it returns Void — use a 'for' loop for side effects", pos));
            }
            return Type::list(mapper.fn_ret());
        }
    }

    const std::optional<MethodSig> sig = method_sig(recv, method);
    if (!sig) {
        if (recv.is(Kind::Record)) {
            ensure_type(recv.name);
            const auto record = records.find(recv.name);
            const Fields no_fields;
            const Fields& fields = record == records.end() ? no_fields : record->second;
            const auto found =
                std::find_if(fields.begin(), fields.end(), [&](const auto& f) { return f.first == method; });
            if (found == fields.end()) {
                return unexpected(
                    err("records have no methods in v0.1, and " + recv.to_string() + " has no field '" + method + "'", pos));
            }
            if (!found->second.is(Kind::Fn)) {
                return unexpected(err("records have no methods in v0.1 — '" + method +
                                          "' is a field; access it without parentheses: ." + method,
                                      pos));
            }
            return unexpected(err("'" + method +
                                      "' is a fn-typed field, not a method — bind it first: 'let f = value." + method +
                                      "' then f(...)",
                                  pos));
        }
        const std::string_view available = methods_of(recv);
        if (available.empty()) return unexpected(err("values of type " + recv.to_string() + " have no methods in v0.1", pos));
        return unexpected(
            err("no method '" + method + "' on " + recv.to_string() + " — available methods: " + std::string(available), pos));
    }

    if (sig->mutating()) {
        const std::optional<std::string> root = root_ident(receiver);
        if (!root) {
            return unexpected(err("'" + method +
                                      "' mutates its receiver, which needs a named value — bind it first: 'mut xs = "
                                      "...' then xs." +
                                      method + "(...)",
                                  receiver.span));
        }
        if (captured_in_lambda(*root)) return unexpected(err(captured_message(*root), receiver.span));
        const VarInfo* var = lookup(*root);
        if (!var || !var->is_mutable) {
            return unexpected(
                err("cannot call mutating '" + method + "' on immutable '" + *root + "' — declare it with 'mut'",
                    receiver.span));
        }
    }

    return check_fn_value_call(CalleeName{{}, method}, sig->params, sig->result.value_or(Type::void_()), args, pos);
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
        return unexpected(err("record " + written + " is constructed with all fields in declaration order: " +
                                  canonical_form(written, declared),
                              pos));
    }
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].name != declared[i].first) {
            return unexpected(err("record fields are written in declaration order — expected '" + declared[i].first +
                                      "' here, found '" + fields[i].name + "'; the canonical form is " +
                                      canonical_form(written, declared),
                                  fields[i].value.span));
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
    if (!payload_ptr) {
        return unexpected(err(
            "enum " + written + " has no variant '" + variant + "' — its variants are: " + variant_list(written, key),
            pos));
    }
    // Checking the values may add instances to `enums`, which leaves this entry in place.
    const Fields& payload = *payload_ptr;
    const auto head = [&] { return written + "." + variant; };
    if (payload.empty()) {
        return unexpected(err("'" + head() + "' is a unit variant — write it without parentheses: " + head(), pos));
    }
    if (fields.size() != payload.size()) {
        return unexpected(err("variant " + head() + " is constructed with all payload fields in declaration order: " +
                                  canonical_form(head(), payload),
                              pos));
    }
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].name != payload[i].first) {
            return unexpected(err("variant fields are written in declaration order — expected '" + payload[i].first +
                                      "' here, found '" + fields[i].name + "'; the canonical form is " +
                                      canonical_form(head(), payload),
                                  fields[i].value.span));
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
    if (!payload) {
        return unexpected(err(
            "enum " + written + " has no variant '" + variant + "' — its variants are: " + variant_list(written, key),
            pos));
    }
    const std::string head = written + "." + variant;
    if (!payload->empty()) {
        return unexpected(
            err("'" + head + "' carries a payload — construct it with named fields: " + canonical_form(head, *payload),
                pos));
    }
    return conform(expected, Type::enum_(key), pos);
}

}  // namespace quellin::typeck
