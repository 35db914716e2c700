#include "lexer/token.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <system_error>
#include <type_traits>

namespace quellin {

namespace {

constexpr size_t kKeywordCount = Keyword::count;
constexpr std::array<std::string_view, kKeywordCount> kKeywordTexts = {
#define QN_KEYWORD_TEXT(name, text) text,
    QN_KEYWORDS(QN_KEYWORD_TEXT)
#undef QN_KEYWORD_TEXT
};

constexpr size_t kMinKeywordLength = 2;
constexpr size_t kMaxKeywordLength = 8;

static_assert(std::all_of(kKeywordTexts.begin(), kKeywordTexts.end(), [](std::string_view word) {
    return word.size() >= kMinKeywordLength && word.size() <= kMaxKeywordLength;
}));

// Two or four bytes read as a little-endian number: one load on little-endian machines.
constexpr uint64_t little_endian(const char* bytes, size_t count) {
    if (!std::is_constant_evaluated() && std::endian::native == std::endian::little) {
        if (count == 4) {
            uint32_t value;
            std::memcpy(&value, bytes, sizeof value);
            return value;
        }
        uint16_t value;
        std::memcpy(&value, bytes, sizeof value);
        return value;
    }
    uint64_t value = 0;
    for (size_t i = 0; i < count; ++i) value |= uint64_t{static_cast<unsigned char>(bytes[i])} << (8 * i);
    return value;
}

// A word of 2 to 8 characters as one integer: its first and its last four characters (two for
// shorter words), which overlap but together cover every character, so words of one length get
// distinct keys.
constexpr uint64_t word_key(std::string_view word) {
    const size_t half = word.size() >= 4 ? 4 : 2;
    return little_endian(word.data(), half) | little_endian(word.data() + word.size() - half, half) << (8 * half);
}

// A table with at most one keyword per slot: a word can only be the keyword in its own slot.
constexpr size_t kSlotBits = 7;
struct KeywordSlot {
    uint64_t key = 0;
    uint8_t length = 0;  // 0: empty slot
    uint8_t id = 0;
};
using KeywordSlots = std::array<KeywordSlot, size_t{1} << kSlotBits>;

constexpr size_t slot_of(uint64_t key, size_t length, uint64_t multiplier) {
    return static_cast<size_t>(((key ^ length) * multiplier) >> (64 - kSlotBits));
}

// The keywords placed by `multiplier`, or nothing when two of them share a slot.
constexpr std::optional<KeywordSlots> place_keywords(uint64_t multiplier) {
    KeywordSlots slots{};
    for (size_t i = 0; i < kKeywordCount; ++i) {
        const std::string_view word = kKeywordTexts[i];
        KeywordSlot& slot = slots[slot_of(word_key(word), word.size(), multiplier)];
        if (slot.length != 0) return std::nullopt;
        slot = KeywordSlot{word_key(word), static_cast<uint8_t>(word.size()), static_cast<uint8_t>(i)};
    }
    return slots;
}

// The first odd multiplier of a fixed sequence that gives every keyword a slot of its own.
constexpr uint64_t kSlotMultiplier = [] {
    uint64_t candidate = 0x9E3779B97F4A7C15u;
    while (!place_keywords(candidate)) candidate = (candidate * 6364136223846793005u + 1442695040888963407u) | 1u;
    return candidate;
}();

constexpr KeywordSlots kKeywordSlots = *place_keywords(kSlotMultiplier);

constexpr std::array<std::string_view, TokenKind::Eof + 1> kPunctDisplay = [] {
    std::array<std::string_view, TokenKind::Eof + 1> display{};
#define QN_PUNCT_DISPLAY(name, text) display[TokenKind::name] = text;
    QN_PUNCT_TOKENS(QN_PUNCT_DISPLAY)
#undef QN_PUNCT_DISPLAY
    return display;
}();

void append_hex(std::string& out, unsigned value) {
    char buf[8];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, value, 16).ptr);
}

void append_escape(std::string& out, unsigned code) {
    out += "\\u{";
    append_hex(out, code);
    out.push_back('}');
}

// Appends `text` double-quoted, escaping what would otherwise be ambiguous or invisible: the quote,
// the backslash and every control character, those of C0 (below U+0020), DEL (U+007F) and those of C1
// (U+0080 to U+009F, the two bytes 0xC2 0x80 to 0xC2 0x9F in UTF-8), which terminals may act upon.
void append_quoted(std::string& out, std::string_view text) {
    out.push_back('"');
    for (size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        const auto byte = static_cast<unsigned char>(ch);
        switch (ch) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            case '\r': out += "\\r"; break;
            default:
                if (byte < 0x20 || byte == 0x7F) {
                    append_escape(out, byte);
                } else if (byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                           static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
                    append_escape(out, static_cast<unsigned char>(text[++i]));
                } else {
                    out.push_back(ch);
                }
        }
    }
    out.push_back('"');
}

