// Arbitrary source text through the single-file pipeline: parse, check, and hover at a few places.
#include <cstddef>
#include <cstdint>
#include <string>

#include "lsp/framing.hpp"
#include "lsp/server.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    quellin::lsp::Server server;
    const std::string uri = "untitled:fuzz";
    server.documents[uri] = text;
    (void)quellin::lsp::serialize(server.diagnostics_note(uri));
    // Hover where the bytes point: the first few bytes pick lines and characters.
    for (size_t i = 0; i + 1 < size && i < 8; i += 2) {
        (void)server.hover(uri, data[i] % 16, data[i + 1] % 64);
    }
    return 0;
}
