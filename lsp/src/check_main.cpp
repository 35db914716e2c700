// quellin-check FILE...: reports the first error of each saved file, exactly as the server would.
//
// Exit status: 0 when every file is clean, 1 when any has an error, 2 when a file cannot be read or
// no file was named.

#include <filesystem>
#include <iostream>
#include <string>

#include "lexer/expected.hpp"
#include "lsp/pipeline.hpp"
#include "lsp/server.hpp"
#include "modules/file_text.hpp"

namespace {

constexpr int kClean = 0;
constexpr int kFoundErrors = 1;
constexpr int kUsageError = 2;

}  // namespace

int main(const int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    if (argc < 2) {
        std::cerr << "usage: quellin-check FILE...\n";
        return kUsageError;
    }

    const std::optional<std::filesystem::path> stdlib_dir = quellin::lsp::find_stdlib_dir();
    int status = kClean;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        const std::filesystem::path path(name);
        const quellin::Expected<std::string, std::string> text = quellin::read_utf8_file(path);
        if (!text) {
            std::cerr << "quellin-check: cannot read '" << name << "': " << text.error() << "\n";
            status = kUsageError;
            continue;
        }
        const quellin::lsp::CheckOutcome outcome = quellin::lsp::check_document(*text, path, stdlib_dir);
        if (outcome.error) {
            std::cout << name << ":" << outcome.error->line << ":" << outcome.error->column << ": "
                      << outcome.error->message << "\n";
            if (status == kClean) status = kFoundErrors;
        }
    }
    std::cout.flush();
    return status;
}
