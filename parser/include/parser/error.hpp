#pragma once

#include <string>

#include "lexer/error.hpp"
#include "lexer/token.hpp"

namespace quellin {

struct ParseError {
    std::string message;
    Span span;

    // A lexer error reaches the user unchanged: its kind's message at its position.
    static ParseError from_lex(const LexError& e) { return ParseError{e.message(), e.span}; }
};

}  // namespace quellin
