// Arbitrary bytes as the client's side of the pipe: framing, then dispatch of every message read.
// Everything the server writes must already be UTF-8: the client's JSON was, and file paths and
// file contents that reach messages are UTF-8 too when no standard-library directory is set, so a
// byte the writer would have to replace means some message was cut or built wrongly.
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
        for (const auto& out : outcome.messages) {
            if (quellin::lsp::serialize(out) != out.dump(-1, ' ', false, nlohmann::json::error_handler_t::ignore)) {
                __builtin_trap();
            }
        }
        if (!outcome.keep_running) break;
    }
    return 0;
}
