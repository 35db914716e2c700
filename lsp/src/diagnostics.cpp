#include "lsp/diagnostics.hpp"

#include <algorithm>
#include <utility>

#include "common/text.hpp"
#include "common/utf8.hpp"
#include "lsp/server.hpp"

namespace quellin::lsp {

namespace {

using nlohmann::json;

constexpr int kSeverityError = 1;

json position(const uint32_t line, const uint32_t character) {
    json out = json::object();
    out["line"] = line;
    out["character"] = character;
    return out;
}

}  // namespace

json diagnostic(const uint32_t line, const uint32_t column, const std::string& message) {
    const uint32_t start_line = line > 0 ? line - 1 : 0;
    const uint32_t start_character = column > 0 ? column - 1 : 0;
    json range = json::object();
    range["start"] = position(start_line, start_character);
    range["end"] = position(start_line, std::max<uint32_t>(column, 1));
    json out = json::object();
    out["range"] = std::move(range);
    out["severity"] = kSeverityError;
    out["source"] = "quellin";
    out["message"] = message;
    return out;
}

std::optional<std::filesystem::path> file_uri_to_path(const std::string_view uri) {
    constexpr std::string_view kScheme = "file://";
    if (!uri.starts_with(kScheme)) return std::nullopt;

    // Escapes are counted in characters, not bytes: a '%' needs two more characters after it.
    const std::string_view rest = uri.substr(kScheme.size());
    std::string bytes;
    std::size_t at = 0;
    while (at < rest.size()) {
        const Scalar current = decode_scalar(rest, at);
        const std::size_t first_at = at + current.length;
        if (current.value == '%' && first_at < rest.size()) {
            const Scalar first = decode_scalar(rest, first_at);
            const std::size_t second_at = first_at + first.length;
            if (second_at < rest.size()) {
                const Scalar second = decode_scalar(rest, second_at);
                const int high = hex_digit_value(first.value);
                const int low = hex_digit_value(second.value);
                if (high < 0 || low < 0) return std::nullopt;
                bytes.push_back(static_cast<char>(high * 16 + low));
                at = second_at + second.length;
                continue;
            }
        }
        bytes.append(rest.substr(at, current.length));
        at = first_at;
    }
    if (!is_valid_utf8(bytes)) return std::nullopt;
    return std::filesystem::path(std::move(bytes));
}

HandleOutcome Server::diagnostics_note(const std::string& uri) {
    const auto document = documents.find(uri);
    const std::string_view text = document != documents.end() ? std::string_view(document->second) : "";

    HandleOutcome outcome;
    outcome.check = check_document(text, file_uri_to_path(uri), stdlib_dir, reuse ? &caches : nullptr);
    CheckOutcome& check = outcome.check;
    // Only open documents keep what their checks built. One that is not (a change without text of a
    // document never opened) was checked as empty text: remembering its empty module would answer no
    // hover differently from remembering nothing.
    if (document != documents.end()) {
        if (check.for_hover) std::swap(hover_modules[uri], check.modules);
        if (check.work) std::swap(latest_work[uri], *check.work);
    }

    json diagnostics = json::array();
    if (check.error) diagnostics.push_back(diagnostic(check.error->line, check.error->column, check.error->message));
    json params = json::object();
    params["uri"] = uri;
    params["diagnostics"] = std::move(diagnostics);
    outcome.messages.push_back(notification(std::move(params)));
    return outcome;
}

}  // namespace quellin::lsp
