#include "lsp/server.hpp"

#include <cstdlib>
#include <system_error>
#include <utility>

#include "lsp/server_messages.hpp"

namespace quellin::lsp {

namespace {

using nlohmann::json;

constexpr int kMethodNotFound = -32601;
constexpr int kFullTextSync = 1;

// Clients may send anything: every member is read through these, which answer "absent" for a
// missing member, a member of the wrong type, or a value that is not an object at all. `member` also
// answers "absent" for an absent value, so that lookups chain, and keeps the constness of what it is
// given: a document's text is moved out of the message the server owns (`take_string_member`).
template <class Json>
Json* member(Json* value, const char* key) {
    if (value == nullptr || !value->is_object()) return nullptr;
    const auto it = value->find(key);
    return it == value->end() ? nullptr : &*it;
}

const json& object_member(const json& value, const char* key) {
    static const json kEmpty = json::object();
    const json* found = member(&value, key);
    return found != nullptr && found->is_object() ? *found : kEmpty;
}

std::string string_member(const json& value, const char* key) {
    const json* found = member(&value, key);
    return found != nullptr && found->is_string() ? found->get<std::string>() : std::string();
}

// The text of a document is the whole document, and the message is dropped once handled, so it is
// moved out rather than copied.
std::string take_string_member(json* value, const char* key) {
    json* found = member(value, key);
    return found != nullptr && found->is_string() ? std::move(found->get_ref<std::string&>()) : std::string();
}

uint64_t unsigned_member(const json& value, const char* key) {
    const json* found = member(&value, key);
    return found != nullptr && found->is_number_unsigned() ? found->get<uint64_t>() : 0;
}

json initialize_result() {
    json capabilities = json::object();
    capabilities["textDocumentSync"] = kFullTextSync;
    capabilities["hoverProvider"] = true;
    json server_info = json::object();
    server_info["name"] = kServerName;
    server_info["version"] = kServerVersion;
    json result = json::object();
    result["capabilities"] = std::move(capabilities);
    result["serverInfo"] = std::move(server_info);
    return result;
}

json method_not_supported(const std::optional<json>& id, const std::string& method) {
    json error = json::object();
    error["code"] = kMethodNotFound;
    error["message"] = server_message(ServerDiag::MethodNotSupported, method);
    json message = json::object();
    message["jsonrpc"] = "2.0";
    message["id"] = id.value_or(json());
    message["error"] = std::move(error);
    return message;
}

json hover_result(const std::optional<std::string>& text, const HoverFormat format) {
    if (!text) return json();
    json contents = json::object();
    contents["kind"] = markup_kind(format);
    contents["value"] = *text;
    json result = json::object();
    result["contents"] = std::move(contents);
    return result;
}

// With full-text sync every change carries the whole document, so only the last one matters.
std::optional<std::string> changed_text(json& message) {
    json* changes = member(member(&message, "params"), "contentChanges");
    if (changes == nullptr || !changes->is_array() || changes->empty()) return std::nullopt;
    return take_string_member(&changes->back(), "text");
}

}  // namespace

std::optional<std::filesystem::path> find_stdlib_dir() {
    if (const char* configured = std::getenv("QUELLIN_STDLIB")) return std::filesystem::path(configured);

    std::error_code ec;
    std::filesystem::path dir = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return std::nullopt;
    for (int level = 0; level < 4; ++level) {
        if (!dir.has_relative_path()) return std::nullopt;
        dir = dir.parent_path();
    }
    std::filesystem::path candidate = dir / "stdlib";
    if (!std::filesystem::is_directory(candidate, ec)) return std::nullopt;
    return candidate;
}

Server Server::create() {
    Server server;
    server.stdlib_dir = find_stdlib_dir();
    return server;
}

void Server::sweep_caches() {
    caches.trees.sweep();
    caches.results.sweep();
}

json response(const std::optional<json>& id, json result) {
    json message = json::object();
    message["jsonrpc"] = "2.0";
    message["id"] = id.value_or(json());
    message["result"] = std::move(result);
    return message;
}

json notification(json params) {
    json message = json::object();
    message["jsonrpc"] = "2.0";
    message["method"] = "textDocument/publishDiagnostics";
    message["params"] = std::move(params);
    return message;
}

HandleOutcome Server::handle(json message) {
    const std::string method = string_member(message, "method");
    const json* id_member = member(&message, "id");
    const std::optional<json> id = id_member != nullptr ? std::optional<json>(*id_member) : std::nullopt;
    const json& params = object_member(message, "params");
    const std::string uri = string_member(object_member(params, "textDocument"), "uri");

    HandleOutcome outcome;
    if (method == "initialize") {
        const json* capabilities = member(&params, "capabilities");
        hover_markup = capabilities != nullptr ? hover_format(*capabilities) : HoverFormat::Markdown;
        outcome.messages.push_back(response(id, initialize_result()));
    } else if (method == "initialized") {
        // A notification that needs no answer.
    } else if (method == "shutdown") {
        outcome.messages.push_back(response(id, json()));
    } else if (method == "exit") {
        outcome.keep_running = false;
    } else if (method == "textDocument/didOpen") {
        documents[uri] = take_string_member(member(member(&message, "params"), "textDocument"), "text");
        outcome = diagnostics_note(uri);
    } else if (method == "textDocument/didChange") {
        // A program is smaller when the document lost an eighth of its text or more (a keystroke never
        // counts, so giving memory back does not tax typing) or its check loaded fewer files.
        bool shrank = false;
        if (std::optional<std::string> text = changed_text(message)) {
            std::string& document = documents[uri];
            shrank = text->size() < document.size() - document.size() / 8;
            document = std::move(*text);
        }
        outcome = diagnostics_note(uri);
        const std::optional<CheckedWork>& earlier = outcome.check.work;  // the check's, swapped out
        const auto held = latest_work.find(uri);
        outcome.shrank = shrank || (earlier && held != latest_work.end() && held->second.trees.size() < earlier->trees.size());
    } else if (method == "textDocument/didClose") {
        outcome.shrank = documents.erase(uri) != 0;
        if (const auto remembered = hover_modules.find(uri); remembered != hover_modules.end()) {
            outcome.check.modules = std::move(remembered->second);
            hover_modules.erase(remembered);
        }
        if (const auto held = latest_work.find(uri); held != latest_work.end()) {
            outcome.check.work = std::move(held->second);
            latest_work.erase(held);
        }
        json cleared = json::object();
        cleared["uri"] = uri;
        cleared["diagnostics"] = json::array();
        outcome.messages.push_back(notification(std::move(cleared)));
    } else if (method == "textDocument/hover") {
        const json& position = object_member(params, "position");
        const std::optional<std::string> text =
            hover(uri, unsigned_member(position, "line"), unsigned_member(position, "character"));
        outcome.messages.push_back(response(id, hover_result(text, hover_markup)));
    } else if (id) {
        outcome.messages.push_back(method_not_supported(id, method));
    }
    return outcome;
}

}  // namespace quellin::lsp
