// quellin-check FILE...: reports the first error of each saved file, exactly as the server would.
//
// Exit status: 0 when every file is clean, 1 when any has an error, 2 when a file cannot be read, no
// file was named, or an option is not understood.

#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "lexer/expected.hpp"
#include "lsp/pipeline.hpp"
#include "lsp/server.hpp"
#include "modules/file_text.hpp"

namespace {

constexpr int kClean = 0;
constexpr int kFoundErrors = 1;
constexpr int kUsageError = 2;

constexpr const char* kHelp =
    "quellin-check: checks saved QUELLIN source files (.qn) from the command line.\n"
    "\n"
    "usage: quellin-check [--] FILE...\n"
    "       quellin-check --help | --version\n"
    "\n"
    "Each file is checked with the modules it imports, as quellin-lsp checks an open document, and its\n"
    "first error is printed as FILE:LINE:COLUMN: MESSAGE. A file name that begins with '-' is given\n"
    "after '--'.\n"
    "\n"
    "exit status: 0 when every file is clean, 1 when any file has an error, 2 when a file cannot be\n"
    "read, no file is named, or an option is not understood.\n"
    "\n"
    "options:\n"
    "  --help                 print this help and exit\n"
    "  --version              print the version and exit\n"
    "\n"
    "environment:\n"
    "  QUELLIN_STDLIB         the standard library's directory; when unset, the stdlib directory that\n"
    "                         was installed with quellin-check\n";

struct Arguments {
    bool help = false;
    bool version = false;
    std::vector<std::string> files;
};

// Options come before `--`; after it every argument is a file. A lone "-" is a file name, as before.
// The first option that is not understood is returned as the error.
quellin::Expected<Arguments, std::string_view> read_arguments(const int argc, char** argv) {
    Arguments arguments;
    bool options_end = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (options_end || arg.size() < 2 || arg[0] != '-') {
            arguments.files.emplace_back(arg);
        } else if (arg == "--") {
            options_end = true;
        } else if (arg == "--help") {
            arguments.help = true;
        } else if (arg == "--version") {
            arguments.version = true;
        } else {
            return quellin::unexpected(arg);
        }
    }
    return arguments;
}

}  // namespace

int main(const int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const quellin::Expected<Arguments, std::string_view> arguments = read_arguments(argc, argv);
    if (!arguments) {
        std::cerr << "quellin-check: unknown option '" << arguments.error() << "'; see 'quellin-check --help'\n";
        return kUsageError;
    }
    if (arguments->help) {
        std::cout << kHelp;
        return kClean;
    }
    if (arguments->version) {
        std::cout << "quellin-check " << quellin::lsp::kServerVersion << "\n";
        return kClean;
    }
    if (arguments->files.empty()) {
        std::cerr << "usage: quellin-check FILE...\n";
        return kUsageError;
    }

    const std::optional<std::filesystem::path> stdlib_dir = quellin::lsp::find_stdlib_dir();
    int status = kClean;
    for (const std::string& name : arguments->files) {
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
