// Arbitrary bytes as the client's side of the pipe: framing, then dispatch of every message read.
// Everything the server writes must already be UTF-8: the client's JSON was, and file paths and
// file contents that reach messages are UTF-8 too when no standard-library directory is set, so a
// byte the writer would have to replace means some message was cut or built wrongly.
// The same bytes are also read as one message body, which must give what the JSON library gives for
// them: the same value, or its very error message (the reader decodes long strings its own way).
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "lsp/framing.hpp"
#include "lsp/server.hpp"

namespace {

void read_as_one_body(const std::string& body) {
    std::istringstream framed("Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
    const auto read = quellin::lsp::read_message(framed);
    const nlohmann::json expected = nlohmann::json::parse(body, nullptr, false);
    if (read) {
        if (!read->has_value() || expected.is_discarded() || **read != expected) __builtin_trap();
        return;
    }
    const std::string prefix = "invalid JSON body: ";
    const std::string& description = read.error().description;
    if (description.rfind(prefix, 0) != 0) return;  // a bound of ours, which the library does not have
    if (!expected.is_discarded()) __builtin_trap();
    try {
        [[maybe_unused]] const auto parsed = nlohmann::json::parse(body);
    } catch (const nlohmann::json::exception& error) {  // a syntax error, or a number out of range
        if (description != prefix + error.what()) __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    read_as_one_body(bytes);

    std::istringstream in(bytes);
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
