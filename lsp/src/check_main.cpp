// quellin-check FILE...: reports the first error of each saved file, exactly as the server would.
//
// Exit status: 0 when every file is clean, 1 when any has an error, 2 when a file cannot be read or
// no file was named.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>

#include "lexer/expected.hpp"
#include "lsp/pipeline.hpp"
#include "lsp/server.hpp"
#include "lsp/utf8.hpp"

namespace {

constexpr int kClean = 0;
constexpr int kFoundErrors = 1;
constexpr int kUsageError = 2;

// Closes the descriptor on every way out of the read.
class FileDescriptor {
public:
    explicit FileDescriptor(const int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }

private:
    int fd_;
};

std::string os_error_text(const int code) { return std::error_code(code, std::generic_category()).message(); }

// The whole file as UTF-8 text, or the reason it cannot be had.
quellin::Expected<std::string, std::string> read_source(const std::filesystem::path& path) {
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) return quellin::unexpected(os_error_text(errno));
    std::string text;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            return quellin::unexpected(os_error_text(errno));
        }
        if (n == 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    if (!quellin::lsp::is_valid_utf8(text)) return quellin::unexpected(std::string("stream did not contain valid UTF-8"));
    return text;
}

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
        const quellin::Expected<std::string, std::string> text = read_source(path);
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
