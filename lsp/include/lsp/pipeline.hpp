#pragma once
// Checking one document: parse, load its imports from disk, type-check. Shared by the server and the
// command-line checker so both report exactly the same first error.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

struct CheckOutcome {
    std::optional<CheckError> error;
    // The modules to remember for hover; absent when this check must leave the earlier ones in place.
    std::optional<ModuleList> modules;
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
// `leftovers`, when given, receives the checker's tables instead of having them freed before this returns.
CheckOutcome check_document(std::string_view text, const std::optional<std::filesystem::path>& path,
                            const std::optional<std::filesystem::path>& stdlib_dir,
                            typeck::Leftovers* leftovers = nullptr);

}  // namespace quellin::lsp