// The shortest digits that read back as `value`, written out in plain positional notation.
void append_float(std::string& out, double value) {
    if (std::isnan(value)) {
        out += "NaN";
        return;
    }
    if (std::isinf(value)) {
        out += value < 0 ? "-inf" : "inf";
        return;
    }
    // Shortest scientific form, e.g. "-1.2345e-07": sign, digits around one point, exponent.
    char buf[64];
    const char* end = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific).ptr;
    const std::string_view sci(buf, static_cast<size_t>(end - buf));
    const size_t e_at = sci.find('e');
    std::string_view mantissa = sci.substr(0, e_at);
    if (!mantissa.empty() && mantissa.front() == '-') {
        out.push_back('-');
        mantissa.remove_prefix(1);
    }
    std::string digits;
    digits.reserve(mantissa.size());
    for (const char ch : mantissa) {
        if (ch != '.') digits.push_back(ch);
    }
    // The exponent always carries its sign: "e+02", "e-07".
    const std::string_view exp_text = sci.substr(e_at + 1);
    long exponent = 0;
    for (const char ch : exp_text.substr(1)) exponent = exponent * 10 + (ch - '0');
    if (exp_text.front() == '-') exponent = -exponent;

    // The decimal point sits `point` digits into `digits` (it may fall before or after them).
    const long point = exponent + 1;
    const long count = static_cast<long>(digits.size());
    if (point <= 0) {
        out += "0.";
        out.append(static_cast<size_t>(-point), '0');
        out += digits;
    } else if (point >= count) {
        out += digits;
        out.append(static_cast<size_t>(point - count), '0');
    } else {
        out.append(digits, 0, static_cast<size_t>(point));
        out.push_back('.');
        out.append(digits, static_cast<size_t>(point));
    }
}

}  // namespace

std::optional<Keyword::Value> Keyword::from_ident(std::string_view ident) {
    const size_t length = ident.size();
    if (length < kMinKeywordLength || length > kMaxKeywordLength) return std::nullopt;
    const uint64_t key = word_key(ident);
    const KeywordSlot& slot = kKeywordSlots[slot_of(key, length, kSlotMultiplier)];
    if (slot.key != key || slot.length != length) return std::nullopt;
    return static_cast<Keyword::Value>(slot.id);
}

std::string_view Keyword::text(Keyword::Value kw) {
    return kKeywordTexts[kw];
}

TokenKind TokenKind::make_int(int64_t v) {
    TokenKind kind(Int);
    kind.int_value = v;
    return kind;
}

TokenKind TokenKind::make_float(double v) {
    TokenKind kind(Float);
    kind.float_value = v;
    return kind;
}

TokenKind TokenKind::make_bool(bool v) {
    TokenKind kind(Bool);
    kind.bool_value = v;
    return kind;
}

TokenKind TokenKind::make_ident(std::string_view name) {
    TokenKind kind(Ident);
    kind.text = name;
    return kind;
}

TokenKind TokenKind::make_keyword(quellin::Keyword::Value kw) {
    TokenKind kind(Keyword);
    kind.keyword = kw;
    return kind;
}

TokenKind TokenKind::make_doc(std::string_view text) {
    TokenKind kind(DocComment);
    kind.text = text;
    return kind;
}

TokenKind TokenKind::make_text(std::string_view body) {
    TokenKind kind(Text);
    kind.text = body;
    return kind;
}

bool operator==(const TokenKind& a, const TokenKind& b) {
    if (a.tag != b.tag) return false;
    switch (a.tag) {
        case TokenKind::Int: return a.int_value == b.int_value;
        case TokenKind::Float: return a.float_value == b.float_value;
        case TokenKind::Bool: return a.bool_value == b.bool_value;
        case TokenKind::Text:
        case TokenKind::Ident:
        case TokenKind::DocComment: return a.text == b.text;
        case TokenKind::Keyword: return a.keyword == b.keyword;
        default: return true;
    }
}

std::string TokenKind::display() const {
    std::string out;
    switch (tag) {
        case Int:
            out = "Int(" + std::to_string(int_value) + ")";
            break;
        case Float:
            out = "Float(";
            append_float(out, float_value);
            out.push_back(')');
            break;
        case Text: {
            out = "Text(";
            bool first = true;
            for (const StringPart& part : text_parts(text, Span{})) {
                if (!first) out += " + ";
                first = false;
                if (const auto* lit = std::get_if<StringPart::Lit>(&part.v)) {
                    append_quoted(out, lit->text);
                } else {
                    out.push_back('{');
                    out += std::get<StringPart::Interp>(part.v).source;
                    out.push_back('}');
                }
            }
            out.push_back(')');
            break;
        }
        case Bool:
            out = bool_value ? "Bool(true)" : "Bool(false)";
            break;
        case Ident:
            out = "Ident(";
            out += text;
            out.push_back(')');
            break;
        case Keyword:
            out = "Keyword(";
            out += quellin::Keyword::text(keyword);
            out.push_back(')');
            break;
        case DocComment:
            out = "DocComment(";
            append_quoted(out, text);
            out.push_back(')');
            break;
        default:
            out = kPunctDisplay[tag];
            break;
    }
    return out;
}

}  // namespace quellin
