#pragma once

#include <cstdint>
#include <string>

#include "lexer/token.hpp"

namespace quellin {

enum class LexErrorKind : uint8_t {
    TabInIndentation,
    TabCharacter,
    BadIndentWidth,
    IndentTooDeep,
    UnterminatedString,
    InvalidEscape,
    InvalidNumber,
    UnterminatedInterpolation,
    EmptyInterpolation,
    UnmatchedCloseBrace,
    BangOperator,
    UnexpectedChar,
};

struct LexError {
    LexErrorKind kind;
    Span span;
    uint32_t n = 0;        // BadIndentWidth: leading spaces
    uint32_t allowed = 0;  // IndentTooDeep
    uint32_t level = 0;    // IndentTooDeep
    char32_t c = 0;        // InvalidEscape, UnexpectedChar
    std::string raw;       // InvalidNumber: the literal as written

    // The kind's message, with its payload filled in.
    std::string message() const;
};

}  // namespace quellin
