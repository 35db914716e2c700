// Checking a whole program module by module: imports and interfaces, the declaration passes, the
// module's statements, and the run-wide tables of generic instantiations.

#include <algorithm>
#include <cstddef>
#include <memory>

#include "check/checker.hpp"
#include "check/prefetch.hpp"

namespace quellin::typeck {

struct Leftovers::Parts {
    std::unique_ptr<Checker> entry;  // absent when the check stopped in an imported module
    Apis interfaces;
};

Leftovers::Leftovers() = default;
Leftovers::Leftovers(Leftovers&&) noexcept = default;
Leftovers& Leftovers::operator=(Leftovers&&) noexcept = default;
Leftovers::~Leftovers() = default;

void Leftovers::release() { parts_.reset(); }

bool Leftovers::empty() const { return parts_ == nullptr; }

void Leftovers::keep(std::unique_ptr<Parts> parts) { parts_ = std::move(parts); }

namespace {

using Kind = Type::Kind;

// A module to check: its name and its syntax tree, borrowed from the caller.
struct ModuleRef {
    const std::string& name;
    const ast::Program& program;
};

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

// Imported modules are libraries: only declarations may appear at their top level.
Status check_declarations_only(const ast::Program& program) {
    for (const ast::Stmt& stmt : program.stmts) {
        const bool is_declaration = ast::as<ast::StmtKind::FnDecl>(stmt) || ast::as<ast::StmtKind::RecordDecl>(stmt) ||
                                    ast::as<ast::StmtKind::EnumDecl>(stmt) || ast::as<ast::StmtKind::Import>(stmt) ||
                                    ast::as<ast::StmtKind::Test>(stmt);
        if (!is_declaration) return fail(TypeDiag::ImportedModuleHasTopLevelCode, stmt.span);
    }
    return {};
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

// `info`, when given, gathers the module's generic calls and instances.
Status check_module(Checker& c, const ModuleRef& m, bool is_entry, Apis& apis, CheckInfo* info) {
    c.record_generic_calls = info != nullptr;
    QN_TRY(c.install_imports(m.program, apis));
    if (!is_entry) QN_TRY(check_declarations_only(m.program));
    QN_TRY(c.collect_types(m.program));
    QN_TRY(c.check_value_cycles(m.program));
    QN_TRY(c.collect_fns(m.program));
    c.declarations_collected();

    // Top-level code sees no declaration's type parameters.
    c.type_params.clear();
    const ast::Vec<ast::Stmt>& stmts = m.program.stmts;
    for (std::size_t i = 0; i < stmts.size(); ++i) {
        prefetch_next_function(stmts, i);
        QN_TRY(c.check_stmt(stmts[i]));
    }

    if (!is_entry) {
        QN_TRY_ASSIGN(ModuleApi api, c.compute_interface(m.program));
        apis.insert_or_assign(m.name, std::move(api));
    }
    if (!info) return {};
    for (auto& [pos, call] : c.generic_calls) {
        info->calls.insert_or_assign(std::make_tuple(m.name, pos.first, pos.second), std::move(call));
    }
    for (auto& [key, instance] : c.instances) info->instances.emplace(key, std::move(instance));
    return {};
}

// Checks the modules in order; `info`, when given, gathers the tables of generic instantiations, which
// only some callers read, and `leftovers`, when given, receives the entry module's checker and the
// interfaces in place of what an earlier check left there. The checkers of the imported modules are
// freed as the check goes, so that the next module's tables reuse their memory while it is still in
// the caches.
Expected<void, ModuleTypeError> check_all(const std::vector<ModuleRef>& modules, CheckInfo* info,
                                          Leftovers* leftovers) {
    if (leftovers) leftovers->release();
    Apis apis;
    std::unique_ptr<Checker> entry;
    Expected<void, ModuleTypeError> result;
    for (size_t i = 0; i < modules.size(); ++i) {
        const bool is_entry = i + 1 == modules.size();
        auto checker = std::make_unique<Checker>(modules[i].name);
        auto status = check_module(*checker, modules[i], is_entry, apis, info);
        if (is_entry) entry = std::move(checker);
        if (!status) {
            result = unexpected(ModuleTypeError{modules[i].name, std::move(status).error()});
            break;
        }
    }
    if (leftovers) {
        auto parts = std::make_unique<Leftovers::Parts>();
        parts->entry = std::move(entry);
        parts->interfaces = std::move(apis);
        leftovers->keep(std::move(parts));
    }
    return result;
}

std::vector<ModuleRef> module_refs(const std::vector<ModuleInput>& modules) {
    std::vector<ModuleRef> refs;
    refs.reserve(modules.size());
    for (const auto& [name, program] : modules) refs.push_back(ModuleRef{name, program});
    return refs;
}

}  // namespace

Expected<CheckInfo, ModuleTypeError> check_modules_info(const std::vector<ModuleInput>& modules) {
    CheckInfo info;
    QN_TRY(check_all(module_refs(modules), &info, nullptr));
    return info;
}

Expected<void, ModuleTypeError> check_modules(const std::vector<ModuleInput>& modules, Leftovers* leftovers) {
    return check_all(module_refs(modules), nullptr, leftovers);
}

Expected<void, TypeError> check_program(const ast::Program& program, Leftovers* leftovers) {
    const std::string main_name = "main";
    auto checked = check_all({ModuleRef{main_name, program}}, nullptr, leftovers);
    if (!checked) return unexpected(std::move(checked).error().error);
    return {};
}

Status Checker::install_imports(const ast::Program& program, const Apis& apis) {
    bool seen_other = false;
    NameSet imported;
    for (const ast::Stmt& stmt : program.stmts) {
        const auto* import = ast::as<ast::StmtKind::Import>(stmt);
        if (!import) {
            seen_other = true;
            continue;
        }
        const std::string& m = import->module;
        if (seen_other) return fail(TypeDiag::ImportAfterDeclaration, stmt.span, m);
        if (m == module) return fail(TypeDiag::ImportsItself, stmt.span, m);
        if (!imported.insert(m).second) return fail(TypeDiag::ImportedTwice, stmt.span, m);
        const auto found = apis.find(m);
        if (found == apis.end()) return fail(TypeDiag::UnknownImportedModule, stmt.span, m);
        const ModuleApi& api = found->second;
        for (const auto& [key, instance] : api.instances) instances.emplace(key, instance);
        for (const auto& [name, generic] : api.generic_records)
            generic_records.insert_or_assign(m + "." + name, generic);
        for (const auto& [name, generic] : api.generic_enums) generic_enums.insert_or_assign(m + "." + name, generic);
        for (const auto& [name, fields] : api.records) {
            records.insert_or_assign(m + "." + name, fields);
            for (const auto& field : fields) install_type_closure(field.second, apis);
        }
        for (const auto& [name, variants] : api.enums) {
            enums.insert_or_assign(m + "." + name, variants);
            for (const auto& variant : variants) {
                for (const auto& field : variant.second) install_type_closure(field.second, apis);
            }
        }
        // The types that the generics and the functions mention, from modules this one may not import
        // itself: a value of such a type reaches this module through them (a call's result, a field of
        // an instance), and its fields and variants must be known here as the declaring module knows them.
        for (const auto& entry : api.generic_records) {
            for (const auto& field : entry.second.fields) install_type_closure(field.second, apis);
        }
        for (const auto& entry : api.generic_enums) {
            for (const auto& variant : entry.second.variants) {
                for (const auto& field : variant.second) install_type_closure(field.second, apis);
            }
        }
        for (const auto& entry : api.fns) {
            for (const Type& param : entry.second.params) install_type_closure(param, apis);
            install_type_closure(entry.second.ret, apis);
        }
        modules.insert_or_assign(m, &api);
        module_order.push_back(m);
    }
    return {};
}

Status Checker::collect_types(const ast::Program& program) {
    // Pass 1: every record and enum name is known before any field is resolved, so declarations may
    // refer to each other and to themselves in any order.
    for (std::size_t i = 0; i < program.stmts.size(); ++i) {
        prefetch_declarations_ahead<ast::StmtKind::RecordDecl>(program.stmts, i);
        prefetch_declarations_ahead<ast::StmtKind::EnumDecl>(program.stmts, i);
        const ast::Stmt& stmt = program.stmts[i];
        const auto* record = ast::as<ast::StmtKind::RecordDecl>(stmt);
        const auto* enum_decl = ast::as<ast::StmtKind::EnumDecl>(stmt);
        if (!record && !enum_decl) continue;
        const std::string& n = record ? record->name : enum_decl->name;
        if (is_builtin_name(n)) {
            return fail(record ? TypeDiag::BuiltinRecordName : TypeDiag::BuiltinEnumName, stmt.span, n);
        }
        if (records.contains(n)) {
            return fail(record ? TypeDiag::RecordDeclaredTwice : TypeDiag::EnumNamedLikeRecord, stmt.span, n);
        }
        if (enums.contains(n)) {
            return fail(record ? TypeDiag::RecordNamedLikeEnum : TypeDiag::EnumDeclaredTwice, stmt.span, n);
        }
        if (modules.contains(n)) {
            return fail(record ? TypeDiag::RecordNamedLikeModule : TypeDiag::EnumNamedLikeModule, stmt.span, n);
        }
        if (generic_records.contains(n) || generic_enums.contains(n)) {
            return fail(TypeDiag::TypeDeclaredTwice, stmt.span, n);
        }
        const auto& params = record ? record->type_params : enum_decl->type_params;
        if (record && params.empty()) records.emplace(n, Fields{});
        if (record && !params.empty()) generic_records.emplace(n, GenericRecord{params, {}});
        if (!record && params.empty()) enums.emplace(n, Variants{});
        if (!record && !params.empty()) generic_enums.emplace(n, GenericEnum{params, {}});
    }

    // Pass 2a: record fields.
    for (std::size_t i = 0; i < program.stmts.size(); ++i) {
        prefetch_declarations_ahead<ast::StmtKind::RecordDecl>(program.stmts, i);
        const ast::Stmt& stmt = program.stmts[i];
        const auto* record = ast::as<ast::StmtKind::RecordDecl>(stmt);
        if (!record) continue;
        type_params = record->type_params;
        Fields fields;
        SeenNames field_names;
        for (const ast::FieldDef& field : record->fields) {
            if (!field_names.insert(field.name)) {
                return fail(TypeDiag::DuplicateRecordField, field.span, field.name, record->name);
            }
            QN_TRY_ASSIGN(Type ty, resolve_type(field.ty));
            fields.emplace_back(field.name, std::move(ty));
        }
        for (const std::string& param : record->type_params) {
            const bool mentioned = std::any_of(fields.begin(), fields.end(),
                                               [&](const auto& f) { return mentions_generic_m(f.second, param); });
            if (!mentioned) return fail(TypeDiag::RecordTypeParamUnused, stmt.span, param, record->name);
        }
        if (record->type_params.empty()) {
            const auto entry = records.find(record->name);
            if (entry == records.end()) internal_fault("record collected in the first pass");
            entry->second = std::move(fields);
        } else {
            const auto entry = generic_records.find(record->name);
            if (entry == generic_records.end()) internal_fault("generic record collected in the first pass");
            entry->second.fields = std::move(fields);
        }
    }

    // Pass 2b: enum variants, after all records.
    for (std::size_t i = 0; i < program.stmts.size(); ++i) {
        prefetch_declarations_ahead<ast::StmtKind::EnumDecl>(program.stmts, i);
        const ast::Stmt& stmt = program.stmts[i];
        const auto* enum_decl = ast::as<ast::StmtKind::EnumDecl>(stmt);
        if (!enum_decl) continue;
        type_params = enum_decl->type_params;
        Variants variants;
        SeenNames variant_names;
        for (const ast::VariantDef& variant : enum_decl->variants) {
            if (is_reserved_builtin_name(variant.name)) {
                return fail(TypeDiag::BuiltinVariantName, variant.span, variant.name);
            }
            if (!variant_names.insert(variant.name)) {
                return fail(TypeDiag::DuplicateVariant, variant.span, variant.name, enum_decl->name);
            }
            Fields payload;
            SeenNames payload_names;
            for (const ast::FieldDef& field : variant.fields) {
                if (!payload_names.insert(field.name)) {
                    return fail(TypeDiag::DuplicateVariantField, field.span, field.name, enum_decl->name,
                                variant.name);
                }
                QN_TRY_ASSIGN(Type ty, resolve_type(field.ty));
                payload.emplace_back(field.name, std::move(ty));
            }
            variants.emplace_back(variant.name, std::move(payload));
        }
        for (const std::string& param : enum_decl->type_params) {
            const bool mentioned = std::any_of(variants.begin(), variants.end(), [&](const auto& v) {
                return std::any_of(v.second.begin(), v.second.end(),
                                   [&](const auto& f) { return mentions_generic_m(f.second, param); });
            });
            if (!mentioned) return fail(TypeDiag::EnumTypeParamUnused, stmt.span, param, enum_decl->name);
        }
        if (enum_decl->type_params.empty()) {
            const auto entry = enums.find(enum_decl->name);
            if (entry == enums.end()) internal_fault("enum collected in the first pass");
            entry->second = std::move(variants);
        } else {
            const auto entry = generic_enums.find(enum_decl->name);
            if (entry == generic_enums.end()) internal_fault("generic enum collected in the first pass");
            entry->second.variants = std::move(variants);
        }
    }
    type_params.clear();
    return {};
}

Status Checker::collect_fns(const ast::Program& program) {
    const auto declared = static_cast<std::size_t>(std::count_if(
        program.stmts.begin(), program.stmts.end(),
        [](const ast::Stmt& stmt) { return ast::as<ast::StmtKind::FnDecl>(stmt) != nullptr; }));
    fns.reserve(fns.size() + declared);
    collected_sigs_.reserve(declared);
    for (std::size_t i = 0; i < program.stmts.size(); ++i) {
        prefetch_declarations_ahead<ast::StmtKind::FnDecl>(program.stmts, i);
        const ast::Stmt& stmt = program.stmts[i];
        const auto* fn = ast::as<ast::StmtKind::FnDecl>(stmt);
        if (!fn) continue;
        const std::string& f = fn->name;
        if (is_reserved_builtin_name(f)) return fail(TypeDiag::ReservedFunctionName, stmt.span, f);
        // The entry is made here and filled below; any error on the way ends the whole check.
        const auto [entry, added] = fns.try_emplace(f);
        if (!added) return fail(TypeDiag::FunctionDeclaredTwice, stmt.span, f);
        if (records.contains(f)) return fail(TypeDiag::FunctionNamedLikeRecord, stmt.span, f);
        if (enums.contains(f)) return fail(TypeDiag::FunctionNamedLikeEnum, stmt.span, f);
        if (modules.contains(f)) return fail(TypeDiag::FunctionNamedLikeModule, stmt.span, f);
        for (const std::string& param : fn->type_params) {
            if (records.contains(param) || enums.contains(param)) {
                return fail(TypeDiag::TypeParamShadowsType, stmt.span, param);
            }
        }

        type_params = fn->type_params;
        FnSig sig{fn->type_params, {}, Type::void_()};
        QN_TRY_ASSIGN(sig.params, resolve_param_types(fn->params));
        QN_TRY_ASSIGN(sig.ret, resolve_type(fn->ret));

        for (const std::string& param : fn->type_params) {
            const bool mentioned = std::any_of(sig.params.begin(), sig.params.end(),
                                               [&](const Type& ty) { return mentions_generic_m(ty, param); });
            if (!mentioned) return fail(TypeDiag::FunctionTypeParamUnused, stmt.span, param, f);
        }
        if (f == "main" && (!sig.params.empty() || sig.ret != Type::void_())) {
            return fail(TypeDiag::MainSignature, stmt.span);
        }
        entry->second = std::move(sig);
        collected_sigs_.emplace_back(fn, &entry->second);
    }
    type_params.clear();
    return {};
}

TypeError Checker::module_member_err(const std::string& m, const std::string& member, Span pos) const {
    const auto found = modules.find(m);
    if (found == modules.end()) internal_fault("module imported");
    const ModuleApi& api = *found->second;
    if (contains(api.private_fns, member)) return type_error(TypeDiag::PrivateModuleFunction, pos, member, m);
    // Identifiers are ASCII, so an ASCII test is the whole upper-case test here.
    if (!member.empty() && member[0] >= 'A' && member[0] <= 'Z') {
        if (contains(api.private_types, member)) return type_error(TypeDiag::PrivateModuleType, pos, member, m);
        if (api.records.empty() && api.enums.empty()) {
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
