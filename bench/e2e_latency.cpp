// End-to-end latency of the real server process: opens a generated document, sends many didChange
// edits, and for each one measures the time from writing the message to reading its
// publishDiagnostics; then reports the median, the 95th percentile and the server's peak resident
// memory (VmHWM), and its resident memory once the document is closed again. Run once on a single
// large file and once on the entry file of a module graph, whose every imported module the server
// reads from disk again on every change; each session runs with the server as users start it and with
// `--no-reuse` (every check from scratch), in alternation.
//
//   e2e_latency --server build/lsp/bin/quellin-lsp [--lines 10000] [--edits 200] [--warmup 5]
//               [--modules 100] [--module-lines 500] [--graph chain|tree] [--disk-edits 0|1]
//               [--documents N] [--modes both|reuse|scratch]
//
// --graph tree: module k imports 2k+1 and 2k+2 and the document is the root, mod000.
// --disk-edits 1: before each change, an imported module halfway down the graph is written again with
//   a different last line, a comment, as saving it in another editor would, and the document is sent
//   unchanged; --disk-edits 2: that last line is a public function of a new name each time, so that
//   the module's interface changes and every module importing it, directly or not, is checked again.
// --documents N: also opens N documents of --lines lines each, then closes them all, and reports the
//   resident memory with all open and after all are closed.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "gen/generate.hpp"
#include "gen/temp_dir.hpp"

namespace {

using nlohmann::json;
using Clock = std::chrono::steady_clock;

// The server as a child process, talking over two pipes.
class ServerProcess {
public:
    ServerProcess(const std::string& binary, const std::vector<std::string>& arguments) {
        int to_child[2];
        int from_child[2];
        if (pipe(to_child) != 0) return;
        if (pipe(from_child) != 0) {
            close(to_child[0]);
            close(to_child[1]);
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            dup2(to_child[0], STDIN_FILENO);
            dup2(from_child[1], STDOUT_FILENO);
            close(to_child[0]);
            close(to_child[1]);
            close(from_child[0]);
            close(from_child[1]);
            std::vector<char*> argv{const_cast<char*>(binary.c_str())};
            for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
            argv.push_back(nullptr);
            execv(binary.c_str(), argv.data());
            _exit(127);
        }
        close(to_child[0]);
        close(from_child[1]);
        in_ = to_child[1];
        out_ = from_child[0];
    }

    ~ServerProcess() {
        if (in_ >= 0) close(in_);
        if (out_ >= 0) close(out_);
        if (pid_ > 0) {
            int status = 0;
            waitpid(pid_, &status, 0);
        }
    }

    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    bool send(const json& message) { return send_frame(frame(message.dump())); }

    // A body behind its Content-Length header.
    static std::string frame(const std::string& body) {
        return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    }

    bool send_frame(const std::string& frame) {
        size_t written = 0;
        while (written < frame.size()) {
            const ssize_t n = write(in_, frame.data() + written, frame.size() - written);
            if (n <= 0) return false;
            written += static_cast<size_t>(n);
        }
        return true;
    }

    // The next framed message, or nothing on end of output, a framing error or after a minute of silence.
    std::optional<json> receive() {
        size_t header_end;
        while ((header_end = buffer_.find("\r\n\r\n")) == std::string::npos) {
            if (!fill()) return std::nullopt;
        }
        const std::string_view headers(buffer_.data(), header_end);
        const size_t at = headers.find("Content-Length:");
        if (at == std::string_view::npos) return std::nullopt;
        size_t start = at + std::strlen("Content-Length:");
        while (start < headers.size() && headers[start] == ' ') ++start;
        size_t length = 0;
        const auto [end, ec] = std::from_chars(headers.data() + start, headers.data() + headers.size(), length);
        if (ec != std::errc()) return std::nullopt;
        const size_t body_start = header_end + 4;
        while (buffer_.size() < body_start + length) {
            if (!fill()) return std::nullopt;
        }
        json message = json::parse(buffer_.substr(body_start, length), nullptr, false);
        buffer_.erase(0, body_start + length);
        if (message.is_discarded()) return std::nullopt;
        return message;
    }

