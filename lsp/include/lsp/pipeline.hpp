#pragma once
// Checking one document: parse, load its imports from disk, type-check. Shared by the server and the
// command-line checker so both report exactly the same first error.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ast/ast.hpp"
#include "modules/parse_cache.hpp"
#include "typeck/check.hpp"

namespace quellin::lsp {

// (module name, program) pairs in checking order; a document's own module is the last pair.
using ModuleList = std::vector<typeck::ModuleInput>;

// Where an error found in another file than the document lies: that file (as the loader named it),
// and the position and message the error has there, which are what a check of that file on its own
// reports when it meets the same error first.
struct ErrorOrigin {
    std::filesystem::path file;
    uint32_t line;
    uint32_t column;
    std::string message;
};

// The one error of a check, at a 1-based position in the document. Errors found in other files are
// pinned to line 1, column 1 and name that file or module at the start of the message; `origin` then
// says where they lie. Only the command-line checker reads it.
struct CheckError {
    uint32_t line;
    uint32_t column;
    std::string message;
    std::optional<ErrorOrigin> origin = std::nullopt;
};

// Work that checks of documents can take over from earlier checks: the syntax trees of files read
// again with the same bytes, and the results of imported modules whose trees and imported interfaces
// are unchanged. Owned by the caller and given to each check. It owns none of that work: it hands out
// only what is still held, by the outcome of a check (`work`) or by whoever took that from the outcome.
// Checks on several threads may share one: both caches lock themselves for each look-up and addition,
// and what they hand out is never changed.
struct CheckCaches {
    ParseCache trees;
    typeck::ModuleResults results;
};

// What a check that loaded a program read from disk and found of its imported modules: while it is
// held, later checks given the same caches can take it over.
struct CheckedWork {
    std::vector<std::shared_ptr<const ast::Program>> trees;
    std::vector<std::shared_ptr<const typeck::ModuleResult>> results;
};

// What one check of a document found, and the syntax trees and checker's tables of the modules it
// type-checked. Freeing those of a large program takes milliseconds, so they are freed with the
// outcome, and its holder decides when (the server: once the answer is written).
struct CheckOutcome {
    std::optional<CheckError> error;
    // The checked modules, and whether hover is to remember them: a check that failed to load or
    // failed in a module of several leaves the earlier ones in place.
    ModuleList modules;
    bool for_hover = false;
    // No answer reads them.
    typeck::CheckTables tables;
    // Present when the check was given caches and got past the document's own syntax and the loading
    // of its imports; empty for a document without imports, which takes nothing over.
    std::optional<CheckedWork> work;
};

// Messages quote the document (names, tokens, types, file paths), so a document written to be
// pathological could produce one of megabytes, which an editor cannot show anyway. A longer message
// is cut at a character boundary and ends in "…", within this many bytes.
inline constexpr std::size_t kMaxMessageBytes = std::size_t{8} << 10;

// `message` itself, or its cut form when it is longer than kMaxMessageBytes.
std::string bounded_message(std::string message);

// The module name under which a document without imports is checked.
inline constexpr std::string_view kSingleFileModule = "main";

// Checks a document's text. `path` is the document's file, absent when it has none (an unsaved
// buffer); a document with imports and no file is not checked at all. Imported modules, and the list
// of imports itself, come from the saved files; the document's own declarations come from `text`.
// With `caches`, the check takes over what it can of earlier checks' work; the answer is the same.
CheckOutcome check_document(std::string_view text, const std::optional<std::filesystem::path>& path,
                            const std::optional<std::filesystem::path>& stdlib_dir, CheckCaches* caches = nullptr);

}  // namespace quellin::lsp
