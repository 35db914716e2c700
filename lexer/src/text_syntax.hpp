#pragma once
// The syntax inside text literals, shared by the lexer, which checks a literal, and text_parts, which
// resolves one: escapes, and where an interpolation ends.

#include <cstddef>
#include <optional>
#include <string_view>

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

// Where the interpolation whose code starts at `from` ends: the index of its closing `}`, found past
// nested braces and past text literals in the code with their escapes. Nothing when the line or the
// text ends first. `text` is the characters of a source, or the bytes of its UTF-8: everything that
// steers the search is ASCII.
template <class Char>
std::optional<std::size_t> interpolation_end(std::basic_string_view<Char> text, std::size_t from) {
    const auto line_ends_at = [&](std::size_t at) { return at >= text.size() || text[at] == '\n'; };
    std::size_t depth = 0;
    std::size_t at = from;
    while (!line_ends_at(at)) {
        const Char c = text[at];
        if (c == '}' && depth == 0) return at;
        ++at;
        if (c == '{') ++depth;
        if (c == '}') --depth;
        if (c != '"') continue;
        // A nested literal: its braces and quotes escaped with a backslash do not count.
        while (true) {
            if (line_ends_at(at)) return std::nullopt;
            const Char d = text[at++];
            if (d == '"') break;
            if (d == '\\') {
                if (line_ends_at(at)) return std::nullopt;
                ++at;
            }
        }
    }
    return std::nullopt;
}

}  // namespace quellin
