#include "modules/file_text.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <optional>
#include <system_error>
#include <utility>

#include "common/utf8.hpp"
#include "modules/diagnostics.hpp"

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

// Only regular files are read: a pipe or device (/dev/stdin, /proc/self/fd/0) would hand over bytes
// that belong to someone else, such as the server's own protocol stream, and merely opening some
// devices has effects.
std::optional<std::string> not_readable(const struct stat& status) {
    if (S_ISDIR(status.st_mode)) return os_error_text(EISDIR);
    if (!S_ISREG(status.st_mode)) return module_message(ModuleDiag::NotARegularFile);
    return std::nullopt;
}

}  // namespace

Expected<std::string, std::string> read_utf8_file(const std::filesystem::path& path) {
    QN_TRY_ASSIGN(std::string bytes, read_source_bytes(path));
    return as_utf8_text(std::move(bytes));
}

Expected<std::string, std::string> as_utf8_text(std::string bytes) {
    if (!is_valid_utf8(bytes)) return unexpected(module_message(ModuleDiag::NotUtf8));
    return bytes;
}

Expected<std::string, std::string> read_source_bytes(const std::filesystem::path& path) {
    // The system would read the name only up to the NUL, which names some other file.
    if (path.native().find('\0') != std::string::npos) return unexpected(module_message(ModuleDiag::NulInFileName));
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return unexpected(os_error_text(errno));
    if (auto problem = not_readable(status)) return unexpected(std::move(*problem));
    // Non-blocking and checked again once open, in case a pipe took the file's place meanwhile.
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (file.get() < 0) return unexpected(os_error_text(errno));
    if (::fstat(file.get(), &status) != 0) return unexpected(os_error_text(errno));
    if (auto problem = not_readable(status)) return unexpected(std::move(*problem));

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
            return unexpected(module_message(ModuleDiag::FileTooLarge));
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

}  // namespace quellin
