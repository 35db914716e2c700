#pragma once

#include <string_view>

#include "ast/ast.hpp"
#include "lexer/expected.hpp"
#include "parser/error.hpp"

namespace quellin {

// Lexes and parses one source file into a Program, or returns the first error.
Expected<ast::Program, ParseError> parse(std::string_view source);

}  // namespace quellin
