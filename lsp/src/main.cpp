// quellin-lsp: the language server, speaking the protocol over standard input and output.

#include <csignal>
#include <iostream>
#include <utility>

#include "lsp/framing.hpp"
#include "lsp/memory.hpp"
#include "lsp/server.hpp"

namespace {

using quellin::Expected;
using quellin::lsp::IoError;

// Reads, handles and answers messages one at a time until the input ends or the client says `exit`.
Expected<void, IoError> serve(std::istream& in, std::ostream& out) {
    quellin::lsp::Server server = quellin::lsp::Server::create();
    for (;;) {
        QN_TRY_ASSIGN(std::optional<nlohmann::json> message, quellin::lsp::read_message(in));
        if (!message) return {};
        const quellin::lsp::HandleOutcome outcome = server.handle(std::move(*message));
        for (const nlohmann::json& outgoing : outcome.messages) {
            QN_TRY(quellin::lsp::write_message(out, outgoing));
        }
        server.release_retired();
        if (!outcome.keep_running) return {};
    }
}

}  // namespace

int main() {
    std::ios::sync_with_stdio(false);
    std::cin.tie(nullptr);
    // A client that goes away must end the loop with a write error, not kill the process silently.
    std::signal(SIGPIPE, SIG_IGN);
    quellin::lsp::keep_freed_memory();

    const Expected<void, IoError> served = serve(std::cin, std::cout);
    if (!served) {
        std::cerr << "Error: " << served.error().description << "\n";
        return 1;
    }
    return 0;
}
