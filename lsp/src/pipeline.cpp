#include "lsp/pipeline.hpp"

#include <algorithm>
#include <utility>

#include "common/utf8.hpp"
#include "lsp/server_messages.hpp"
#include "modules/file_text.hpp"
#include "modules/modules.hpp"
#include "parser/parser.hpp"

namespace quellin::lsp {

namespace {

bool imports_anything(const ast::Program& program) {
    return std::any_of(program.stmts.begin(), program.stmts.end(),
                       [](const ast::Stmt& stmt) { return ast::as<ast::StmtKind::Import>(stmt) != nullptr; });
}

CheckError check_error(const uint32_t line, const uint32_t column, std::string message) {
    return CheckError{line, column, bounded_message(std::move(message))};
}

CheckOutcome failed(const uint32_t line, const uint32_t column, std::string message) {
    CheckOutcome outcome;
    outcome.error = check_error(line, column, std::move(message));
    return outcome;
}

CheckOutcome check_single_file(std::shared_ptr<const ast::Program> program, const bool cached) {
    CheckOutcome outcome;
    if (cached) outcome.work.emplace(CheckedWork{{program}, {}});
    const Expected<void, typeck::TypeError> checked = typeck::check_program(*program, &outcome.tables);
    if (!checked) {
        const typeck::TypeError& error = checked.error();
        outcome.error = check_error(error.span.line, error.span.col, error.message);
    }
    // Hover keeps working on a file with a type error: its declarations still parsed.
    outcome.modules.emplace_back(std::string(kSingleFileModule), std::move(program));
    outcome.for_hover = true;
    return outcome;
}

// An error that lies in another file than the document: pinned to the document's first character,
// with the message naming where it lies, and that place kept as the origin.
CheckOutcome failed_elsewhere(std::string message, ErrorOrigin origin) {
    origin.message = bounded_message(std::move(origin.message));
    CheckOutcome outcome = failed(1, 1, std::move(message));
    outcome.error->origin = std::move(origin);
    return outcome;
}

CheckOutcome module_error_outcome(const ModuleError& error, const std::filesystem::path& document) {
    // A loader error without a position is shown at the start of its file.
    const uint32_t line = std::max<uint32_t>(error.span.line, 1);
    const uint32_t column = std::max<uint32_t>(error.span.col, 1);
    if (same_path(error.file, document)) return failed(line, column, error.message);
    return failed_elsewhere(server_message(ServerDiag::ErrorInOtherFile, error.file.string(), error.message),
                            ErrorOrigin{error.file, line, column, error.message});
}

}  // namespace

std::string bounded_message(std::string message) {
    if (message.size() <= kMaxMessageBytes) return message;
    constexpr std::string_view kEllipsis = "…";
    std::size_t cut = kMaxMessageBytes - kEllipsis.size();
    // Step back over continuation bytes so that no character is split.
    while (cut > 0 && is_utf8_continuation(static_cast<unsigned char>(message[cut]))) --cut;
    message.resize(cut);
    message += kEllipsis;
    return message;
}

CheckOutcome check_document(const std::string_view text, const std::optional<std::filesystem::path>& path,
                            const std::optional<std::filesystem::path>& stdlib_dir, CheckCaches* const caches) {
    // The same bound as for files read from disk: an editor buffer may be larger than any file the
    // loader would read.
    if (text.size() > kMaxSourceFileBytes) {
        return failed(1, 1, server_message(ServerDiag::DocumentTooLarge));
    }
    // A document whose text is exactly the bytes of a file read before shares that file's tree, both
    // ways: quellin-check checks files that other files of its run import, and an editor's document
    // is often its saved file.
    const bool shares_trees = caches != nullptr && path.has_value();
    std::shared_ptr<const ast::Program> document = shares_trees ? caches->trees.find(*path, text) : nullptr;
    if (!document) {
        Expected<ast::Program, ParseError> parsed = parse(text);
        if (!parsed) {
            const ParseError& error = parsed.error();
            return failed(error.span.line, error.span.col, error.message);
        }
        document = shares_trees ? caches->trees.offer(*path, std::string(text), std::move(parsed).value())
                                : std::make_shared<const ast::Program>(std::move(parsed).value());
    }

    if (!imports_anything(*document)) return check_single_file(std::move(document), caches != nullptr);
    if (!path) return CheckOutcome{};

    Expected<std::vector<Module>, ModuleError> loaded =
        load_modules_with_stdlib(*path, stdlib_dir, caches != nullptr ? &caches->trees : nullptr);
    if (!loaded) return module_error_outcome(loaded.error(), *path);
    CheckOutcome outcome;
    if (caches != nullptr) {
        // The saved document's tree too: the next check reads the same bytes again.
        outcome.work.emplace();
        for (const Module& module : *loaded) outcome.work->trees.push_back(module.program);
    }

    // The saved file decides which modules take part; the buffer decides what the document declares.
    const std::string own_name = path->stem().string();
    ModuleList modules;
    std::vector<std::filesystem::path> module_files;  // beside `modules`, for an error's origin
    for (Module& module : loaded.value()) {
        module_files.push_back(std::move(module.path));
        if (module.name == own_name) {
            // Module names are unique, so the buffer's program is taken exactly once.
            modules.emplace_back(std::move(module.name), std::move(document));
        } else {
            modules.emplace_back(std::move(module.name), std::move(module.program));
        }
    }

    const Expected<void, typeck::ModuleTypeError> checked =
        typeck::check_modules(modules, &outcome.tables, caches != nullptr ? &caches->results : nullptr);
    if (outcome.work) outcome.work->results = outcome.tables.results();
    outcome.modules = std::move(modules);
    outcome.for_hover = checked.has_value();
    if (checked) return outcome;
    const typeck::ModuleTypeError& failure = checked.error();
    const typeck::TypeError& error = failure.error;
    if (failure.module == own_name) {
        outcome.error = check_error(error.span.line, error.span.col, error.message);
        return outcome;
    }
    outcome.error = check_error(1, 1, server_message(ServerDiag::ErrorInOtherModule, failure.module, error.message,
                                                     std::to_string(error.span.line), std::to_string(error.span.col)));
    const auto failing = std::find_if(outcome.modules.begin(), outcome.modules.end(),
                                      [&](const typeck::ModuleInput& module) { return module.first == failure.module; });
    if (failing != outcome.modules.end()) {
        outcome.error->origin =
            ErrorOrigin{module_files[static_cast<std::size_t>(failing - outcome.modules.begin())], error.span.line,
                        error.span.col, bounded_message(error.message)};
    }
    return outcome;
}

}  // namespace quellin::lsp
