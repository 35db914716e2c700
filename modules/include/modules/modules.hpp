#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "ast/ast.hpp"
#include "lexer/expected.hpp"

namespace quellin {

struct Module {
    std::string name;             // the file stem
    std::filesystem::path path;   // as constructed by the loader, not canonicalised
    ast::Program program;
};

struct ModuleError {
    std::filesystem::path file;   // the file the error belongs to (for import problems: the importer)
    std::string message;
    Span span{0, 0};              // line 0, column 0: no position
};

// Loads `root` and every module it imports, dependencies first and the root last, or the first error.
Expected<std::vector<Module>, ModuleError> load_modules_with_stdlib(
    const std::filesystem::path& root, const std::optional<std::filesystem::path>& stdlib);

// True when two paths have the same components (no canonicalisation).
bool same_path(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace quellin
