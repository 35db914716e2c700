#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "lexer/token.hpp"

namespace quellin::typeck {

struct TypeError {
    std::string message;
    Span span;
};

// Builds a TypeError from a message and a position.
inline TypeError err(std::string_view message, uint32_t line, uint32_t col) {
    return TypeError{std::string(message), Span{line, col}};
}
inline TypeError err(std::string_view message, Span span) { return TypeError{std::string(message), span}; }

}  // namespace quellin::typeck
