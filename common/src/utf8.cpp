#include "common/utf8.hpp"

#include <cstdint>
#include <cstring>

namespace quellin {

std::vector<char32_t> decode_without_carriage_returns(std::string_view text) {
    // Never more characters than bytes; writing through a pointer keeps the ASCII loop tight.
    std::vector<char32_t> out(text.size());
    char32_t* dst = out.data();
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            *dst = lead;
            dst += lead != '\r';
            ++i;
            continue;
        }

        // The allowed range of the first continuation byte excludes overlong forms, surrogates
        // and values above U+10FFFF; later continuation bytes take the full range.
        int length = 0;
        char32_t value = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            value = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            value = lead & 0x0F;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            value = lead & 0x07;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        } else {
            *dst++ = kReplacementChar;
            ++i;
            continue;
        }

        size_t next = i + 1;
        bool complete = true;
        for (int k = 1; k < length; ++k, ++next) {
            if (next >= n) {
                complete = false;
                break;
            }
            const auto byte = static_cast<unsigned char>(text[next]);
            if (byte < low || byte > high) {
                complete = false;
                break;
            }
            low = 0x80;
            high = 0xBF;
            value = (value << 6) | (byte & 0x3F);
        }
        // An incomplete sequence is replaced as a whole and decoding resumes at the byte that
        // broke it, which may start a valid character of its own.
        *dst++ = complete ? value : kReplacementChar;
        i = next;
    }
    out.resize(static_cast<size_t>(dst - out.data()));
    return out;
}

namespace {

// The length of a well-formed sequence starting at `at`, or 0 when the bytes there are malformed.
// The allowed range of the second byte is what excludes overlong forms (E0, F0), surrogates (ED)
// and code points above U+10FFFF (F4); C0, C1 and F5..FF never lead.
std::size_t sequence_length(const std::string_view bytes, const std::size_t at) {
    const auto lead = static_cast<unsigned char>(bytes[at]);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char second_min = 0x80;
    unsigned char second_max = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) second_min = 0xA0;
        if (lead == 0xED) second_max = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) second_min = 0x90;
        if (lead == 0xF4) second_max = 0x8F;
    } else {
        return 0;
    }
    if (bytes.size() - at < length) return 0;
    const auto second = static_cast<unsigned char>(bytes[at + 1]);
    if (second < second_min || second > second_max) return 0;
    for (std::size_t k = 2; k < length; ++k) {
        if (!is_utf8_continuation(static_cast<unsigned char>(bytes[at + k]))) return 0;
    }
    return length;
}

}  // namespace

bool is_valid_utf8(const std::string_view bytes) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        // Source text is mostly ASCII: step over eight such bytes at a time.
        if (bytes.size() - at >= 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, bytes.data() + at, sizeof word);
            if ((word & 0x8080808080808080ULL) == 0) {
                at += 8;
                continue;
            }
        }
        const std::size_t length = sequence_length(bytes, at);
        if (length == 0) return false;
        at += length;
    }
    return true;
}

Scalar decode_scalar(const std::string_view bytes, const std::size_t at) {
    const std::size_t length = sequence_length(bytes, at);
    if (length == 0) return Scalar{kReplacementChar, 1};
    const auto lead = static_cast<unsigned char>(bytes[at]);
    if (length == 1) return Scalar{lead, 1};
    static constexpr unsigned char kLeadMask[] = {0, 0, 0x1F, 0x0F, 0x07};
    char32_t value = lead & kLeadMask[length];
    for (std::size_t k = 1; k < length; ++k) {
        value = (value << 6) | (static_cast<unsigned char>(bytes[at + k]) & 0x3F);
    }
    return Scalar{value, length};
}

std::vector<char32_t> scalars(const std::string_view bytes) {
    std::vector<char32_t> out;
    for (std::size_t at = 0; at < bytes.size();) {
        const Scalar s = decode_scalar(bytes, at);
        out.push_back(s.value);
        at += s.length;
    }
    return out;
}

}  // namespace quellin
