#pragma once
// Checking many files at once, for quellin-check: which files a command line names (folders are
// walked), checking them on several threads, reporting each error once where it lies, and writing
// the reports as text, JSON or GitHub workflow commands.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lsp/pipeline.hpp"

namespace quellin::lsp {

// One file to check, named as reports show it, or an argument or folder that cannot be read.
struct CheckTarget {
    std::string name;
    std::optional<std::string> unreadable;  // why it cannot be read (the system's words)
};

struct FileSelection {
    std::vector<CheckTarget> targets;
    bool walked_folder = false;  // some argument was a folder
};

// The files the arguments name, in their order. A file is taken as named, whatever its name. A folder
// stands for every `*.qn` file below it, sorted by name byte by byte; entries whose names start with
// '.' and folders named `vendor` are left out (a module there is still checked where it is imported).
// Symbolic links are followed, and a folder reached twice (a link loop, two links to one folder) is
// walked once. A file reached a second time, by any name, is not checked again.
FileSelection select_files(const std::vector<std::string>& arguments);

// Checks one file's text, as check_document does. A run gives each of its threads its own checker,
// which checks that thread's files one after another.
using FileChecker = std::function<CheckOutcome(std::string_view text, const std::filesystem::path& path)>;

// Makes the checker of one thread; called once by each thread of a run, possibly at the same time.
using FileCheckers = std::function<FileChecker()>;

// check_document with the given standard library, every file from scratch.
FileCheckers plain_file_checkers(std::optional<std::filesystem::path> stdlib_dir);

// check_document with the given standard library, every check taking over what the run's earlier
// checks, on any thread, already parsed and checked: the syntax trees of files read with the same
// bytes and the results of imported modules. The answers are those of plain_file_checkers. The run
// keeps that work until it ends: about one copy of each module it met, and of each module's
// interface.
FileCheckers reusing_file_checkers(std::optional<std::filesystem::path> stdlib_dir);

struct FileResult {
    std::string name;
    std::optional<std::string> unreadable;
    std::optional<CheckError> error;  // the file's first error
};

// More threads than this gain nothing on any machine and cost memory: each holds a whole program.
inline constexpr unsigned kMaxCheckThreads = 64;

// Reads and checks every target on up to `threads` threads (at least one), each with a checker made
// by `checkers`. The results are in the targets' order whatever the number of threads.
std::vector<FileResult> check_files(const std::vector<CheckTarget>& targets, unsigned threads,
                                    const FileCheckers& checkers);

// One error as the output shows it.
struct ReportedError {
    std::string file;
    uint32_t line;
    uint32_t column;
    std::string message;
};

struct ProjectReport {
    std::vector<ReportedError> errors;
    // Files and folders that could not be read: (name, why).
    std::vector<std::pair<std::string, std::string>> unreadable;
    std::size_t files_checked = 0;
    std::size_t files_with_errors = 0;  // including those whose error lies in an imported file
};

// Each error once, where it lies: a file whose first error lies in another checked file, which
// reports that same error itself, does not repeat it. An error in a file outside the checked ones is
// reported by every file that meets it, as a single check would.
ProjectReport report_errors(const std::vector<FileResult>& results);

enum class ReportFormat { Text, Json, Github };

// "text", "json" or "github".
std::optional<ReportFormat> report_format(std::string_view name);

// The errors as standard output shows them: FILE:LINE:COLUMN: MESSAGE lines; one JSON array of
// objects with the keys column, file, line and message (in that order, one object a line); or one
// GitHub workflow command `::error file=…,line=…,col=…::…` a line.
std::string format_errors(const std::vector<ReportedError>& errors, ReportFormat format);

// "quellin-check: 3 files checked, 2 files with errors, 1 error", and how many could not be read
// when any could not.
std::string summary_line(const ProjectReport& report);

}  // namespace quellin::lsp
