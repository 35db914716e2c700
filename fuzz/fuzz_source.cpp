// Arbitrary source text through the single-file pipeline: parse, check, and hover at a few places.
// The lexer reads ill-formed bytes as U+FFFD, so whatever the bytes, every message and hover must be
// UTF-8; a byte the writer would have to replace means some text was cut or built wrongly.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/utf8.hpp"
#include "lsp/framing.hpp"
#include "lsp/server.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    quellin::lsp::Server server;
    const std::string uri = "untitled:fuzz";
    server.documents[uri] = text;
    const nlohmann::json note = server.diagnostics_note(uri).messages.at(0);
    if (quellin::lsp::serialize(note) != note.dump(-1, ' ', false, nlohmann::json::error_handler_t::ignore)) {
        __builtin_trap();
    }
    // Hover where the bytes point: the first few bytes pick lines and characters.
    for (size_t i = 0; i + 1 < size && i < 8; i += 2) {
        const auto hover = server.hover(uri, data[i] % 16, data[i + 1] % 64);
        if (hover && !quellin::is_valid_utf8(*hover)) __builtin_trap();
    }
    return 0;
}
