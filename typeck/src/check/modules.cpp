// Checking a whole program module by module: the passes over each module in their order, the entry
// points, and the run-wide tables of generic instantiations. The passes themselves live in
// declarations.cpp (imports, types, signatures), the statement and expression files, and
// interface.cpp (what a checked module offers its importers).

#include <cstddef>
#include <memory>

#include "check/checker.hpp"
#include "check/prefetch.hpp"
#include "check/reuse.hpp"

namespace quellin::typeck {

struct CheckTables::Parts {
    std::unique_ptr<Checker> entry;  // absent when the check stopped in an imported module
    Apis interfaces;
    std::vector<std::shared_ptr<const ModuleResult>> results;
};

CheckTables::CheckTables() = default;
CheckTables::CheckTables(std::unique_ptr<Parts> parts) : parts_(std::move(parts)) {}
CheckTables::CheckTables(CheckTables&&) noexcept = default;
CheckTables& CheckTables::operator=(CheckTables&&) noexcept = default;
CheckTables::~CheckTables() = default;

std::vector<std::shared_ptr<const ModuleResult>> CheckTables::results() const {
    if (parts_ == nullptr) return {};
    return parts_->results;
}

namespace {

// A module to check: its name and its syntax tree, borrowed from the caller.
struct ModuleRef {
    const std::string& name;
    const ast::Program& program;
};

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
        apis.insert_or_assign(m.name, std::make_shared<const ModuleApi>(std::move(api)));
    }
    if (!info) return {};
    for (auto& [pos, call] : c.generic_calls) {
        info->calls.insert_or_assign(std::make_tuple(m.name, pos.first, pos.second), std::move(call));
    }
    for (auto& [key, instance] : c.instances) info->instances.emplace(key, std::move(instance));
    return {};
}

// An imported module's result: taken over from an earlier check, or found by checking it now and kept
// for later ones. Its checker is freed at once, so that the next module's tables reuse its memory while
// it is still in the caches.
std::shared_ptr<const ModuleResult> imported_result(Reuse& reuse, std::size_t index, const ModuleRef& m, Apis& apis) {
    if (std::shared_ptr<const ModuleResult> kept = reuse.find(index)) return kept;
    Status status = [&] {
        Checker checker(m.name);
        return check_module(checker, m, false, apis, nullptr);
    }();
    if (!status) return reuse.add(index, nullptr, std::move(status).error());
    const auto made = apis.find(m.name);
    if (made == apis.end()) internal_fault("interface of a checked module");
    return reuse.add(index, made->second, std::nullopt);
}

// Checks the modules in order; `info`, when given, gathers the tables of generic instantiations, which
// only some callers read; `reuse`, when given, takes over and keeps the imported modules' results; and
// `tables`, when given, receives the entry module's checker, the interfaces and the results. The
// checkers of the imported modules are freed as the check goes, so that the next module's tables reuse
// their memory while it is still in the caches.
Expected<void, ModuleTypeError> check_all(const std::vector<ModuleRef>& modules, CheckInfo* info,
                                          CheckTables* tables, Reuse* reuse = nullptr) {
    Apis apis;
    std::unique_ptr<Checker> entry;
    std::vector<std::shared_ptr<const ModuleResult>> results;
    Expected<void, ModuleTypeError> result;
    for (size_t i = 0; i < modules.size(); ++i) {
        const bool is_entry = i + 1 == modules.size();
        if (reuse != nullptr && !is_entry) {
            const std::shared_ptr<const ModuleResult>& done =
                results.emplace_back(imported_result(*reuse, i, modules[i], apis));
            if (done->error) {
                result = unexpected(ModuleTypeError{modules[i].name, *done->error});
                break;
            }
            apis.insert_or_assign(modules[i].name, done->api);
            continue;
        }
        auto checker = std::make_unique<Checker>(modules[i].name);
        auto status = check_module(*checker, modules[i], is_entry, apis, info);
        if (is_entry) entry = std::move(checker);
        if (!status) {
            result = unexpected(ModuleTypeError{modules[i].name, std::move(status).error()});
            break;
        }
    }
    if (tables) {
        auto parts = std::make_unique<CheckTables::Parts>();
        parts->entry = std::move(entry);
        parts->interfaces = std::move(apis);
        parts->results = std::move(results);
        *tables = CheckTables(std::move(parts));
    }
    return result;
}

std::vector<ModuleRef> module_refs(const std::vector<ModuleInput>& modules) {
    std::vector<ModuleRef> refs;
    refs.reserve(modules.size());
    for (const auto& [name, program] : modules) refs.push_back(ModuleRef{name, *program});
    return refs;
}

}  // namespace

Expected<CheckInfo, ModuleTypeError> check_modules_info(const std::vector<ModuleInput>& modules) {
    CheckInfo info;
    QN_TRY(check_all(module_refs(modules), &info, nullptr));
    return info;
}

Expected<void, ModuleTypeError> check_modules(const std::vector<ModuleInput>& modules, CheckTables* tables,
                                              ModuleResults* reuse) {
    if (reuse == nullptr) return check_all(module_refs(modules), nullptr, tables);
    Reuse reused(*reuse, modules);
    return check_all(module_refs(modules), nullptr, tables, &reused);
}

Expected<void, TypeError> check_program(const ast::Program& program, CheckTables* tables) {
    const std::string main_name = "main";
    auto checked = check_all({ModuleRef{main_name, program}}, nullptr, tables);
    if (!checked) return unexpected(std::move(checked).error().error);
    return {};
}

}  // namespace quellin::typeck
