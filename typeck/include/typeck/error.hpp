#pragma once

#include <string>

#include "lexer/token.hpp"

namespace quellin::typeck {

// A type error: its message, made from one of the kinds in typeck/diagnostics.hpp, and its position.
struct TypeError {
    std::string message;
    Span span;
};

}  // namespace quellin::typeck
