#include "common/text.hpp"

#include "common/utf8.hpp"

namespace quellin {

std::string_view trim_end(const std::string_view text) {
    std::size_t end = 0;
    for (std::size_t at = 0; at < text.size();) {
        const Scalar s = decode_scalar(text, at);
        at += s.length;
        if (!is_unicode_whitespace(s.value)) end = at;
    }
    return text.substr(0, end);
}

std::string_view trim(const std::string_view text) {
    std::size_t start = 0;
    while (start < text.size()) {
        const Scalar s = decode_scalar(text, start);
        if (!is_unicode_whitespace(s.value)) break;
        start += s.length;
    }
    return trim_end(text.substr(start));
}

std::string join(const std::vector<std::string>& items, const std::string_view separator) {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) out += separator;
        out += items[i];
    }
    return out;
}

}  // namespace quellin
