// A checked module's interface, what its importers see of it, and what an importer is told when it
// names something the module does not export.

#include <algorithm>
#include <string>

#include "check/checker.hpp"

namespace quellin::typeck {

namespace {

using Kind = Type::Kind;

bool contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

std::string sorted_joined_keys(const auto& first, const auto& second) {
    std::vector<std::string> names;
    for (const auto& entry : first) names.push_back(entry.first);
    for (const auto& entry : second) names.push_back(entry.first);
    std::sort(names.begin(), names.end());
    return join(names);
}

Expected<std::string, std::string> rewrite_type_name(const std::string& name, std::string_view kind_word,
                                                     const std::string& module,
                                                     const NameSet& pub_types) {
    if (name.find('.') != std::string::npos) return name;
    if (pub_types.contains(name)) return module + "." + name;
    return unexpected("private " + std::string(kind_word) + " '" + name + "'");
}

Expected<Fields, std::string> rewrite_fields(const Fields& fields, const std::string& module,
                                             const NameSet& pub_types,
                                             const NameMap<Instance>& instances) {
    Fields out;
    out.reserve(fields.size());
    for (const auto& [name, ty] : fields) {
        QN_TRY_ASSIGN(Type rewritten, rewrite_exported_type(ty, module, pub_types, instances));
        out.emplace_back(name, std::move(rewritten));
    }
    return out;
}

Expected<Variants, std::string> rewrite_variants(const Variants& variants, const std::string& module,
                                                 const NameSet& pub_types,
                                                 const NameMap<Instance>& instances) {
    Variants out;
    out.reserve(variants.size());
    for (const auto& [name, payload] : variants) {
        QN_TRY_ASSIGN(Fields rewritten, rewrite_fields(payload, module, pub_types, instances));
        out.emplace_back(name, std::move(rewritten));
    }
    return out;
}

// `item` is what exposes it, e.g. "fn", and `name` the item's name; `description` names the private type.
[[gnu::cold, gnu::noinline]] TypeError exposes_private(const char* item, const std::string& name,
                                                       const std::string& description, Span span) {
    return type_error(TypeDiag::ExportExposesPrivateType, span, "pub " + std::string(item) + " '" + name + "'",
                      description);
}

}  // namespace

TypeError Checker::module_member_err(const std::string& m, const std::string& member, Span pos) const {
    return unexported_member_err(m, member, false, pos);
}

TypeError Checker::module_type_err(const std::string& m, const std::string& name, Span pos) const {
    return unexported_member_err(m, name, true, pos);
}

TypeError Checker::unexported_member_err(const std::string& m, const std::string& member, bool as_type,
                                         Span pos) const {
    const auto found = modules.find(m);
    if (found == modules.end()) internal_fault("module imported");
    const ModuleApi& api = *found->second;
    // What the module declares but keeps to itself is named as such, whatever else the member could be.
    if (!as_type && contains(api.private_fns, member)) {
        return type_error(TypeDiag::PrivateModuleFunction, pos, member, m);
    }
    // Identifiers are ASCII, so an ASCII test is the whole upper-case test here.
    if (as_type || (!member.empty() && member[0] >= 'A' && member[0] <= 'Z')) {
        if (contains(api.private_types, member)) return type_error(TypeDiag::PrivateModuleType, pos, member, m);
        if (api.records.empty() && api.enums.empty()) {
            if (as_type) return type_error(TypeDiag::ModuleHasNoPubTypes, pos, m);
            return type_error(TypeDiag::NoSuchPubTypeNoneExported, pos, m, member);
        }
        return type_error(TypeDiag::NoSuchPubType, pos, m, member, sorted_joined_keys(api.records, api.enums));
    }
    if (api.fns.empty()) return type_error(TypeDiag::ModuleHasNoPubFunctions, pos, m);
    const NameMap<FnSig> none;
    return type_error(TypeDiag::NoSuchPubFunction, pos, m, member, sorted_joined_keys(api.fns, none));
}

Expected<ModuleApi, TypeError> Checker::compute_interface(const ast::Program& program) const {
    ModuleApi api;
    NameSet pub_types;
    for (const ast::Stmt& stmt : program.stmts) {
        const auto* record = ast::as<ast::StmtKind::RecordDecl>(stmt);
        const auto* enum_decl = ast::as<ast::StmtKind::EnumDecl>(stmt);
        if (!record && !enum_decl) continue;
        const bool is_pub = record ? record->is_pub : enum_decl->is_pub;
        const std::string& name = record ? record->name : enum_decl->name;
        if (is_pub) {
            pub_types.insert(name);
        } else {
            api.private_types.push_back(name);
        }
    }

    for (const ast::Stmt& stmt : program.stmts) {
        if (const auto* fn = ast::as<ast::StmtKind::FnDecl>(stmt)) {
            if (!fn->is_pub) {
                api.private_fns.push_back(fn->name);
                continue;
            }
            const auto found = fns.find(fn->name);
            if (found == fns.end()) internal_fault("function collected in the first pass");
            FnSig sig{found->second.type_params, {}, Type::void_()};
            for (const Type& param : found->second.params) {
                auto rewritten = rewrite_exported_type(param, module, pub_types, instances);
                if (!rewritten) return unexpected(exposes_private("fn", fn->name, rewritten.error(), stmt.span));
                sig.params.push_back(std::move(rewritten).value());
            }
            auto rewritten_ret = rewrite_exported_type(found->second.ret, module, pub_types, instances);
            if (!rewritten_ret) return unexpected(exposes_private("fn", fn->name, rewritten_ret.error(), stmt.span));
            sig.ret = std::move(rewritten_ret).value();
            api.fns.insert_or_assign(fn->name, std::move(sig));
        } else if (const auto* enum_decl = ast::as<ast::StmtKind::EnumDecl>(stmt); enum_decl && enum_decl->is_pub) {
            if (enum_decl->type_params.empty()) {
                const auto found = enums.find(enum_decl->name);
                if (found == enums.end()) internal_fault("enum collected in the first pass");
                auto variants = rewrite_variants(found->second, module, pub_types, instances);
                if (!variants) return unexpected(exposes_private("enum", enum_decl->name, variants.error(), stmt.span));
                api.enums.insert_or_assign(enum_decl->name, std::move(variants).value());
            } else {
                const auto found = generic_enums.find(enum_decl->name);
                if (found == generic_enums.end()) internal_fault("generic enum collected in the first pass");
                auto variants = rewrite_variants(found->second.variants, module, pub_types, instances);
                if (!variants) return unexpected(exposes_private("enum", enum_decl->name, variants.error(), stmt.span));
                api.generic_enums.insert_or_assign(enum_decl->name,
                                                   GenericEnum{found->second.type_params, std::move(variants).value()});
            }
        } else if (const auto* record = ast::as<ast::StmtKind::RecordDecl>(stmt); record && record->is_pub) {
            if (record->type_params.empty()) {
                const auto found = records.find(record->name);
                if (found == records.end()) internal_fault("record collected in the first pass");
                auto fields = rewrite_fields(found->second, module, pub_types, instances);
                if (!fields) return unexpected(exposes_private("record", record->name, fields.error(), stmt.span));
                api.records.insert_or_assign(record->name, std::move(fields).value());
            } else {
                const auto found = generic_records.find(record->name);
                if (found == generic_records.end()) internal_fault("generic record collected in the first pass");
                auto fields = rewrite_fields(found->second.fields, module, pub_types, instances);
                if (!fields) return unexpected(exposes_private("record", record->name, fields.error(), stmt.span));
                api.generic_records.insert_or_assign(
                    record->name, GenericRecord{found->second.type_params, std::move(fields).value()});
            }
        }
    }

    // Instantiations travel with the interface when everything they mention is exportable; the
    // others are simply not visible to importers.
    for (const auto& [key, instance] : instances) {
        auto generic = rewrite_type_name(instance.generic, "record", module, pub_types);
        if (!generic) continue;
        std::vector<Type> args;
        args.reserve(instance.args.size());
        bool exportable = true;
        for (const Type& arg : instance.args) {
            auto rewritten = rewrite_exported_type(arg, module, pub_types, instances);
            if (!rewritten) {
                exportable = false;
                break;
            }
            args.push_back(std::move(rewritten).value());
        }
        if (!exportable) continue;
        std::string exported_key = mangle_key(generic.value(), args);
        api.instances.insert_or_assign(std::move(exported_key), Instance{std::move(generic).value(), std::move(args)});
    }
    return api;
}

Expected<Type, std::string> rewrite_exported_type(const Type& type, const std::string& module,
                                                  const NameSet& pub_types,
                                                  const NameMap<Instance>& instances) {
    switch (type.kind) {
        case Kind::Int:
        case Kind::Float:
        case Kind::Text:
        case Kind::Bytes:
        case Kind::Bool:
        case Kind::Void:
        case Kind::TypeParam: return type;
        case Kind::Record:
        case Kind::Enum: {
            const std::string_view kind_word = type.is(Kind::Record) ? "record" : "enum";
            const auto instance = instances.find(type.name);
            if (instance == instances.end()) {
                QN_TRY_ASSIGN(std::string name, rewrite_type_name(type.name, kind_word, module, pub_types));
                return Type{type.kind, std::move(name), {}};
            }
            QN_TRY_ASSIGN(std::string generic,
                          rewrite_type_name(instance->second.generic, kind_word, module, pub_types));
            std::vector<Type> args;
            args.reserve(instance->second.args.size());
            for (const Type& arg : instance->second.args) {
                QN_TRY_ASSIGN(Type rewritten, rewrite_exported_type(arg, module, pub_types, instances));
                args.push_back(std::move(rewritten));
            }
            return Type{type.kind, mangle_key(generic, args), {}};
        }
        case Kind::List:
        case Kind::Map:
        case Kind::Set:
        case Kind::Tuple:
        case Kind::Option:
        case Kind::Result:
        case Kind::Fn: break;
    }
    std::vector<Type> components;
    components.reserve(type.args.size());
    for (const Type& component : type.args) {
        QN_TRY_ASSIGN(Type rewritten, rewrite_exported_type(component, module, pub_types, instances));
        components.push_back(std::move(rewritten));
    }
    return Type{type.kind, {}, std::move(components)};
}

}  // namespace quellin::typeck
