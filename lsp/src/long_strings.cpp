#include "long_strings.hpp"

#include <algorithm>
#include <cstring>
#include <utility>

#include "common/text.hpp"
#include "common/utf8.hpp"

namespace quellin::lsp {

namespace {

constexpr std::size_t kNotFound = std::string_view::npos;

std::size_t find_byte(const std::string_view text, const char byte, const std::size_t from) {
    if (from >= text.size()) return kNotFound;
    const void* const hit = std::memchr(text.data() + from, byte, text.size() - from);
    return hit == nullptr ? kNotFound : static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
}

// The quote closing the literal whose content starts at `content`: the first quote preceded by an
// even run of backslashes. The runs of different quotes never overlap, so the scan stays linear.
std::size_t closing_quote(const std::string_view text, const std::size_t content) {
    for (std::size_t from = content;;) {
        const std::size_t quote = find_byte(text, '"', from);
        if (quote == kNotFound) return kNotFound;
        std::size_t backslashes = 0;
        while (quote - backslashes > content && text[quote - backslashes - 1] == '\\') ++backslashes;
        if (backslashes % 2 == 0) return quote;
        from = quote + 1;
    }
}

// The smallest byte rather than an early exit: a plain reduction the compiler checks many bytes at a time.
bool has_control_byte(const std::string_view raw) {
    unsigned char smallest = 0xFF;
    for (const char c : raw) smallest = std::min(smallest, static_cast<unsigned char>(c));
    return smallest < 0x20;
}

std::optional<char32_t> hex4(const std::string_view raw, const std::size_t at) {
    if (raw.size() < 4 || at > raw.size() - 4) return std::nullopt;
    char32_t value = 0;
    for (std::size_t k = at; k < at + 4; ++k) {
        const int digit = hex_digit_value(static_cast<unsigned char>(raw[k]));
        if (digit < 0) return std::nullopt;
        value = value * 16 + static_cast<char32_t>(digit);
    }
    return value;
}

bool is_high_surrogate(const char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool is_low_surrogate(const char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The character of the `\u` escape whose digits start at `at`, and where the escape ends. A surrogate
// counts only as the first half of a pair written as two escapes.
std::optional<std::pair<char32_t, std::size_t>> unicode_escape(const std::string_view raw, const std::size_t at) {
    const std::optional<char32_t> first = hex4(raw, at);
    if (!first || is_low_surrogate(*first)) return std::nullopt;
    if (!is_high_surrogate(*first)) return std::pair{*first, at + 4};
    if (raw.substr(at + 4, 2) != "\\u") return std::nullopt;
    const std::optional<char32_t> second = hex4(raw, at + 6);
    if (!second || !is_low_surrogate(*second)) return std::nullopt;
    return std::pair{0x10000 + ((*first - 0xD800) << 10) + (*second - 0xDC00), at + 10};
}

// The content of a literal decoded, or nothing when it holds anything the parser could reject. The
// escapes are ASCII, so checking the raw bytes covers the UTF-8 of the result. A document has an escape
// every few dozen bytes (each line ends in one), so the result is written through a pointer into a
// buffer of the raw size, which no escape can outgrow, rather than appended to piece by piece.
std::optional<std::string> decode(const std::string_view raw) {
    if (has_control_byte(raw) || !is_valid_utf8(raw)) return std::nullopt;
    std::string out(raw.size(), '\0');
    char* written = out.data();
    const auto put = [&written](const std::string_view bytes) {
        std::memcpy(written, bytes.data(), bytes.size());
        written += bytes.size();
    };
    std::size_t at = 0;
    for (;;) {
        const std::size_t escape = find_byte(raw, '\\', at);
        if (escape == kNotFound) {
            put(raw.substr(at));
            out.resize(static_cast<std::size_t>(written - out.data()));
            return out;
        }
        put(raw.substr(at, escape - at));
        if (escape + 1 == raw.size()) return std::nullopt;
        at = escape + 2;
        switch (raw[escape + 1]) {
            case '"': *written++ = '"'; break;
            case '\\': *written++ = '\\'; break;
            case '/': *written++ = '/'; break;
            case 'b': *written++ = '\b'; break;
            case 'f': *written++ = '\f'; break;
            case 'n': *written++ = '\n'; break;
            case 'r': *written++ = '\r'; break;
            case 't': *written++ = '\t'; break;
            case 'u': {
                const auto decoded = unicode_escape(raw, at);
                if (!decoded) return std::nullopt;
                // A character takes at most four bytes of UTF-8, and its escape at least six.
                std::string character;
                append_utf8(character, decoded->first);
                put(character);
                at = decoded->second;
                break;
            }
            default: return std::nullopt;
        }
    }
}

}  // namespace

std::optional<LiftedBody> lift_long_strings(const std::string_view body, const std::size_t min_length) {
    std::optional<LiftedBody> lifted;
    std::size_t copied = 0;  // the bytes of `body` before this are already in the lifted text
    std::size_t ordinal = 0;
    // Outside a literal every quote opens one; an unterminated literal ends the scan, leaving the rest
    // to the parser.
    for (std::size_t open = find_byte(body, '"', 0); open != kNotFound; open = find_byte(body, '"', open)) {
        const std::size_t close = closing_quote(body, open + 1);
        if (close == kNotFound) break;
        const std::string_view raw = body.substr(open + 1, close - open - 1);
        if (raw.size() >= min_length) {
            if (std::optional<std::string> value = decode(raw)) {
                if (!lifted) lifted.emplace();
                lifted->text.append(body.substr(copied, open + 1 - copied));
                copied = close;
                lifted->strings.push_back(LiftedString{ordinal, std::move(*value)});
            }
        }
        ++ordinal;
        open = close + 1;
    }
    if (lifted) lifted->text.append(body.substr(copied));
    return lifted;
}

}  // namespace quellin::lsp
