#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "lexer/expected.hpp"

namespace quellin {

// Source texts larger than this are refused rather than checked. Tokens and syntax trees take up to
// about 170 bytes per byte of dense source ("[1,1,1,...]"), so one file of this size may need over a
// gigabyte while it is checked; real source files stay far below it.
inline constexpr std::size_t kMaxSourceFileBytes = std::size_t{8} << 20;
static_assert(kMaxSourceFileBytes == std::size_t{8} << 20, "the messages name the bound");

// Reads a whole file as UTF-8 text. The error is the system's description of what went wrong
// ("No such file or directory", "Is a directory", ...), or a note that the path is not a regular
// file, that the file is too large or that its bytes are not UTF-8.
Expected<std::string, std::string> read_utf8_file(const std::filesystem::path& path);

// The two halves of read_utf8_file, for a reader that knows some bytes to be text already: the
// file's bytes, with every error but the last; and the bytes as text, or that last error.
Expected<std::string, std::string> read_source_bytes(const std::filesystem::path& path);
Expected<std::string, std::string> as_utf8_text(std::string bytes);

}  // namespace quellin
