#include "utf8.hpp"

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

}  // namespace quellin
