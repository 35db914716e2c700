#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "lexer/expected.hpp"

namespace quellin {

// Source files larger than this are refused rather than read into memory.
inline constexpr std::size_t kMaxSourceFileBytes = std::size_t{64} << 20;

// Reads a whole file as UTF-8 text. The error is the system's description of what went wrong
// ("No such file or directory", "Is a directory", ...), or a note that the file is too large or that
// its bytes are not UTF-8.
Expected<std::string, std::string> read_utf8_file(const std::filesystem::path& path);

}  // namespace quellin
