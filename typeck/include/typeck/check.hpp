#pragma once
// The type checker's entry points.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
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

using ModuleInput = std::pair<std::string, ast::Program>;

// What checking leaves behind once its answer is known: the checkers' tables of functions, types,
// scopes and instances. Freeing those of a large program takes milliseconds, so a caller that has an
// answer to send can have them kept here and free them afterwards. They never read the syntax trees
// again, so the trees may go first. One check's tables at most are kept: a check given a Leftovers
// first frees what an earlier check left in it.
class Leftovers {
public:
    Leftovers();
    Leftovers(Leftovers&&) noexcept;
    Leftovers& operator=(Leftovers&&) noexcept;
    ~Leftovers();

    // Frees everything kept so far.
    void release();
    bool empty() const;

    struct Parts;  // the kept tables; defined with the checker
    // Keeps `parts` in place of what was kept before.
    void keep(std::unique_ptr<Parts> parts);

private:
    std::unique_ptr<Parts> parts_;
};

// Checks the modules in the loader's order (dependencies first, the entry module last).
Expected<CheckInfo, ModuleTypeError> check_modules_info(const std::vector<ModuleInput>& modules);
// These two also hand the entry module's checker tables and the interfaces of the imported modules to
// `leftovers` when given one, instead of freeing them.
Expected<void, ModuleTypeError> check_modules(const std::vector<ModuleInput>& modules,
                                              Leftovers* leftovers = nullptr);
// Checks one program as the entry module "main".
Expected<void, TypeError> check_program(const ast::Program& program, Leftovers* leftovers = nullptr);

}  // namespace quellin::typeck
