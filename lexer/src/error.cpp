#include "lexer/error.hpp"

#include "common/utf8.hpp"

namespace quellin {

std::string LexError::message() const {
    const std::string_view text = kLexDiagnostics[static_cast<size_t>(kind)].text;
    switch (kind) {
        case LexErrorKind::BadIndentWidth: return fill(text, {std::to_string(n)});
        case LexErrorKind::IndentTooDeep: return fill(text, {std::to_string(level), std::to_string(allowed)});
        case LexErrorKind::InvalidNumber: return fill(text, {raw});
        case LexErrorKind::InvalidEscape:
        case LexErrorKind::UnexpectedChar: {
            std::string shown;
            append_utf8(shown, c);
            return fill(text, {shown});
        }
        default: return fill(text, {});
    }
}

}  // namespace quellin
