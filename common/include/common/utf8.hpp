#pragma once
// UTF-8 encoding and decoding, for source text, token payloads and messages, and for text from the
// client or the disk.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quellin {

inline constexpr char32_t kReplacementChar = 0xFFFD;

// True for the bytes that continue a character rather than start one.
constexpr bool is_utf8_continuation(const unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Appends `c` as UTF-8. A value that is not a Unicode scalar value becomes U+FFFD, so the output
// is always valid UTF-8.
inline void append_utf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
        return;
    }
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = kReplacementChar;
    if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    }
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
}

// Appends the characters [first, last) as UTF-8; runs of ASCII, the common case, are copied
// without growing the string one character at a time.
inline void append_utf8(std::string& out, const char32_t* first, const char32_t* last) {
    size_t at = out.size();
    out.resize(at + static_cast<size_t>(last - first));
    for (; first != last && *first < 0x80; ++first) out[at++] = static_cast<char>(*first);
    out.resize(at);
    for (; first != last; ++first) append_utf8(out, *first);
}

// Decodes `text` into Unicode scalar values, dropping every carriage return. Each ill-formed
// sequence (maximal subpart) becomes one U+FFFD, so any byte string decodes.
std::vector<char32_t> decode_without_carriage_returns(std::string_view text);

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

}  // namespace quellin
