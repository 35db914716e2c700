#pragma once

#include <string_view>
#include <vector>

#include "lexer/error.hpp"
#include "lexer/expected.hpp"
#include "lexer/token.hpp"

namespace quellin {

// The complete token sequence of `source` (always ending with Eof), or the first lexical error.
Expected<std::vector<Token>, LexError> tokenize(std::string_view source);

}  // namespace quellin
