#pragma once
// Small UTF-8 helpers for text that arrives from the client or the disk.

#include <cstddef>
#include <string_view>
#include <vector>

namespace quellin::lsp {

// True when `bytes` is well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool is_valid_utf8(std::string_view bytes);

// One decoded character and the number of bytes it took.
struct Scalar {
    char32_t value;
    std::size_t length;
};

// Decodes the character starting at `bytes[at]` (which must exist). A malformed sequence yields
// U+FFFD for its first byte alone, so every byte of any input is consumed exactly once.
Scalar decode_scalar(std::string_view bytes, std::size_t at);

// The characters of `bytes`, malformed bytes each counting as one U+FFFD.
std::vector<char32_t> scalars(std::string_view bytes);

// True for the characters with the Unicode White_Space property.
bool is_unicode_whitespace(char32_t c);

// `text` without its trailing (or leading and trailing) Unicode whitespace.
std::string_view trim_end(std::string_view text);
std::string_view trim(std::string_view text);

}  // namespace quellin::lsp
