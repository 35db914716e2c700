#include "file_text.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <system_error>

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

bool is_continuation(const unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

bool is_valid_utf8(const std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        // The allowed range of the second byte is what excludes overlong forms (E0, F0),
        // surrogates (ED) and code points above U+10FFFF (F4); C0, C1 and F5..FF never lead.
        std::size_t length = 0;
        unsigned char second_min = 0x80;
        unsigned char second_max = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) second_min = 0xA0;
            if (lead == 0xED) second_max = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) second_min = 0x90;
            if (lead == 0xF4) second_max = 0x8F;
        } else {
            return false;
        }
        if (bytes.size() - i < length) return false;
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        if (second < second_min || second > second_max) return false;
        for (std::size_t k = 2; k < length; ++k) {
            if (!is_continuation(static_cast<unsigned char>(bytes[i + k]))) return false;
        }
        i += length;
    }
    return true;
}

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
        text.append(buffer, static_cast<std::size_t>(n));
    }
    if (!is_valid_utf8(text)) return unexpected(std::string("stream did not contain valid UTF-8"));
    return text;
}

}  // namespace quellin
