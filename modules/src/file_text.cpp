#include "modules/file_text.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <system_error>

#include "lexer/utf8.hpp"

namespace quellin {

namespace {

std::string os_error_text(const int code) {
    return std::error_code(code, std::generic_category()).message();
}

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

}  // namespace

Expected<std::string, std::string> read_utf8_file(const std::filesystem::path& path) {
    // Non-blocking so that a named pipe in place of a module cannot stall the server; regular files
    // ignore the flag.
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0) return unexpected(os_error_text(errno));

    std::string text;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            return unexpected(os_error_text(errno));
        }
        if (n == 0) break;
        if (text.size() + static_cast<std::size_t>(n) > kMaxSourceFileBytes) {
            return unexpected(std::string("file is larger than 64 MiB"));
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    if (!is_valid_utf8(text)) return unexpected(std::string("stream did not contain valid UTF-8"));
    return text;
}

}  // namespace quellin
