#pragma once
// Taking over the results of imported modules from earlier checks (see ModuleResults).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "check/checker.hpp"
#include "typeck/check.hpp"

namespace quellin::typeck {

struct ModuleResult {
    std::string name;
    std::shared_ptr<const ast::Program> program;
    // The interfaces it was checked against: those of every module it imports, directly or not, in
    // checking order.
    std::vector<std::shared_ptr<const ModuleApi>> imported;
    std::shared_ptr<const ModuleApi> api;  // absent when checking it failed
    std::optional<TypeError> error;
};

// The reuse of one check: which modules each imported module can reach through its imports, and the
// interface each has in this check so far.
class Reuse {
public:
    Reuse(ModuleResults& results, const std::vector<ModuleInput>& modules);

    // The kept result for the imported module at `index`, if its tree and every interface it can reach
    // are those it was checked with. The modules before it must have their interfaces already.
    std::shared_ptr<const ModuleResult> find(std::size_t index);

    // Keeps what checking the module at `index` found: its interface (made by the checker) or its
    // first error. The returned result's interface is the one to use: an equal one kept before.
    std::shared_ptr<const ModuleResult> add(std::size_t index, std::shared_ptr<const ModuleApi> api,
                                            std::optional<TypeError> error);

private:
    bool imports_match(std::size_t index, const ModuleResult& result) const;

    ModuleResults& results_;
    const std::vector<ModuleInput>& modules_;
    // For each module, the modules before it that it imports directly or not, by position, ascending.
    std::vector<std::vector<uint32_t>> reaches_;
    // Each module's interface once it has one.
    std::vector<std::shared_ptr<const ModuleApi>> interfaces_;
};

}  // namespace quellin::typeck
