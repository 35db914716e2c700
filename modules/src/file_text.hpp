#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "lexer/expected.hpp"

namespace quellin {

// True when `bytes` is well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool is_valid_utf8(std::string_view bytes);

// Reads a whole file as UTF-8 text. The error is the system's description of what went wrong
// ("No such file or directory", "Is a directory", ...), or a note that the bytes are not UTF-8.
Expected<std::string, std::string> read_utf8_file(const std::filesystem::path& path);

}  // namespace quellin
