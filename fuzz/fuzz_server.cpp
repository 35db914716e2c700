// Arbitrary bytes as the client's side of the pipe: framing, then dispatch of every message read.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "lsp/framing.hpp"
#include "lsp/server.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    quellin::lsp::Server server;  // no standard library: the input decides everything
    for (;;) {
        auto message = quellin::lsp::read_message(in);
        if (!message || !message->has_value()) break;
        const auto outcome = server.handle(**message);
        for (const auto& out : outcome.messages) (void)quellin::lsp::serialize(out);
        if (!outcome.keep_running) break;
    }
    return 0;
}
