#include "lexer/error.hpp"

#include "lexer/utf8.hpp"

namespace quellin {

std::string LexError::message() const {
    std::string out;
    switch (kind) {
        case LexErrorKind::TabInIndentation:
            return R"msg(tab character in indentation — QUELLIN indentation is exactly 4 spaces per level, tabs are not allowed)msg";
        case LexErrorKind::TabCharacter:
            return R"msg(tab character — tabs are not allowed in QUELLIN source (use spaces; strings may contain \t))msg";
        case LexErrorKind::BadIndentWidth:
            return "indentation of " + std::to_string(n) +
                   R"msg( space(s) — QUELLIN has exactly one canonical indentation: 4 spaces per level)msg";
        case LexErrorKind::IndentTooDeep:
            return "line indented to level " + std::to_string(level) + " but at most level " +
                   std::to_string(allowed) +
                   R"msg( is allowed here — indent by exactly one level (4 spaces) at a time)msg";
        case LexErrorKind::UnterminatedString:
            return R"msg(unterminated string literal — strings must close with '"' on the same line)msg";
        case LexErrorKind::InvalidEscape:
            out = R"msg(invalid escape sequence '\)msg";
            append_utf8(out, c);
            out += R"msg(' — valid escapes: \n \t \r \\ \" \{ \})msg";
            return out;
        case LexErrorKind::InvalidNumber:
            return "invalid number literal '" + raw + "'";
        case LexErrorKind::UnterminatedInterpolation:
            return R"msg(unterminated interpolation — every '{' in a string starts an interpolation and must close with '}' on the same line (use \{ for a literal brace))msg";
        case LexErrorKind::EmptyInterpolation:
            return R"msg(empty interpolation '{}' — put an expression inside the braces, or write \{\} for literal braces)msg";
        case LexErrorKind::UnmatchedCloseBrace:
            return R"msg(unmatched '}' in string — use \} for a literal closing brace)msg";
        case LexErrorKind::BangOperator:
            return R"msg(unexpected '!' — QUELLIN uses 'not' for logical negation and '!=' for inequality)msg";
        case LexErrorKind::UnexpectedChar:
            out = "unexpected character '";
            append_utf8(out, c);
            out.push_back('\'');
            return out;
    }
    return out;
}

}  // namespace quellin