    // Reads until the publishDiagnostics for `uri` arrives and returns it.
    std::optional<json> receive_diagnostics(const std::string& uri) {
        while (true) {
            auto message = receive();
            if (!message) return std::nullopt;
            const auto method = message->find("method");
            if (method == message->end() || *method != "textDocument/publishDiagnostics") continue;
            const auto params = message->find("params");
            if (params == message->end()) continue;
            const auto found = params->find("uri");
            if (found != params->end() && *found == uri) return message;
        }
    }

    // The CPU time the server has used so far (user and system), in seconds, from /proc: unlike the
    // latency it does not grow when other processes compete for the machine.
    std::optional<double> cpu_seconds() const {
        std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
        std::string text;
        std::getline(stat, text);
        // The command name may hold spaces; the fields after it start behind its closing parenthesis.
        const size_t close = text.rfind(')');
        if (close == std::string::npos) return std::nullopt;
        std::istringstream fields(text.substr(close + 2));
        std::string field;
        unsigned long long utime = 0, stime = 0;
        for (int i = 3; i <= 15 && fields >> field; ++i) {
            if (i == 14) utime = std::stoull(field);
            if (i == 15) stime = std::stoull(field);
        }
        return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
    }

    // The peak resident set size so far, in KiB, from /proc.
    std::optional<long> peak_rss_kib() const { return status_kib("VmHWM:"); }

    // The resident set size now, in KiB.
    std::optional<long> rss_kib() const { return status_kib("VmRSS:"); }

private:
    std::optional<long> status_kib(const std::string_view field) const {
        std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind(field, 0) == 0) return std::strtol(line.c_str() + field.size(), nullptr, 10);
        }
        return std::nullopt;
    }

    bool fill() {
        pollfd fd{out_, POLLIN, 0};
        if (poll(&fd, 1, 60'000) <= 0) return false;
        char chunk[65536];
        const ssize_t n = read(out_, chunk, sizeof chunk);
        if (n <= 0) return false;
        buffer_.append(chunk, static_cast<size_t>(n));
        return true;
    }

    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    std::string buffer_;
};

struct Options {
    std::string server;
    uint32_t lines = 10'000;
    uint32_t edits = 200;
    uint32_t warmup = 5;
    uint32_t modules = 100;
    uint32_t module_lines = 500;
    bool tree = false;
    uint32_t disk_edits = 0;  // 1: a comment, 2: a new public function
    uint32_t documents = 0;
    bool with_reuse = true;
    bool from_scratch = true;
};

struct Result {
    std::vector<double> latencies_ms;  // after the warm-up edits
    long peak_rss_kib = 0;
    long closed_rss_kib = 0;           // once the document is closed again
    double cpu_ms_per_edit = 0.0;      // the server's CPU time over the measured edits, averaged
    std::string problem;               // empty when every check came back clean
};

std::string diagnostics_problem(const json& note) {
    const auto& diagnostics = note["params"]["diagnostics"];
    if (diagnostics.is_array() && diagnostics.empty()) return "";
    return "the document did not check clean: " + diagnostics.dump();
}

// The positions of one small literal that occurs throughout generated programs; each edit rewrites
// one of them, so every version of the document still checks clean and has the same shape.
std::vector<size_t> edit_sites(const std::string& text) {
    std::vector<size_t> sites;
    const std::string_view needle = "qty: 4,";
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) {
        sites.push_back(at + needle.size() - 2);
    }
    return sites;
}

bool initialize(ServerProcess& server) {
    server.send({{"jsonrpc", "2.0"}, {"id", 1}, {"method", "initialize"}, {"params", {{"capabilities", json::object()}}}});
    if (!server.receive()) return false;
    server.send({{"jsonrpc", "2.0"}, {"method", "initialized"}, {"params", json::object()}});
    return true;
}

