#pragma once
// Escapes in text literals, shared by the lexer, which accepts them, and text_parts, which resolves them.

#include <optional>

namespace quellin {

// The character that `\c` stands for in a text literal, or nothing when `\c` is not an escape.
inline std::optional<char> escape_value(char32_t c) {
    switch (c) {
        case '"': return '"';
        case '\\': return '\\';
        case 'n': return '\n';
        case 'r': return '\r';
        case 't': return '\t';
        case '{': return '{';
        case '}': return '}';
        default: return std::nullopt;
    }
}

}  // namespace quellin
