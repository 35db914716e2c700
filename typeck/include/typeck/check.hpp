#pragma once
// The type checker's entry points.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

#include "ast/ast.hpp"
#include "lexer/expected.hpp"
#include "typeck/error.hpp"
#include "typeck/types.hpp"

namespace quellin::typeck {

// One checked call of a generic function with its inferred type arguments.
struct CallInst {
    std::string name;
    std::vector<Type> type_args;
    std::optional<std::string> module;
    friend bool operator==(const CallInst&, const CallInst&) = default;
};

// An instantiation of a generic record or enum: the generic's name and its type arguments.
struct Instance {
    std::string generic;
    std::vector<Type> args;
    friend bool operator==(const Instance&, const Instance&) = default;
};

// A type error tagged with the name of the module where it was found.
struct ModuleTypeError {
    std::string module;
    TypeError error;
};

// The program-wide tables of generic instantiations.
struct CheckInfo {
    // (module name, line, column) -> the generic call made there.
    std::map<std::tuple<std::string, uint32_t, uint32_t>, CallInst> calls;
    // instance key -> (generic name, type arguments).
    std::map<std::string, Instance> instances;
};

// A module to check: its name and its syntax tree, which may be shared with other checks.
using ModuleInput = std::pair<std::string, std::shared_ptr<const ast::Program>>;

// What checking one imported module found: its interface or its first error (defined with the checker).
struct ModuleResult;

// Results of imported modules, for later checks to take over. A result is kept under the module's
// name, its syntax tree and the interfaces of every module it imports, directly or not, which is all
// its check reads; a check given the cache takes over the result of an imported module whose name,
// tree and imported interfaces are those of a kept one instead of checking it again. The entry module
// is always checked. An interface that comes out equal to one kept for the same module is that one,
// so that a change inside a module's function bodies leaves its importers' results in place.
//
// The cache owns no result: a result lives while something holds it (the tables of a check that used
// it, or whoever took it from them with CheckTables::results), and the cache hands it out only while
// it lives.
//
// Checks on several threads may share one cache: each look-up and addition locks it for its own
// duration, and results, interfaces and trees are never changed once made. Two threads that miss the
// same module at once both check it; the second result's interface is then the first's.
class ModuleResults {
public:
    ModuleResults() = default;
    // Moving is not a use: the cache moved from must not be in use on another thread.
    ModuleResults(ModuleResults&& other) noexcept;
    ModuleResults& operator=(ModuleResults&& other) noexcept;

    // How many results it could hand out now.
    std::size_t live() const;

    // How many times a check has taken over a result instead of checking its module.
    std::size_t taken() const;

    // Forgets the results that no longer live (each check does so as it starts).
    void sweep();

private:
    friend class Reuse;  // the checker's side
    mutable std::mutex mutex_;
    std::unordered_map<std::string, std::vector<std::weak_ptr<const ModuleResult>>> by_name_;
    std::size_t taken_ = 0;
};

// What a check builds besides its answer: the entry module's tables of functions, types, scopes and
// instances, and the interfaces of the imported modules. No answer reads them, and they never read the
// syntax trees again, so the trees may go first. Freeing those of a large program takes milliseconds,
// so a caller with an answer to send can have them handed over and drop them once it has sent it.
class CheckTables {
public:
    struct Parts;  // defined with the checker

    CheckTables();
    explicit CheckTables(std::unique_ptr<Parts> parts);
    CheckTables(CheckTables&&) noexcept;
    CheckTables& operator=(CheckTables&&) noexcept;
    ~CheckTables();

    bool empty() const { return parts_ == nullptr; }

    // The results of the imported modules that a check given a ModuleResults took over or made, in
    // checking order; holding them keeps them for later checks.
    std::vector<std::shared_ptr<const ModuleResult>> results() const;

private:
    std::unique_ptr<Parts> parts_;
};

// Checks the modules in the loader's order (dependencies first, the entry module last).
Expected<CheckInfo, ModuleTypeError> check_modules_info(const std::vector<ModuleInput>& modules);
// These two also hand the check's tables over to `tables` when given one, instead of freeing them.
// With `reuse`, imported modules whose results it has are not checked again, and the results of those
// that are checked are added to it.
Expected<void, ModuleTypeError> check_modules(const std::vector<ModuleInput>& modules,
                                              CheckTables* tables = nullptr, ModuleResults* reuse = nullptr);
// Checks one program as the entry module "main".
Expected<void, TypeError> check_program(const ast::Program& program, CheckTables* tables = nullptr);

}  // namespace quellin::typeck
