#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/text.hpp"
#include "common/utf8.hpp"
#include "modules/diagnostics.hpp"
#include "modules/file_text.hpp"
#include "modules/modules.hpp"
#include "parser/parser.hpp"

namespace quellin {

namespace fs = std::filesystem;

namespace {

// Each nested import adds a stack frame to the load, so the chain of modules being loaded at once
// is bounded; real programs stay far below it.
constexpr std::size_t kMaxImportDepth = 256;

constexpr std::string_view kSourceExtension = ".qn";

// Where an import statement sits: the importing file and the statement's position in it.
struct Importer {
    fs::path path;
    Span span;
};

// The module name a file declares by its name, if it has a usable one.
std::optional<std::string> module_name(const fs::path& path) {
    const fs::path file_name = path.filename();
    if (file_name.empty() || file_name == "." || file_name == "..") return std::nullopt;
    std::string stem = path.stem().string();
    if (stem.empty() || !is_valid_utf8(stem)) return std::nullopt;
    return stem;
}

// A file that cannot be read as text: the importer's error, or the root's own.
ModuleError unreadable(const fs::path& path, const std::string& name, const std::optional<Importer>& importer,
                       const std::string& reason) {
    if (importer) {
        return ModuleError{importer->path, module_message(ModuleDiag::CannotImport, name, path.string(), reason),
                           importer->span};
    }
    return ModuleError{path, module_message(ModuleDiag::CannotRead, path.string(), reason), Span{0, 0}};
}

// An error that belongs to the import statement that led here, or to the file itself for the root.
ModuleError at_import(const std::optional<Importer>& importer, const fs::path& path, std::string message) {
    if (importer) return ModuleError{importer->path, std::move(message), importer->span};
    return ModuleError{path, std::move(message), Span{0, 0}};
}

class Loader {
public:
    Loader(std::optional<fs::path> stdlib_dir, ParseCache* trees) : stdlib(std::move(stdlib_dir)), trees_(trees) {}

    Expected<void, ModuleError> visit(const fs::path& path, const std::optional<Importer>& importer);

    std::vector<Module> modules;
    std::vector<std::string> visiting;
    std::optional<fs::path> stdlib;
    std::unordered_map<std::string, fs::path> loaded;

private:
    // The tree of the file at `path` whose bytes are `bytes`: the cache's, or parsed now.
    Expected<std::shared_ptr<const ast::Program>, ModuleError> tree_of(const fs::path& path, std::string bytes,
                                                                        const std::string& name,
                                                                        const std::optional<Importer>& importer);

    ParseCache* trees_;

    // The file an import of `module` refers to: beside the importer, then in its vendor directory,
    // then in the standard library; the first candidate when none exists, so the read reports it.
    fs::path resolve(const fs::path& dir, const std::string& module) const;
};

fs::path Loader::resolve(const fs::path& dir, const std::string& module) const {
    const std::string file_name = module + std::string(kSourceExtension);
    std::vector<fs::path> candidates{dir / file_name, dir / "vendor" / file_name};
    if (stdlib) candidates.push_back(*stdlib / file_name);
    for (const auto& candidate : candidates) {
        std::error_code ec;
        if (fs::exists(candidate, ec)) return candidate;
    }
    return candidates.front();
}

Expected<void, ModuleError> Loader::visit(const fs::path& path, const std::optional<Importer>& importer) {
    const std::optional<std::string> found_name = module_name(path);
    if (!found_name) {
        return unexpected(ModuleError{path, module_message(ModuleDiag::UnnamedModuleFile), Span{0, 0}});
    }
    const std::string& name = *found_name;

    if (const auto it = loaded.find(name); it != loaded.end()) {
        if (same_path(it->second, path)) return {};
        return unexpected(ModuleError{
            path, module_message(ModuleDiag::DuplicateModuleName, name, it->second.string(), path.string()),
            Span{0, 0}});
    }

    if (std::find(visiting.begin(), visiting.end(), name) != visiting.end()) {
        return unexpected(
            at_import(importer, path, module_message(ModuleDiag::ImportCycle, join(visiting, " → "), name)));
    }
    if (visiting.size() >= kMaxImportDepth) {
        static_assert(kMaxImportDepth == 256, "the message states the bound");
        return unexpected(at_import(importer, path, module_message(ModuleDiag::ImportChainTooDeep)));
    }

    auto bytes = read_source_bytes(path);
    if (!bytes) return unexpected(unreadable(path, name, importer, bytes.error()));
    QN_TRY_ASSIGN(std::shared_ptr<const ast::Program> program, tree_of(path, std::move(*bytes), name, importer));

    visiting.push_back(name);
    const fs::path dir = path.parent_path();
    for (const auto& stmt : program->stmts) {
        const auto* import = ast::as<ast::StmtKind::Import>(stmt);
        if (import == nullptr) continue;
        if (import->module == name) {
            return unexpected(ModuleError{path, module_message(ModuleDiag::ImportsItself, name), stmt.span});
        }
        QN_TRY(visit(resolve(dir, import->module), Importer{path, stmt.span}));
    }
    visiting.pop_back();

    loaded.emplace(name, path);
    modules.push_back(Module{name, path, std::move(program)});
    return {};
}

Expected<std::shared_ptr<const ast::Program>, ModuleError> Loader::tree_of(const fs::path& path, std::string bytes,
                                                                            const std::string& name,
                                                                            const std::optional<Importer>& importer) {
    // Bytes the cache has were text when they were read before.
    if (trees_ != nullptr) {
        if (std::shared_ptr<const ast::Program> known = trees_->find(path, bytes)) return known;
    }
    auto text = as_utf8_text(std::move(bytes));
    if (!text) return unexpected(unreadable(path, name, importer, text.error()));
    auto parsed = parse(*text);
    if (!parsed) return unexpected(ModuleError{path, std::move(parsed.error().message), parsed.error().span});
    if (trees_ != nullptr) return trees_->add(path, std::move(*text), std::move(parsed).value());
    return std::make_shared<const ast::Program>(std::move(parsed).value());
}

// The components that name a location: repeated and trailing separators and inner "." add nothing.
std::vector<fs::path> components(const fs::path& path) {
    std::vector<fs::path> out;
    for (const auto& element : path) {
        if (element.empty()) continue;
        if (element == "." && !out.empty()) continue;
        out.push_back(element);
    }
    return out;
}

}  // namespace

Expected<std::vector<Module>, ModuleError> load_modules_with_stdlib(const fs::path& root,
                                                                    const std::optional<fs::path>& stdlib,
                                                                    ParseCache* trees) {
    if (trees != nullptr) trees->sweep();
    Loader loader(stdlib, trees);
    QN_TRY(loader.visit(root, std::nullopt));
    return std::move(loader.modules);
}

bool same_path(const fs::path& a, const fs::path& b) { return components(a) == components(b); }

}  // namespace quellin
