#include "process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

extern char** environ;

namespace quellin::lsp::testing {

namespace {

std::vector<std::string> child_environment(const std::vector<EnvSetting>& settings) {
    std::vector<std::string> out;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        bool overridden = false;
        for (const EnvSetting& s : settings) overridden = overridden || s.name == name;
        if (!overridden) out.push_back(text);
    }
    for (const EnvSetting& s : settings) {
        if (s.value) out.push_back(s.name + "=" + *s.value);
    }
    return out;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (std::string& s : strings) out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

void set_nonblocking(const int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); }

}  // namespace

ProcessResult run_process(const std::string& program, const std::vector<std::string>& args, const std::string& input,
                          const std::vector<EnvSetting>& env, const std::optional<std::string>& cwd,
                          const OutputWatcher& watch) {
    std::vector<std::string> argv_strings{program};
    argv_strings.insert(argv_strings.end(), args.begin(), args.end());
    std::vector<std::string> env_strings = child_environment(env);
    std::vector<char*> argv = pointers(argv_strings);
    std::vector<char*> envp = pointers(env_strings);

    // A child that exits before reading all its input must not take the test run down with it.
    std::signal(SIGPIPE, SIG_IGN);

    int in_pipe[2];
    int out_pipe[2];
    int err_pipe[2];
    if (::pipe2(in_pipe, O_CLOEXEC) != 0 || ::pipe2(out_pipe, O_CLOEXEC) != 0 || ::pipe2(err_pipe, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe: " << std::strerror(errno);
        return {};
    }

    const pid_t pid = ::fork();
    if (pid == 0) {
        std::signal(SIGPIPE, SIG_DFL);
        ::dup2(in_pipe[0], 0);
        ::dup2(out_pipe[1], 1);
        ::dup2(err_pipe[1], 2);
        if (cwd && ::chdir(cwd->c_str()) != 0) ::_exit(126);
        ::execve(program.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(in_pipe[0]);
    ::close(out_pipe[1]);
    ::close(err_pipe[1]);
    if (pid < 0) {
        ADD_FAILURE() << "fork: " << std::strerror(errno);
        return {};
    }

    // Feed and drain at once: a child that answers while it still reads must never block on a full pipe.
    int to_child = in_pipe[1];
    set_nonblocking(to_child);
    std::size_t written = 0;
    if (input.empty()) {
        ::close(to_child);
        to_child = -1;
    }
    ProcessResult result;
    int from_out = out_pipe[0];
    int from_err = err_pipe[0];
    while (to_child >= 0 || from_out >= 0 || from_err >= 0) {
        pollfd fds[3] = {{to_child, POLLOUT, 0}, {from_out, POLLIN, 0}, {from_err, POLLIN, 0}};
        if (::poll(fds, 3, -1) < 0) {
            if (errno == EINTR) continue;
            ADD_FAILURE() << "poll: " << std::strerror(errno);
            break;
        }
        if (to_child >= 0 && (fds[0].revents & (POLLOUT | POLLERR | POLLHUP)) != 0) {
            const ssize_t n = ::write(to_child, input.data() + written, input.size() - written);
            if (n > 0) written += static_cast<std::size_t>(n);
            // A child that stopped reading (it exited, say) simply gets the rest of its input dropped.
            if (written == input.size() || (n < 0 && errno != EAGAIN && errno != EINTR)) {
                ::close(to_child);
                to_child = -1;
            }
        }
        int* readers[2] = {&from_out, &from_err};
        std::string* sinks[2] = {&result.out, &result.err};
        for (int k = 0; k < 2; ++k) {
            if (*readers[k] < 0 || (fds[k + 1].revents & (POLLIN | POLLERR | POLLHUP)) == 0) continue;
            char buffer[65536];
            const ssize_t n = ::read(*readers[k], buffer, sizeof buffer);
            if (n > 0) {
                sinks[k]->append(buffer, static_cast<std::size_t>(n));
                if (k == 0 && watch) watch(pid, result.out);
            } else if (n == 0 || errno != EINTR) {
                ::close(*readers[k]);
                *readers[k] = -1;
            }
        }
    }

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string frame(const std::string& body) {
    return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string frame(const nlohmann::json& message) { return frame(message.dump()); }

std::vector<nlohmann::json> parse_frames(const std::string& out) {
    static const std::string kPrefix = "Content-Length: ";
    std::vector<nlohmann::json> messages;
    std::size_t at = 0;
    while (at < out.size()) {
        if (out.compare(at, kPrefix.size(), kPrefix) != 0) {
            ADD_FAILURE() << "expected a frame at byte " << at << " of: " << out;
            break;
        }
        const std::size_t header_end = out.find("\r\n\r\n", at);
        if (header_end == std::string::npos) {
            ADD_FAILURE() << "unterminated header in: " << out;
            break;
        }
        const std::size_t length = std::stoul(out.substr(at + kPrefix.size(), header_end - at - kPrefix.size()));
        const std::size_t body_start = header_end + 4;
        if (body_start + length > out.size()) {
            ADD_FAILURE() << "short body in: " << out;
            break;
        }
        nlohmann::json message = nlohmann::json::parse(out.substr(body_start, length), nullptr, false);
        EXPECT_FALSE(message.is_discarded()) << out.substr(body_start, length);
        messages.push_back(std::move(message));
        at = body_start + length;
    }
    return messages;
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quellin-lsp-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp: " << std::strerror(errno);
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::write(const std::string& relative, const std::string& text) const {
    const std::filesystem::path full = std::filesystem::path(path_) / relative;
    std::filesystem::create_directories(full.parent_path());
    std::ofstream(full, std::ios::binary) << text;
    return full.string();
}

void write_all(const TempDir& dir, const std::vector<SourceFile>& files) {
    for (const SourceFile& file : files) dir.write(file.name, file.text);
}

std::string TempDir::uri(const std::string& relative) const {
    return "file://" + (std::filesystem::path(path_) / relative).string();
}

}  // namespace quellin::lsp::testing
