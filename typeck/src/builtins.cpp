#include "builtins.hpp"

#include <string>

namespace quellin::typeck {

bool is_builtin_name(std::string_view name) { return find_builtin(name) != nullptr; }

bool is_reserved_builtin_name(std::string_view name) {
    const BuiltinName* row = find_builtin(name);
    return row != nullptr && (row->role == BuiltinRole::Function || row->role == BuiltinRole::Constructor);
}

std::string_view listed_builtin_types() {
    static const std::string listed = [] {
        std::string out;
        for (const BuiltinName& row : kBuiltins) {
            if (row.listed_as.empty()) continue;
            if (!out.empty()) out += ", ";
            out += row.listed_as;
        }
        return out;
    }();
    return listed;
}

}  // namespace quellin::typeck
