#pragma once
// The lexer tests' view of a token sequence: one readable line to compare against.

#include <string>
#include <string_view>

#include "lexer/lexer.hpp"

namespace quellin::testing {

// Tokens as "display@line:col", joined by ", ", or the error as "error: message @line:col".
inline std::string lex(std::string_view source) {
    const auto result = tokenize(source);
    if (!result) {
        const LexError& e = result.error();
        return "error: " + e.message() + " @" + std::to_string(e.span.line) + ":" + std::to_string(e.span.col);
    }
    std::string out;
    for (const Token& token : *result) {
        if (!out.empty()) out += ", ";
        out += token.kind.display() + "@" + std::to_string(token.span.line) + ":" + std::to_string(token.span.col);
    }
    return out;
}

}  // namespace quellin::testing
