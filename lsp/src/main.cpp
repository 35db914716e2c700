// quellin-lsp: the language server, speaking the protocol over standard input and output.

#include <csignal>
#include <iostream>
#include <string_view>
#include <utility>

#include "lsp/framing.hpp"
#include "lsp/memory.hpp"
#include "lsp/server.hpp"

namespace {

using quellin::Expected;
using quellin::lsp::IoError;

constexpr int kServed = 0;
constexpr int kIoFailed = 1;
constexpr int kUsageError = 2;

constexpr const char* kHelp =
    "quellin-lsp: the language server for QUELLIN source files (.qn).\n"
    "\n"
    "usage: quellin-lsp [--stdio] [--clientProcessId=N]\n"
    "       quellin-lsp --help | --version\n"
    "\n"
    "An editor starts quellin-lsp and speaks the Language Server Protocol with it over standard input\n"
    "and standard output. The server reports the first error of each open document and shows a\n"
    "function's signature and doc comment on hover.\n"
    "\n"
    "options:\n"
    "  --stdio                accepted and ignored: standard input and output are the only transport\n"
    "  --clientProcessId=N    accepted and ignored\n"
    "  --help                 print this help and exit\n"
    "  --version              print the version and exit\n"
    "\n"
    "environment:\n"
    "  QUELLIN_STDLIB         the standard library's directory; when unset, the stdlib directory that\n"
    "                         was installed with quellin-lsp\n";

enum class Request { Serve, Help, Version };

struct Arguments {
    Request request = Request::Serve;
    // Off with the unlisted `--no-reuse`, which the benchmarks use to time checks from scratch.
    bool reuse = true;
};

// What the command line asks for; the first argument that is not understood is returned as the error.
// Editors' clients pass `--stdio` and `--clientProcessId=N` on their own; the server needs neither.
Expected<Arguments, std::string_view> read_arguments(const int argc, char** argv) {
    bool help = false;
    bool version = false;
    Arguments arguments;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help") {
            help = true;
        } else if (arg == "--version") {
            version = true;
        } else if (arg == "--no-reuse") {
            arguments.reuse = false;
        } else if (arg != "--stdio" && !arg.starts_with("--clientProcessId=")) {
            return quellin::unexpected(arg);
        }
    }
    if (version) arguments.request = Request::Version;
    if (help) arguments.request = Request::Help;
    return arguments;
}

// Reads, handles and answers messages one at a time until the input ends or the client says `exit`.
Expected<void, IoError> serve(std::istream& in, std::ostream& out, const bool reuse) {
    quellin::lsp::Server server = quellin::lsp::Server::create();
    server.reuse = reuse;
    for (;;) {
        QN_TRY_ASSIGN(std::optional<nlohmann::json> message, quellin::lsp::read_message(in));
        if (!message) return {};
        bool keep_running = true;
        bool shrank = false;
        {
            // The outcome holds the check it answers, which is freed with it, after the answer is written.
            const quellin::lsp::HandleOutcome outcome = server.handle(std::move(*message));
            for (const nlohmann::json& outgoing : outcome.messages) {
                QN_TRY(quellin::lsp::write_message(out, outgoing));
            }
            keep_running = outcome.keep_running;
            shrank = outcome.shrank;
        }
        if (!keep_running) return {};
        // Only once the answer is out: an edit's diagnostics never wait for it.
        if (shrank) {
            server.sweep_caches();
            (void)quellin::lsp::give_back_free_memory();
        }
    }
}

}  // namespace

int main(const int argc, char** argv) {
    const Expected<Arguments, std::string_view> arguments = read_arguments(argc, argv);
    if (!arguments) {
        std::cerr << "quellin-lsp: unknown argument '" << arguments.error() << "'; see 'quellin-lsp --help'\n";
        return kUsageError;
    }
    if (arguments->request == Request::Help) {
        std::cout << kHelp;
        return kServed;
    }
    if (arguments->request == Request::Version) {
        std::cout << quellin::lsp::kServerName << " " << quellin::lsp::kServerVersion << "\n";
        return kServed;
    }

    std::ios::sync_with_stdio(false);
    std::cin.tie(nullptr);
    // A client that goes away must end the loop with a write error, not kill the process silently.
    std::signal(SIGPIPE, SIG_IGN);
    quellin::lsp::keep_freed_memory();

    const Expected<void, IoError> served = serve(std::cin, std::cout, arguments->reuse);
    if (!served) {
        std::cerr << "Error: " << served.error().description << "\n";
        return kIoFailed;
    }
    return kServed;
}
