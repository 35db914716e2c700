#include "lsp/pipeline.hpp"

#include <algorithm>
#include <utility>

#include "modules/modules.hpp"
#include "parser/parser.hpp"

namespace quellin::lsp {

namespace {

bool imports_anything(const ast::Program& program) {
    return std::any_of(program.stmts.begin(), program.stmts.end(),
                       [](const ast::Stmt& stmt) { return ast::as<ast::StmtKind::Import>(stmt) != nullptr; });
}

CheckOutcome failed(const uint32_t line, const uint32_t column, std::string message) {
    return CheckOutcome{CheckError{line, column, std::move(message)}, std::nullopt};
}

CheckOutcome check_single_file(ast::Program program) {
    const Expected<void, typeck::TypeError> checked = typeck::check_program(program);
    CheckOutcome outcome;
    if (!checked) {
        const typeck::TypeError& error = checked.error();
        outcome.error = CheckError{error.span.line, error.span.col, error.message};
    }
    // Hover keeps working on a file with a type error: its declarations still parsed.
    outcome.modules = ModuleList{};
    outcome.modules->emplace_back(std::string(kSingleFileModule), std::move(program));
    return outcome;
}

CheckOutcome module_error_outcome(const ModuleError& error, const std::filesystem::path& document) {
    if (same_path(error.file, document)) {
        return failed(std::max<uint32_t>(error.span.line, 1), std::max<uint32_t>(error.span.col, 1), error.message);
    }
    return failed(1, 1, "[" + error.file.string() + "]: " + error.message);
}

}  // namespace

CheckOutcome check_document(const std::string_view text, const std::optional<std::filesystem::path>& path,
                            const std::optional<std::filesystem::path>& stdlib_dir) {
    Expected<ast::Program, ParseError> parsed = parse(text);
    if (!parsed) {
        const ParseError& error = parsed.error();
        return failed(error.span.line, error.span.col, error.message);
    }
    ast::Program program = std::move(parsed).value();

    if (!imports_anything(program)) return check_single_file(std::move(program));
    if (!path) return CheckOutcome{};

    Expected<std::vector<Module>, ModuleError> loaded = load_modules_with_stdlib(*path, stdlib_dir);
    if (!loaded) return module_error_outcome(loaded.error(), *path);

    // The saved file decides which modules take part; the buffer decides what the document declares.
    const std::string own_name = path->stem().string();
    ModuleList modules;
    for (Module& module : loaded.value()) {
        if (module.name == own_name) {
            modules.emplace_back(std::move(module.name), program);
        } else {
            modules.emplace_back(std::move(module.name), std::move(module.program));
        }
    }

    const Expected<void, typeck::ModuleTypeError> checked = typeck::check_modules(modules);
    if (checked) return CheckOutcome{std::nullopt, std::move(modules)};

    const typeck::ModuleTypeError& failure = checked.error();
    const typeck::TypeError& error = failure.error;
    if (failure.module == own_name) return failed(error.span.line, error.span.col, error.message);
    return failed(1, 1,
                  "[" + failure.module + ".qn]: " + error.message + " (line " + std::to_string(error.span.line) +
                      ", column " + std::to_string(error.span.col) + ")");
}

}  // namespace quellin::lsp