json did_open(const std::string& uri, const std::string& text) {
    return {{"jsonrpc", "2.0"},
            {"method", "textDocument/didOpen"},
            {"params", {{"textDocument", {{"uri", uri}, {"languageId", "quellin"}, {"version", 1}, {"text", text}}}}}};
}

json did_close(const std::string& uri) {
    return {{"jsonrpc", "2.0"}, {"method", "textDocument/didClose"}, {"params", {{"textDocument", {{"uri", uri}}}}}};
}

// The resident memory once the server has answered a request sent after everything before it.
std::optional<long> settled_rss_kib(ServerProcess& server) {
    server.send({{"jsonrpc", "2.0"}, {"id", 3}, {"method", "textDocument/hover"},
                 {"params", {{"textDocument", {{"uri", "untitled:none"}}}, {"position", {{"line", 0}, {"character", 0}}}}}});
    if (!server.receive()) return std::nullopt;
    return server.rss_kib();
}

void shut_down(ServerProcess& server) {
    server.send({{"jsonrpc", "2.0"}, {"id", 2}, {"method", "shutdown"}});
    (void)server.receive();
    server.send({{"jsonrpc", "2.0"}, {"method", "exit"}});
}

// Rewrites the last line of the file at `path` to say `n`, in a comment or, with `interface`, in the
// name of a public function; false when it cannot.
bool rewrite_last_line(const std::filesystem::path& path, const uint32_t n, const bool interface) {
    std::string text;
    {
        std::ifstream in(path, std::ios::binary);
        if (!in) return false;
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    const std::string marker = "// saved elsewhere\n";
    if (const size_t at = text.rfind(marker); at != std::string::npos) text.resize(at);
    text += marker;
    text += interface ? "/// Saved.\npub fn saved_" + std::to_string(n) + "() -> Int = 1\n" : "// " + std::to_string(n) + "\n";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

// `disk_file`, when given, is written again before each change, and the document is sent unchanged.
Result run_session(const Options& options, const std::vector<std::string>& arguments, const std::string& uri,
                   std::string text, const std::optional<std::filesystem::path>& disk_file) {
    Result result;
    ServerProcess server(options.server, arguments);
    if (!server.started()) {
        result.problem = "cannot start " + options.server;
        return result;
    }
    if (!initialize(server)) {
        result.problem = "no answer to initialize";
        return result;
    }
    server.send(did_open(uri, text));
    const auto opened = server.receive_diagnostics(uri);
    if (!opened) {
        result.problem = "no diagnostics after didOpen";
        return result;
    }
    result.problem = diagnostics_problem(*opened);

    const std::vector<size_t> sites = edit_sites(text);
    const std::string plain_end = text;
    double cpu_at_start = 0.0;
    for (uint32_t i = 0; i < options.warmup + options.edits && result.problem.empty(); ++i) {
        if (disk_file) {
            if (!rewrite_last_line(*disk_file, i, options.disk_edits == 2)) {
                result.problem = "cannot write " + disk_file->string();
                break;
            }
        } else if (!sites.empty()) {
            text[sites[(i * 7919u) % sites.size()]] = static_cast<char>('1' + i % 9);
        } else {
            // A document without the literal (a library module): its last line changes instead.
            text = plain_end + "// edit " + std::to_string(i) + "\n";
        }
        if (i == options.warmup) cpu_at_start = server.cpu_seconds().value_or(0.0);
        const json change = {{"jsonrpc", "2.0"},
                             {"method", "textDocument/didChange"},
                             {"params",
                              {{"textDocument", {{"uri", uri}, {"version", i + 2}}},
                               {"contentChanges", json::array({{{"text", text}}})}}}};
        // The message is serialised and framed before the clock starts: an editor has it ready when it
        // writes it. (Framing a large document copies it, which costs this process milliseconds of page
        // faults that are not the server's.)
        const std::string frame = ServerProcess::frame(change.dump());
        const auto start = Clock::now();
        if (!server.send_frame(frame)) {
            result.problem = "the server stopped reading";
            break;
        }
        const auto note = server.receive_diagnostics(uri);
        const auto stop = Clock::now();
        if (!note) {
            result.problem = "no diagnostics after didChange " + std::to_string(i);
            break;
        }
        result.problem = diagnostics_problem(*note);
        if (i >= options.warmup) {
            result.latencies_ms.push_back(std::chrono::duration<double, std::milli>(stop - start).count());
        }
    }
    result.peak_rss_kib = server.peak_rss_kib().value_or(0);
    if (!result.latencies_ms.empty()) {
        result.cpu_ms_per_edit = (server.cpu_seconds().value_or(0.0) - cpu_at_start) * 1000.0 /
                                 static_cast<double>(result.latencies_ms.size());
    }
    server.send(did_close(uri));
    (void)server.receive_diagnostics(uri);
    result.closed_rss_kib = settled_rss_kib(server).value_or(0);
    shut_down(server);
    return result;
}

// Opens `count` documents of `lines` lines each, then closes them all; reports resident memory.
void run_documents(const Options& options, const std::vector<std::string>& arguments, const std::string& label) {
    ServerProcess server(options.server, arguments);
    if (!server.started() || !initialize(server)) {
        std::printf("%-26s FAILED: cannot start the server\n", label.c_str());
        return;
    }
    std::vector<std::string> uris;
    for (uint32_t i = 0; i < options.documents; ++i) {
        uris.push_back("untitled:document" + std::to_string(i));
        server.send(did_open(uris.back(), quellin::gen::generate_program(options.lines, 1 + i)));
        if (!server.receive_diagnostics(uris.back())) {
            std::printf("%-26s FAILED: no diagnostics after didOpen\n", label.c_str());
            return;
        }
    }
    const long open_kib = settled_rss_kib(server).value_or(0);
    for (const std::string& uri : uris) {
        server.send(did_close(uri));
        (void)server.receive_diagnostics(uri);
    }
    const long closed_kib = settled_rss_kib(server).value_or(0);
    std::printf("%-26s %u documents x %u lines: RSS all open %6.1f MiB, all closed %6.1f MiB, peak %6.1f MiB\n",
                label.c_str(), options.documents, options.lines, static_cast<double>(open_kib) / 1024.0,
                static_cast<double>(closed_kib) / 1024.0, static_cast<double>(server.peak_rss_kib().value_or(0)) / 1024.0);
    shut_down(server);
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const double rank = p * static_cast<double>(values.size() - 1);
    const auto below = static_cast<size_t>(rank);
    const size_t above = std::min(below + 1, values.size() - 1);
    return values[below] + (values[above] - values[below]) * (rank - static_cast<double>(below));
}

bool report(const std::string& name, const Result& result) {
    if (!result.problem.empty()) {
        std::printf("%-28s FAILED: %s\n", name.c_str(), result.problem.c_str());
        return false;
    }
    std::printf("%-40s edits %4zu  median %7.2f ms  p95 %7.2f ms  max %7.2f ms  server CPU/edit %7.2f ms  "
                "peak RSS %6.1f MiB  closed %6.1f MiB\n",
                name.c_str(), result.latencies_ms.size(), percentile(result.latencies_ms, 0.5),
                percentile(result.latencies_ms, 0.95), percentile(result.latencies_ms, 1.0), result.cpu_ms_per_edit,
                static_cast<double>(result.peak_rss_kib) / 1024.0, static_cast<double>(result.closed_rss_kib) / 1024.0);
    return true;
}

std::optional<uint32_t> number(const char* text) {
    uint32_t value = 0;
    const std::string_view s(text);
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return value;
}

std::optional<Options> parse_options(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view flag = argv[i];
        const std::string_view text = argv[i + 1];
        if (flag == "--server") {
            options.server = argv[i + 1];
            continue;
        }
        if (flag == "--graph") {
            if (text != "chain" && text != "tree") return std::nullopt;
            options.tree = text == "tree";
            continue;
        }
        if (flag == "--modes") {
            if (text != "both" && text != "reuse" && text != "scratch") return std::nullopt;
            options.with_reuse = text != "scratch";
            options.from_scratch = text != "reuse";
            continue;
        }
        const auto value = number(argv[i + 1]);
        if (!value) return std::nullopt;
        if (flag == "--lines") options.lines = *value;
        else if (flag == "--edits") options.edits = *value;
        else if (flag == "--warmup") options.warmup = *value;
        else if (flag == "--modules") options.modules = *value;
        else if (flag == "--module-lines") options.module_lines = *value;
        else if (flag == "--disk-edits") options.disk_edits = *value;
        else if (flag == "--documents") options.documents = *value;
        else return std::nullopt;
    }
    if (argc % 2 == 0 || options.server.empty() || options.edits == 0) return std::nullopt;
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    const auto options = parse_options(argc, argv);
    if (!options) {
        std::fputs("usage: e2e_latency --server PATH [--lines N] [--edits N] [--warmup N] [--modules M] "
                   "[--module-lines N] [--graph chain|tree] [--disk-edits 0|1] [--documents N] "
                   "[--modes both|reuse|scratch]\n",
                   stderr);
        return 2;
    }
    // A server that dies mid-write must show up as a failed session, not kill the driver.
    signal(SIGPIPE, SIG_IGN);

    const quellin::gen::TempDir dir;
    if (dir.path().empty()) {
        std::fputs("e2e_latency: cannot make a temporary directory\n", stderr);
        return 1;
    }
    bool ok = true;
    // (label, arguments) of each kind of server, run in alternation.
    std::vector<std::pair<std::string, std::vector<std::string>>> modes;
    if (options->with_reuse) modes.push_back({"reuse", {}});
    if (options->from_scratch) modes.push_back({"scratch", {"--no-reuse"}});

    if (options->lines > 0 && options->documents == 0) {
        const std::string single = quellin::gen::generate_program(options->lines);
        const auto single_path = dir.path() / "single" / "document.qn";
        quellin::gen::write_files(single_path.parent_path(), {{"document", single}});
        for (const auto& [label, arguments] : modes) {
            ok &= report("[" + label + "] single file, " + std::to_string(options->lines) + " lines",
                         run_session(*options, arguments, "file://" + single_path.string(), single, std::nullopt));
        }
    }

    if (options->modules > 0) {
        const auto files = options->tree ? quellin::gen::generate_module_tree(options->modules, options->module_lines)
                                         : quellin::gen::generate_module_graph(options->modules, options->module_lines);
        const auto last = quellin::gen::write_files(dir.path() / "graph", files);
        // The tree's root is its first module; the graph's entry module its last.
        const auto& document = options->tree ? files.front() : files.back();
        const auto path = last.parent_path() / (document.name + ".qn");
        std::optional<std::filesystem::path> disk_file;
        std::string what = std::to_string(options->modules) + (options->tree ? " tree" : "") + " modules x " +
                           std::to_string(options->module_lines) + " lines";
        if (options->disk_edits) {
            // Halfway down: a module whose importers reach up to the document.
            const auto& changed = files[files.size() / 2 == 0 ? 0 : (files.size() - 1) / 4];
            disk_file = last.parent_path() / (changed.name + ".qn");
            what += ", " + changed.name + (options->disk_edits == 2 ? " API" : "") + " saved";
        }
        for (const auto& [label, arguments] : modes) {
            ok &= report("[" + label + "] " + what,
                         run_session(*options, arguments, "file://" + path.string(), document.text, disk_file));
        }
    }

    if (options->documents > 0) {
        for (const auto& [label, arguments] : modes) run_documents(*options, arguments, "[" + label + "]");
    }
    return ok ? 0 : 1;
}
