#pragma once
// Running the built executables as child processes, and the framing the tests speak to them.

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace quellin::lsp::testing {

// An environment variable to set (a value) or to remove (no value) for the child.
struct EnvSetting {
    std::string name;
    std::optional<std::string> value;
};

struct ProcessResult {
    int exit_status = -1;  // -1 when the child did not exit normally
    std::string out;
    std::string err;
};

// Called each time the child has written more to its standard output, with the child's process id
// and all of its output so far, while the child still runs.
using OutputWatcher = std::function<void(pid_t, const std::string&)>;

// Runs `program` with `args`, feeds it `input` on standard input, closes it, and collects
// everything it writes until it exits. `cwd`, when given, is the child's working directory.
ProcessResult run_process(const std::string& program, const std::vector<std::string>& args, const std::string& input,
                          const std::vector<EnvSetting>& env = {}, const std::optional<std::string>& cwd = {},
                          const OutputWatcher& watch = {});

// One frame holding `body` exactly as given.
std::string frame(const std::string& body);
std::string frame(const nlohmann::json& message);

// Splits the server's output into its messages; a malformed frame fails the calling test.
std::vector<nlohmann::json> parse_frames(const std::string& out);

// A scratch directory removed with everything in it when the object goes away.
class TempDir {
public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();

    const std::string& path() const { return path_; }
    // Writes `text` to `relative` below the directory, creating folders on the way; returns the full path.
    std::string write(const std::string& relative, const std::string& text) const;
    // The file:// URI of a path below the directory.
    std::string uri(const std::string& relative) const;

private:
    std::string path_;
};

// A file for a test to write below a TempDir: its path there and its text.
struct SourceFile {
    std::string name;
    std::string text;
};

// Writes each of `files` below `dir`.
void write_all(const TempDir& dir, const std::vector<SourceFile>& files);

}  // namespace quellin::lsp::testing
