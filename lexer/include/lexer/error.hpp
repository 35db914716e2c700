#pragma once

#include <cstdint>
#include <string>

#include "common/message.hpp"
#include "lexer/token.hpp"

namespace quellin {

// The lexer's messages, one per kind of error, in the form described in common/message.hpp.
// BadIndentWidth takes the leading spaces; IndentTooDeep the level reached and the level allowed;
// InvalidEscape and UnexpectedChar the character; InvalidNumber the literal as written.
#define QN_LEX_DIAGNOSTICS(X)                                                                                      \
    X(TabInIndentation,                                                                                            \
      "tab character in indentation — QUELLIN indentation is exactly 4 spaces per level, tabs are not allowed")    \
    X(TabCharacter, R"msg(tab character — tabs are not allowed in QUELLIN source (use spaces; strings may contain \t))msg") \
    X(BadIndentWidth,                                                                                              \
      "indentation of {n} space(s) — QUELLIN has exactly one canonical indentation: 4 spaces per level")           \
    X(IndentTooDeep,                                                                                               \
      "line indented to level {level} but at most level {allowed} is allowed here — indent by exactly one level "  \
      "(4 spaces) at a time")                                                                                      \
    X(UnterminatedString, R"msg(unterminated string literal — strings must close with '"' on the same line)msg")  \
    X(InvalidEscape, R"msg(invalid escape sequence '\{c}' — valid escapes: \n \t \r \\ \" \{ \})msg")          \
    X(InvalidNumber, "invalid number literal '{raw}'")                                                             \
    X(UnterminatedInterpolation,                                                                                   \
      R"msg(unterminated interpolation — every '{' in a string starts an interpolation and must close with '}' on the same line (use \{ for a literal brace))msg") \
    X(EmptyInterpolation,                                                                                          \
      R"msg(empty interpolation '{}' — put an expression inside the braces, or write \{\} for literal braces)msg") \
    X(UnmatchedCloseBrace, R"msg(unmatched '}' in string — use \} for a literal closing brace)msg")               \
    X(BangOperator, "unexpected '!' — QUELLIN uses 'not' for logical negation and '!=' for inequality")          \
    X(UnexpectedChar, "unexpected character '{c}'")

enum class LexErrorKind : uint8_t { QN_LEX_DIAGNOSTICS(QN_MESSAGE_KIND_ENUM) };

inline constexpr MessageKind kLexDiagnostics[] = {QN_LEX_DIAGNOSTICS(QN_MESSAGE_KIND_ENTRY)};
inline constexpr MessageRegistry kLexRegistry{"lexer", kLexDiagnostics};

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
