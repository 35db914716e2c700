#include "lexer/lexer.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <limits>
#include <string>
#include <system_error>
#include <type_traits>
#include <utility>

#include "common/text.hpp"
#include "common/utf8.hpp"
#include "text_syntax.hpp"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace quellin {

namespace {

// What a look past the end of the input sees; no decoded character has this value.
constexpr char32_t kEnd = 0x110000;

// Longer than every keyword and than `false`; longer words are identifiers without a look-up.
constexpr size_t kMaxKeywordBytes = 16;

bool is_not_line_feed(char32_t c) { return c != '\n'; }

// Characters a text literal copies as they are; the others end the literal or start something.
bool is_plain_text_char(char32_t c) { return c != '"' && c != '\\' && c != '{' && c != '}' && c != '\n'; }

LexError error_at(LexErrorKind kind, Span span) {
    LexError error{};
    error.kind = kind;
    error.span = span;
    return error;
}

Unexpected<LexError> fail(LexErrorKind kind, Span span) { return unexpected(error_at(kind, span)); }

Unexpected<LexError> fail_with_char(LexErrorKind kind, Span span, char32_t c) {
    LexError error = error_at(kind, span);
    error.c = c;
    return unexpected(std::move(error));
}

Unexpected<LexError> bad_indent_width(Span span, uint32_t spaces) {
    LexError error = error_at(LexErrorKind::BadIndentWidth, span);
    error.n = spaces;
    return unexpected(std::move(error));
}

Unexpected<LexError> indent_too_deep(Span span, uint32_t allowed, uint32_t level) {
    LexError error = error_at(LexErrorKind::IndentTooDeep, span);
    error.allowed = allowed;
    error.level = level;
    return unexpected(std::move(error));
}

Unexpected<LexError> invalid_number(Span span, std::string raw) {
    LexError error = error_at(LexErrorKind::InvalidNumber, span);
    error.raw = std::move(raw);
    return unexpected(std::move(error));
}

// True when every byte is ASCII and none is a carriage return: then each byte is one character and
// the bytes can be lexed as they are, without decoding them first.
bool is_plain_ascii(std::string_view source) {
    // Two simple passes rather than one combined loop: the first vectorises, the second is memchr.
    unsigned char seen = 0;
    for (const char byte : source) seen |= static_cast<unsigned char>(byte);
    return seen < 0x80 && source.find('\r') == std::string_view::npos;
}

// The token array of a large file spans tens of megabytes, and touching it page by page costs more than
// lexing into it. Asks the kernel to back the whole-huge-page part of such a buffer with huge pages; a
// kernel that cannot, or will not, simply ignores the request.
void advise_huge_pages(void* data, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
    constexpr std::size_t kWorthIt = 8 * kHugePage;
    if (bytes < kWorthIt) return;
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t last = (start + bytes) & ~(kHugePage - 1);
    if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

// Where the characters of a decoded text stand in its UTF-8 form: the byte offset of each character,
// then the length of the whole.
using ByteOffsets = std::vector<size_t>;

// One run over one source text, given as its characters: the bytes of plain ASCII input, or the decoded
// Unicode scalar values of any other. Reads the characters by index, looking at most two characters
// ahead and never stepping back. The texts of tokens are views of the characters' UTF-8 form: the
// plain ASCII input itself, or `utf8`, the decoded characters encoded again, with `offsets` into it.
template <class Char>
class Lexer {
public:
    // Appends the tokens to `out`, which a streaming reader may empty of the tokens it has consumed
    // between calls of run_until.
    Lexer(std::basic_string_view<Char> chars, std::vector<Token>& out, std::string_view utf8 = {},
          const ByteOffsets* offsets = nullptr)
        : chars(chars), utf8(utf8), offsets(offsets), tokens(out) {
        indent_stack.push_back(0);
    }

    // Sizes `tokens` for the whole text at once: typical code averages well over four characters per
    // token, so the array rarely regrows.
    void reserve_for_whole_text() {
        tokens.reserve(chars.size() / 4 + 8);
        advise_huge_pages(tokens.data(), tokens.capacity() * sizeof(Token));
    }

    // Lexes until `tokens` holds at least `want` tokens; true once the text is done and the closing
    // tokens (the last Newline, the open blocks' Dedents, Eof) are out.
    Expected<bool, LexError> run_until(size_t want) {
        while (tokens.size() < want) {
            if (at_line_start && bracket_depth == 0) {
                QN_TRY_ASSIGN(const bool ended, layout());
                if (ended) return finish();
            }
            while (peek() == ' ') bump();
            if (at_end()) return finish();
            QN_TRY(lex_token());
        }
        return false;
    }

private:
    std::basic_string_view<Char> chars;
    std::string_view utf8;
    const ByteOffsets* offsets;
    std::vector<uint32_t> indent_stack;
    std::vector<Token>& tokens;
    // The tag of the last token out, kept apart from `tokens`, which a reader may have emptied. A
    // text without tokens counts as ending with a Newline: it needs none added.
    TokenKind::Tag last_tag = TokenKind::Newline;
    size_t pos = 0;
    uint32_t line = 1;
    uint32_t col = 1;
    size_t bracket_depth = 0;
    bool at_line_start = true;

    bool at_end() const { return pos >= chars.size(); }

    // Plain ASCII input holds only bytes below 0x80, so a `char` converts to the same character.
    char32_t char_at(size_t at) const { return static_cast<char32_t>(chars[at]); }

    char32_t peek(size_t ahead = 0) const {
        const size_t at = pos + ahead;
        return at < chars.size() ? char_at(at) : kEnd;
    }

    Span here() const { return Span{line, col}; }

    void bump() {
        if (at_end()) return;
        if (chars[pos] == '\n') {
            ++line;
            col = 1;
        } else {
            ++col;
        }
        ++pos;
    }

    void push(TokenKind::Tag tag, Span span) { push_kind(tag, span); }

    // A new token of this tag, whose payload the caller fills in: tokens are built in place, since a
    // TokenKind is large and moving one in from a temporary shows in the time of a whole file.
    TokenKind& push_kind(TokenKind::Tag tag, Span span) {
        last_tag = tag;
        Token& token = tokens.emplace_back();
        token.kind.tag = tag;
        token.span = span;
        return token.kind;
    }

    // Steps over `count` characters known to hold no line feed.
    void advance(size_t count) {
        pos += count;
        col += static_cast<uint32_t>(count);
    }

    size_t run_length(bool (*belongs)(char32_t)) const {
        size_t end = pos;
        while (end < chars.size() && belongs(char_at(end))) ++end;
        return end - pos;
    }

    // Characters [begin, end) as UTF-8, for a token's text.
    std::string_view view_of(size_t begin, size_t end) const {
        if constexpr (std::is_same_v<Char, char>) {
            return std::string_view(chars.data() + begin, end - begin);
        } else {
            const size_t first = (*offsets)[begin];
            return utf8.substr(first, (*offsets)[end] - first);
        }
    }

    void skip_to_line_end() { advance(run_length(is_not_line_feed)); }

    // Indentation of a line that starts at `pos`: skips blank and comment lines, then opens or
    // closes blocks. Returns true when the input ends before the next line with content.
    Expected<bool, LexError> layout() {
        while (true) {
            uint32_t spaces = 0;
            while (peek() == ' ') {
                bump();
                ++spaces;
            }
            if (at_end()) return true;
            const char32_t c = peek();
            if (c == '\t') return fail(LexErrorKind::TabInIndentation, here());
            if (c == '\n') {
                bump();
                continue;
            }
            // A comment line may sit at any indentation; a `///` line is code for layout.
            if (c == '/' && peek(1) == '/' && peek(2) != '/') {
                skip_to_line_end();
                bump();
                continue;
            }

            const Span first = here();
            if (spaces % 4 != 0) return bad_indent_width(first, spaces);
            const uint32_t level = spaces / 4;
            const uint32_t top = indent_stack.back();
            if (level == top + 1) {
                indent_stack.push_back(level);
                push(TokenKind::Indent, first);
            } else if (level > top + 1) {
                return indent_too_deep(first, top + 1, level);
            } else {
                // Levels are pushed one at a time, so popping always stops exactly on `level`.
                while (level < indent_stack.back()) {
                    indent_stack.pop_back();
                    push(TokenKind::Dedent, first);
                }
            }
            at_line_start = false;
            return false;
        }
    }

    void single(TokenKind::Tag tag, Span start) {
        bump();
        push(tag, start);
    }

    // The current character alone is `one`; followed by `second`, the pair is `two`.
    void one_or_two(char32_t second, TokenKind::Tag two, TokenKind::Tag one, Span start) {
        bump();
        if (peek() == second) {
            bump();
            push(two, start);
        } else {
            push(one, start);
        }
    }

    Expected<void, LexError> lex_token() {
        const Span start = here();
        const char32_t c = peek();
        switch (c) {
            case '\n':
                bump();
                // Inside brackets a line break is plain whitespace, and so is the next indentation.
                if (bracket_depth == 0) {
                    push(TokenKind::Newline, start);
                    at_line_start = true;
                }
                return {};
            case '/':
                if (peek(1) != '/') {
                    single(TokenKind::Slash, start);
                } else if (peek(2) == '/') {
                    lex_doc_comment(start);
                } else {
                    // The line feed stays, so the commented line still ends with a Newline.
                    skip_to_line_end();
                }
                return {};
            case '"': return lex_text(start);
            case '\t': return fail(LexErrorKind::TabCharacter, start);
            case '!':
                if (peek(1) != '=') return fail(LexErrorKind::BangOperator, start);
                bump();
                single(TokenKind::NotEq, start);
                return {};
            case '-': one_or_two('>', TokenKind::Arrow, TokenKind::Minus, start); return {};
            case '=': one_or_two('=', TokenKind::Eq, TokenKind::Assign, start); return {};
            case '<': one_or_two('=', TokenKind::LtEq, TokenKind::Lt, start); return {};
            case '>': one_or_two('=', TokenKind::GtEq, TokenKind::Gt, start); return {};
            case '+': single(TokenKind::Plus, start); return {};
            case '*': single(TokenKind::Star, start); return {};
            case '%': single(TokenKind::Percent, start); return {};
            case ':': single(TokenKind::Colon, start); return {};
            case ',': single(TokenKind::Comma, start); return {};
            case '.': single(TokenKind::Dot, start); return {};
            case '?': single(TokenKind::Question, start); return {};
            case '(': open_bracket(TokenKind::LParen, start); return {};
            case '[': open_bracket(TokenKind::LBracket, start); return {};
            case '{': open_bracket(TokenKind::LBrace, start); return {};
            case ')': close_bracket(TokenKind::RParen, start); return {};
            case ']': close_bracket(TokenKind::RBracket, start); return {};
            case '}': close_bracket(TokenKind::RBrace, start); return {};
            default: break;
        }
        if (is_ascii_letter(c) || c == '_') {
            lex_word(start);
            return {};
        }
        if (is_ascii_digit(c)) return lex_number(start);
        return fail_with_char(LexErrorKind::UnexpectedChar, start, c);
    }

    void open_bracket(TokenKind::Tag tag, Span start) {
        ++bracket_depth;
        single(tag, start);
    }

    // Extra or mismatched closers are left for the parser to report.
    void close_bracket(TokenKind::Tag tag, Span start) {
        if (bracket_depth > 0) --bracket_depth;
        single(tag, start);
    }

    void lex_doc_comment(Span start) {
        advance(3);
        if (peek() == ' ') advance(1);
        const size_t begin = pos;
        advance(run_length(is_not_line_feed));
        push_kind(TokenKind::DocComment, start).text = view_of(begin, pos);
    }

    void lex_word(Span start) {
        const size_t begin = pos;
        advance(run_length(is_ascii_word_char));
        const size_t length = pos - begin;
        if (length <= kMaxKeywordBytes) {
            // Word characters are ASCII, so the word's bytes are its characters (narrowed when decoded).
            std::array<char, kMaxKeywordBytes> narrow;
            std::string_view view;
            if constexpr (std::is_same_v<Char, char>) {
                view = std::string_view(chars.data() + begin, length);
            } else {
                std::transform(chars.data() + begin, chars.data() + pos, narrow.begin(),
                               [](const Char c) { return static_cast<char>(c); });
                view = std::string_view(narrow.data(), length);
            }
            if (view == "true" || view == "false") {
                TokenKind& kind = push_kind(TokenKind::Bool, start);
                kind.bool_value = view == "true";
                return;
            }
            if (const auto keyword = Keyword::from_ident(view)) {
                push_kind(TokenKind::Keyword, start).keyword = *keyword;
                return;
            }
        }
        push_kind(TokenKind::Ident, start).text = view_of(begin, pos);
    }

    // Digits go to both buffers; underscores, which only separate digits, only to `raw`.
    void lex_digits(std::string& digits, std::string& raw) {
        while (true) {
            const char32_t c = peek();
            if (is_ascii_digit(c)) {
                digits.push_back(static_cast<char>(c));
            } else if (c != '_') {
                return;
            }
            raw.push_back(static_cast<char>(c));
            bump();
        }
    }

    // Letters glued to a number make the whole run one bad literal (this is what rejects `1e5`).
    void take_word_rest(std::string& raw) {
        while (is_ascii_word_char(peek())) {
            raw.push_back(static_cast<char>(peek()));
            bump();
        }
    }

    Expected<void, LexError> lex_number(Span start) {
        std::string digits;
        std::string raw;
        if (peek() == '0' && (peek(1) == 'x' || peek(1) == 'X')) {
            raw.push_back('0');
            raw.push_back(static_cast<char>(peek(1)));
            bump();
            bump();
            while (is_hex_digit(peek()) || peek() == '_') {
                if (peek() != '_') digits.push_back(static_cast<char>(peek()));
                raw.push_back(static_cast<char>(peek()));
                bump();
            }
            if (digits.empty() || is_ascii_word_char(peek())) {
                take_word_rest(raw);
                return invalid_number(start, std::move(raw));
            }
            int64_t value = 0;
            const auto parsed = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
            if (parsed.ec != std::errc{}) return invalid_number(start, std::move(raw));
            push_kind(TokenKind::Int, start).int_value = value;
            return {};
        }

        lex_digits(digits, raw);
        const size_t whole_digits = digits.size();
        // A dot makes a float only before a digit, so `1.abs` stays a method call on 1.
        const bool is_float = peek() == '.' && is_ascii_digit(peek(1));
        if (is_float) {
            digits.push_back('.');
            raw.push_back('.');
            bump();
            lex_digits(digits, raw);
        }
        if (is_ascii_word_char(peek())) {
            take_word_rest(raw);
            return invalid_number(start, std::move(raw));
        }

        if (is_float) {
            double value = 0.0;
            const auto parsed =
                std::from_chars(digits.data(), digits.data() + digits.size(), value, std::chars_format::fixed);
            if (parsed.ec == std::errc::result_out_of_range) {
                // Rounding to nearest takes a literal beyond the range to infinity and one below
                // the smallest subnormal to zero.
                const bool has_whole_part = digits.find_first_not_of('0') < whole_digits;
                value = has_whole_part ? std::numeric_limits<double>::infinity() : 0.0;
            }
            push_kind(TokenKind::Float, start).float_value = value;
            return {};
        }
        int64_t value = 0;
        const auto parsed = std::from_chars(digits.data(), digits.data() + digits.size(), value, 10);
        if (parsed.ec != std::errc{}) return invalid_number(start, std::move(raw));
        push_kind(TokenKind::Int, start).int_value = value;
        return {};
    }

    // Checks a text literal and takes its body as written; text_parts resolves it when the parser
    // reads it.
    Expected<void, LexError> lex_text(Span start) {
        bump();
        const size_t begin = pos;
        while (true) {
            const char32_t c = peek();
            if (c == kEnd || c == '\n') return fail(LexErrorKind::UnterminatedString, start);
            if (c == '"') {
                const size_t end = pos;
                bump();
                push_kind(TokenKind::Text, start).text = view_of(begin, end);
                return {};
            }
            if (c == '\\') {
                bump();
                const char32_t escaped = peek();
                if (escaped == kEnd) return fail(LexErrorKind::UnterminatedString, start);
                // Past the pair: the column after it, or column 1 of the next line after a
                // backslash that ends the line.
                bump();
                if (!escape_value(escaped)) return fail_with_char(LexErrorKind::InvalidEscape, here(), escaped);
                continue;
            }
            if (c == '{') {
                QN_TRY(lex_interpolation());
                continue;
            }
            if (c == '}') return fail(LexErrorKind::UnmatchedCloseBrace, here());
            advance(run_length(is_plain_text_char));
        }
    }

    // Steps from `{` over its matching `}`: the parser lexes the code between them on its own.
    Expected<void, LexError> lex_interpolation() {
        const Span brace = here();
        bump();
        const size_t begin = pos;
        const std::optional<size_t> end = interpolation_end(chars, begin);
        if (!end) return fail(LexErrorKind::UnterminatedInterpolation, brace);
        // The code holds no line feed, so stepping over it only moves along the line.
        advance(*end + 1 - begin);
        if (std::all_of(chars.data() + begin, chars.data() + *end,
                        [](const Char c) { return is_unicode_whitespace(static_cast<char32_t>(c)); })) {
            return fail(LexErrorKind::EmptyInterpolation, brace);
        }
        return {};
    }

    // Closes the last line and every open block at the position just past the last character.
    bool finish() {
        const Span end = here();
        if (last_tag != TokenKind::Newline) push(TokenKind::Newline, end);
        while (indent_stack.size() > 1) {
            indent_stack.pop_back();
            push(TokenKind::Dedent, end);
        }
        push(TokenKind::Eof, end);
        return true;
    }
};

constexpr size_t kAll = std::numeric_limits<size_t>::max();

// A lexer over its own text, behind the interface the token stream calls. One that will lex its text
// at once sizes the stream's array for all of it.
template <class Char>
class LexingSource final : public TokenStream::Source {
public:
    LexingSource(std::basic_string_view<Char> chars, std::vector<Token>& out, bool at_once,
                 std::string_view utf8 = {}, const ByteOffsets* offsets = nullptr)
        : lexer_(chars, out, utf8, offsets) {
        if (at_once) lexer_.reserve_for_whole_text();
    }

    Expected<bool, LexError> fill(size_t want) override { return lexer_.run_until(want); }

private:
    Lexer<Char> lexer_;
};

// A text beyond plain ASCII as its decoded characters, and those characters encoded again as UTF-8,
// the text its tokens' texts are views of. The encoding differs from the source where decoding dropped
// a carriage return or replaced a malformed sequence.
struct DecodedText {
    std::vector<char32_t> chars;
    std::string utf8;
    ByteOffsets offsets;

    explicit DecodedText(std::string_view source) : chars(decode_without_carriage_returns(source)) {
        offsets.reserve(chars.size() + 1);
        utf8.reserve(chars.size());
        for (const char32_t c : chars) {
            offsets.push_back(utf8.size());
            append_utf8(utf8, c);
        }
        offsets.push_back(utf8.size());
    }
};

// Text beyond plain ASCII is lexed from its decoded characters.
class DecodedSource final : public TokenStream::Source {
public:
    DecodedSource(std::string_view source, std::vector<Token>& out, bool at_once)
        : text_(std::make_shared<const DecodedText>(source)),
          lexing_(std::u32string_view(text_->chars.data(), text_->chars.size()), out, at_once, text_->utf8,
                  &text_->offsets) {}

    Expected<bool, LexError> fill(size_t want) override { return lexing_.fill(want); }
    std::shared_ptr<const void> text() const override { return text_; }

private:
    std::shared_ptr<const DecodedText> text_;
    LexingSource<char32_t> lexing_;
};

// The lexer for `source`, writing into `out`: plain ASCII input is lexed from its bytes, any other
// from its decoded characters.
std::unique_ptr<TokenStream::Source> lexer_for(std::string_view source, std::vector<Token>& out, bool at_once) {
    if (is_plain_ascii(source)) return std::make_unique<LexingSource<char>>(source, out, at_once);
    return std::make_unique<DecodedSource>(source, out, at_once);
}

}  // namespace

Expected<TokenList, LexError> tokenize(std::string_view source) {
    TokenList list;
    const auto lexer = lexer_for(source, list.tokens, true);
    QN_TRY(lexer->fill(kAll));
    list.text = lexer->text();
    return list;
}

// ---- TokenStream ----

TokenStream::Source::~Source() = default;

TokenStream::TokenStream(std::string_view source) {
    // Lexing everything at once into one array is the faster way while the array stays small enough
    // for the allocator to reuse its memory from one text to the next; see kLexAsReadFrom.
    const bool at_once = source.size() < kLexAsReadFrom;
    source_ = lexer_for(source, window_, at_once);
    text_ = source_->text();
    fill_to(at_once ? kAll : kBatch);
}

TokenStream::TokenStream(TokenList tokens) : window_(std::move(tokens.tokens)), text_(std::move(tokens.text)) {
    if (window_.empty() || window_.back().kind.tag != TokenKind::Eof) window_.emplace_back().kind.tag = TokenKind::Eof;
}

TokenStream::~TokenStream() = default;

void TokenStream::refill() {
    // The consumed tokens go once they make up most of the window, so it stays a few batches long
    // and its storage is reused from then on.
    if (pos_ >= kKeepConsumed) {
        window_.erase(window_.begin(), window_.begin() + static_cast<std::ptrdiff_t>(pos_));
        pos_ = 0;
    }
    fill_to(pos_ + kBatch);
}

void TokenStream::fill_to(std::size_t want) {
    const auto filled = source_->fill(want);
    if (!filled) {
        // The reader meets an Eof where lexing stopped; finish() reports the error.
        error_ = filled.error();
        window_.emplace_back().kind.tag = TokenKind::Eof;
        window_.back().span = error_->span;
        source_.reset();
    } else if (*filled) {
        source_.reset();
    }
}

std::optional<LexError> TokenStream::finish() {
    // What the reader left is lexed only for its errors; its tokens are dropped as they come.
    while (source_) {
        window_.clear();
        pos_ = 0;
        fill_to(kBatch);
    }
    // The window ends with Eof, where lexing ended or failed: the stream now stands there.
    pos_ = window_.size() - 1;
    return error_;
}

}  // namespace quellin
