#pragma once
// Character classes and small text helpers shared by every stage: the lexer's and the server's idea of
// a word, of whitespace and of a hexadecimal digit are one and the same.

#include <concepts>
#include <string>
#include <string_view>
#include <vector>

namespace quellin {

constexpr bool is_ascii_digit(const char32_t c) { return c >= '0' && c <= '9'; }

constexpr bool is_ascii_letter(const char32_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The characters of a name or keyword: ASCII letters, digits and '_'.
constexpr bool is_ascii_word_char(const char32_t c) { return is_ascii_letter(c) || is_ascii_digit(c) || c == '_'; }

// The value of the hexadecimal digit `c` (0-9, a-f or A-F), or -1 when `c` is not one.
constexpr int hex_digit_value(const char32_t c) {
    if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
    return -1;
}

constexpr bool is_hex_digit(const char32_t c) { return hex_digit_value(c) >= 0; }

// True for the characters with the Unicode White_Space property.
constexpr bool is_unicode_whitespace(const char32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

// `text` (UTF-8) without its trailing, or its leading and trailing, Unicode whitespace. Malformed bytes
// are not whitespace and stay.
std::string_view trim_end(std::string_view text);
std::string_view trim(std::string_view text);

// The items one after another, `separator` between each two.
std::string join(const std::vector<std::string>& items, std::string_view separator = ", ");

// The same for items that are not text: each is written as `render(item)`.
template <class Items, class Render>
    requires std::invocable<Render&, const typename Items::value_type&>
std::string join(const Items& items, Render render, const std::string_view separator = ", ") {
    std::string out;
    bool first = true;
    for (const auto& item : items) {
        if (!first) out += separator;
        first = false;
        out += render(item);
    }
    return out;
}

}  // namespace quellin
