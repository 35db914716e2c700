#pragma once
// The server's memory between messages, and the dispatch of one incoming message.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include <nlohmann/json.hpp>

#include "lsp/hover.hpp"
#include "lsp/pipeline.hpp"

namespace quellin::lsp {

inline constexpr const char* kServerName = "quellin-lsp";
inline constexpr const char* kServerVersion = "1.7.51";

// The messages to send for one incoming message, in order, and whether to read another.
struct HandleOutcome {
    std::vector<nlohmann::json> messages;
    bool keep_running = true;
    // What nothing reads any more: the check that the messages answer, if any, with its tables, and in
    // place of its modules and work those that hover and `latest_work` held before (when they took the
    // check's); on a close, what they forgot. It goes with the outcome, so that it is freed once the
    // messages are written.
    CheckOutcome check;
    // A document was closed or its program became much smaller (an eighth of its text gone, or fewer
    // files loaded): once the messages are written and the outcome freed, the main loop may give free
    // memory back to the system (give_back_free_memory).
    bool shrank = false;
};

struct Server {
    std::optional<std::filesystem::path> stdlib_dir;
    // Open documents' full texts, keyed by the URI exactly as the client sent it.
    std::unordered_map<std::string, std::string> documents;
    // The modules of each document's latest check that recorded any, for hover.
    std::unordered_map<std::string, ModuleList> hover_modules;
    // How hover text is written for this client, decided by its latest `initialize`.
    HoverFormat hover_markup = HoverFormat::Markdown;
    // Whether checks take over work from earlier ones: trees of unchanged files, results of unchanged
    // imported modules. Without it every check starts from scratch; the answers are the same.
    bool reuse = true;
    CheckCaches caches;
    // For each open document, the work of its latest check that loaded its program (a check that
    // stops at a syntax error in the document, or fails to load, leaves it; a check of a document
    // without imports empties it). What the caches can hand out is what these hold.
    std::unordered_map<std::string, CheckedWork> latest_work;

    // A server with nothing open and the standard library found by `find_stdlib_dir`.
    static Server create();

    // Takes the message by value: a document's text is moved out of it, not copied.
    HandleOutcome handle(nlohmann::json message);

    // Checks one document: the outcome's one message is its complete publishDiagnostics notification.
    HandleOutcome diagnostics_note(const std::string& uri);

    // Forgets what the caches remember of work nobody holds any more. The memory it frees is small but
    // spread over the heap, where it would keep the pages of the freed work from going back to the
    // system; the main loop calls this before give_back_free_memory.
    void sweep_caches();

    // The text shown, in `hover_markup`, when hovering at a 0-based line and character of a document.
    std::optional<std::string> hover(const std::string& uri, uint64_t line, uint64_t character) const;
};

// QUELLIN_STDLIB when it is set (even to nothing); otherwise a `stdlib` directory four levels above
// the running executable, if there is one.
std::optional<std::filesystem::path> find_stdlib_dir();

// A JSON-RPC response; a missing id is answered as null.
nlohmann::json response(const std::optional<nlohmann::json>& id, nlohmann::json result);

// The one notification the server sends: publishDiagnostics with these params.
nlohmann::json notification(nlohmann::json params);

}  // namespace quellin::lsp
