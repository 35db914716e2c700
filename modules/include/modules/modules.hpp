#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ast/ast.hpp"
#include "lexer/expected.hpp"
#include "modules/parse_cache.hpp"

namespace quellin {

struct Module {
    std::string name;             // the file stem
    std::filesystem::path path;   // as constructed by the loader, not canonicalised
    std::shared_ptr<const ast::Program> program;  // never null; shared with other loads of the same bytes
};

struct ModuleError {
    std::filesystem::path file;   // the file the error belongs to (for import problems: the importer)
    std::string message;
    Span span{0, 0};              // line 0, column 0: no position
};

// Loads `root` and every module it imports, dependencies first and the root last, or the first error.
// Every file is read from disk; with `trees`, a file whose bytes are those of a tree the cache still has
// takes that tree instead of being parsed again, and the trees parsed are added to it.
Expected<std::vector<Module>, ModuleError> load_modules_with_stdlib(
    const std::filesystem::path& root, const std::optional<std::filesystem::path>& stdlib,
    ParseCache* trees = nullptr);

// True when two paths have the same components (no canonicalisation).
bool same_path(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace quellin
