// quellin-check [OPTION]... FILE|FOLDER...: reports the first error of each saved file, exactly as the
// server would, each error once, as text, JSON or GitHub workflow commands.
//
// Exit status: 0 when every file is clean, 1 when any has an error, 2 when a file or folder cannot be
// read, no file was named, or an option is not understood.

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "lexer/expected.hpp"
#include "lsp/pipeline.hpp"
#include "lsp/project.hpp"
#include "lsp/server.hpp"

namespace {

using quellin::lsp::ReportFormat;

constexpr int kClean = 0;
constexpr int kFoundErrors = 1;
constexpr int kUsageError = 2;

constexpr const char* kHelp =
    "quellin-check: checks saved QUELLIN source files (.qn) from the command line.\n"
    "\n"
    "usage: quellin-check [--format=text|json|github] [-j N] [--] FILE|FOLDER...\n"
    "       quellin-check --help | --version\n"
    "\n"
    "Each file is checked with the modules it imports, as quellin-lsp checks an open document, and its\n"
    "first error is reported. A folder stands for every *.qn file below it, in order of their paths;\n"
    "folders named vendor and names that start with '.' are skipped there (modules in them are still\n"
    "checked where they are imported). An error is reported once, in the file where it lies: a file\n"
    "that fails only because a module it imports has an error does not repeat it when that module is\n"
    "checked too. With a folder among the arguments, a summary line goes to standard error. A file name\n"
    "that begins with '-' is given after '--'.\n"
    "\n"
    "exit status: 0 when every file is clean, 1 when any file has an error, 2 when a file or folder\n"
    "cannot be read, no file is named, or an option is not understood.\n"
    "\n"
    "options:\n"
    "  --format=text          FILE:LINE:COLUMN: MESSAGE, one error a line (the default)\n"
    "  --format=json          one JSON array of {\"column\", \"file\", \"line\", \"message\"} objects\n"
    "  --format=github        one '::error file=...,line=...,col=...::MESSAGE' workflow command a line\n"
    "  -j N, --jobs=N         check N files at a time (default: the number of processors); the output\n"
    "                         is the same for any N\n"
    "  --help                 print this help and exit\n"
    "  --version              print the version and exit\n"
    "\n"
    "environment:\n"
    "  QUELLIN_STDLIB         the standard library's directory; when unset, the stdlib directory that\n"
    "                         was installed with quellin-check\n";

constexpr std::string_view kSeeHelp = "; see 'quellin-check --help'\n";

struct Arguments {
    bool help = false;
    bool version = false;
    ReportFormat format = ReportFormat::Text;
    std::optional<unsigned> jobs;
    // Off with the unlisted `--no-reuse`, which the benchmarks use to time every file from scratch.
    bool reuse = true;
    std::vector<std::string> files;
};

std::optional<unsigned> positive_number(const std::string_view text) {
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value == 0) return std::nullopt;
    return value;
}

// Options come before `--`; after it every argument is a file. A lone "-" is a file name, as before.
// An option's value follows '=' or is the next argument. The first option that is not understood
// gives the error line.
quellin::Expected<Arguments, std::string> read_arguments(const int argc, char** argv) {
    Arguments arguments;
    bool options_end = false;
    // The value of option `name` in `arg` ("--name=VALUE", or "-jVALUE" for -j), or the next argument.
    const auto value_of = [&](int& i, const std::string_view arg, const std::string_view name) -> std::optional<std::string_view> {
        if (arg.size() > name.size()) return arg.substr(name.size() + (arg[name.size()] == '=' ? 1 : 0));
        if (i + 1 < argc) return std::string_view(argv[++i]);
        return std::nullopt;
    };
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
        } else if (arg == "--no-reuse") {
            arguments.reuse = false;
        } else if (arg == "--format" || arg.starts_with("--format=")) {
            const std::optional<std::string_view> name = value_of(i, arg, "--format");
            const std::optional<ReportFormat> format = name ? quellin::lsp::report_format(*name) : std::nullopt;
            if (!format) {
                return quellin::unexpected("quellin-check: --format takes text, json or github, not '" +
                                           std::string(name.value_or("")) + "'" + std::string(kSeeHelp));
            }
            arguments.format = *format;
        } else if (arg.starts_with("-j") || arg == "--jobs" || arg.starts_with("--jobs=")) {
            const std::optional<std::string_view> count = value_of(i, arg, arg.starts_with("-j") ? "-j" : "--jobs");
            arguments.jobs = count ? positive_number(*count) : std::nullopt;
            if (!arguments.jobs) {
                return quellin::unexpected("quellin-check: -j takes a number of files to check at a time, 1 or more, "
                                           "not '" + std::string(count.value_or("")) + "'" + std::string(kSeeHelp));
            }
        } else {
            return quellin::unexpected("quellin-check: unknown option '" + std::string(arg) + "'" +
                                       std::string(kSeeHelp));
        }
    }
    return arguments;
}

}  // namespace

int main(const int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const quellin::Expected<Arguments, std::string> arguments = read_arguments(argc, argv);
    if (!arguments) {
        std::cerr << arguments.error();
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

    const quellin::lsp::FileSelection selection = quellin::lsp::select_files(arguments->files);
    const unsigned threads = arguments->jobs.value_or(std::max(std::thread::hardware_concurrency(), 1u));
    const std::optional<std::filesystem::path> stdlib = quellin::lsp::find_stdlib_dir();
    const std::vector<quellin::lsp::FileResult> results = quellin::lsp::check_files(
        selection.targets, threads,
        arguments->reuse ? quellin::lsp::reusing_file_checkers(stdlib) : quellin::lsp::plain_file_checkers(stdlib));
    const quellin::lsp::ProjectReport report = quellin::lsp::report_errors(results);

    // Standard output holds the errors alone, so that it can be read by a program in every format;
    // what could not be read and the summary, which are for people, go to standard error.
    for (const auto& [name, why] : report.unreadable) {
        std::cerr << "quellin-check: cannot read '" << name << "': " << why << "\n";
    }
    std::cout << quellin::lsp::format_errors(report.errors, arguments->format);
    std::cout.flush();
    if (selection.walked_folder) std::cerr << quellin::lsp::summary_line(report);

    if (!report.unreadable.empty()) return kUsageError;
    return report.files_with_errors > 0 ? kFoundErrors : kClean;
}
