// The declaration passes over a module's top-level statements: its imports installed, then every record
// and enum, then every function signature, so that the statements checked afterwards may use any
// declaration wherever it is written.

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <optional>

#include "check/checker.hpp"
#include "check/prefetch.hpp"

namespace quellin::typeck {

namespace {

// Whether `found` holds for some type that a declaration checks values against: a function's parameter
// types, a record's field types, an enum's payload field types.
bool any_declared(const std::vector<Type>& params, const auto& found) {
    return std::any_of(params.begin(), params.end(), found);
}

bool any_declared(const Fields& fields, const auto& found) {
    return std::any_of(fields.begin(), fields.end(), [&](const auto& field) { return found(field.second); });
}

bool any_declared(const Variants& variants, const auto& found) {
    return std::any_of(variants.begin(), variants.end(),
                       [&](const auto& variant) { return any_declared(variant.second, found); });
}

// The message for a name already taken, for each kind of declaration (rows, in NameUse's order) and
// each holder of the name (columns, in the order they are looked at, builtin names first); an empty
// entry: that holder does not count against this kind. Records and enums may take no builtin name at all; functions, variables
// and variants only no builtin function or constructor.
struct NameClashes {
    bool every_builtin;
    TypeDiag builtin;
    std::optional<TypeDiag> function;
    std::optional<TypeDiag> record;
    std::optional<TypeDiag> enum_;
    std::optional<TypeDiag> module;
    std::optional<TypeDiag> generic_type;
};

constexpr NameClashes kNameClashes[] = {
    // Record
    {true, TypeDiag::BuiltinRecordName, std::nullopt, TypeDiag::RecordDeclaredTwice, TypeDiag::RecordNamedLikeEnum,
     TypeDiag::RecordNamedLikeModule, TypeDiag::TypeDeclaredTwice},
    // Enum
    {true, TypeDiag::BuiltinEnumName, std::nullopt, TypeDiag::EnumNamedLikeRecord, TypeDiag::EnumDeclaredTwice,
     TypeDiag::EnumNamedLikeModule, TypeDiag::TypeDeclaredTwice},
    // Function
    {false, TypeDiag::ReservedFunctionName, TypeDiag::FunctionDeclaredTwice, TypeDiag::FunctionNamedLikeRecord,
     TypeDiag::FunctionNamedLikeEnum, TypeDiag::FunctionNamedLikeModule, std::nullopt},
    // Variable
    {false, TypeDiag::ReservedVariableName, TypeDiag::VariableNamedLikeFunction, TypeDiag::VariableNamedLikeRecord,
     TypeDiag::VariableNamedLikeEnum, TypeDiag::VariableNamedLikeModule, std::nullopt},
    // Variant
    {false, TypeDiag::BuiltinVariantName, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt},
};
static_assert(std::size(kNameClashes) == static_cast<std::size_t>(NameUse::Variant) + 1);

}  // namespace

Status Checker::check_name_free(const std::string& name, NameUse use, Span pos) const {
    const NameClashes& clashes = kNameClashes[static_cast<std::size_t>(use)];
    const bool builtin = clashes.every_builtin ? is_builtin_name(name) : is_reserved_builtin_name(name);
    if (builtin) return fail(clashes.builtin, pos, name);
    if (clashes.function && fns.contains(name)) return fail(*clashes.function, pos, name);
    if (clashes.record && records.contains(name)) return fail(*clashes.record, pos, name);
    if (clashes.enum_ && enums.contains(name)) return fail(*clashes.enum_, pos, name);
    if (clashes.module && modules.contains(name)) return fail(*clashes.module, pos, name);
    if (clashes.generic_type && (generic_records.contains(name) || generic_enums.contains(name))) {
        return fail(*clashes.generic_type, pos, name);
    }
    return {};
}

template <class Declared>
const std::string* Checker::first_uninferable(const std::vector<std::string>& type_params,
                                              const Declared& declared) const {
    for (const std::string& param : type_params) {
        if (!any_declared(declared, [&](const Type& ty) { return mentions_generic_m(ty, param); })) return &param;
    }
    return nullptr;
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
        const ModuleApi& api = *found->second;
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
        QN_TRY(check_name_free(n, record ? NameUse::Record : NameUse::Enum, stmt.span));
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
        if (const std::string* param = first_uninferable(record->type_params, fields)) {
            return fail(TypeDiag::RecordTypeParamUnused, stmt.span, *param, record->name);
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
            QN_TRY(check_name_free(variant.name, NameUse::Variant, variant.span));
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
        if (const std::string* param = first_uninferable(enum_decl->type_params, variants)) {
            return fail(TypeDiag::EnumTypeParamUnused, stmt.span, *param, enum_decl->name);
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
        QN_TRY(check_name_free(f, NameUse::Function, stmt.span));
        // The entry is made here and filled below; any error on the way ends the whole check.
        const auto entry = fns.try_emplace(f).first;
        for (const std::string& param : fn->type_params) {
            if (records.contains(param) || enums.contains(param)) {
                return fail(TypeDiag::TypeParamShadowsType, stmt.span, param);
            }
        }

        type_params = fn->type_params;
        FnSig sig{fn->type_params, {}, Type::void_()};
        QN_TRY_ASSIGN(sig.params, resolve_param_types(fn->params));
        QN_TRY_ASSIGN(sig.ret, resolve_type(fn->ret));

        if (const std::string* param = first_uninferable(fn->type_params, sig.params)) {
            return fail(TypeDiag::FunctionTypeParamUnused, stmt.span, *param, f);
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

}  // namespace quellin::typeck
