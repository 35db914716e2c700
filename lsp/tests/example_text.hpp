#pragma once
// What the message catalogue and the file tests share: the ${...} notation for text that a plain
// source line cannot hold, and the replacement that shows a scratch directory as $DIR.

#include <cctype>
#include <optional>
#include <string>
#include <string_view>

namespace quellin::lsp::testing {

// ${tab} is a tab character, ${xFF} a raw byte, ${3*ab} the text ab three times. Returns nothing for
// a malformed expansion.
inline std::optional<std::string> expand(std::string_view text) {
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        if (!text.substr(i).starts_with("${")) {
            out += text[i++];
            continue;
        }
        const size_t close = text.find('}', i);
        if (close == std::string_view::npos) return std::nullopt;
        const std::string_view inner = text.substr(i + 2, close - i - 2);
        i = close + 1;
        if (inner == "tab") {
            out += '\t';
            continue;
        }
        if (inner.size() == 3 && inner[0] == 'x' && std::isxdigit(static_cast<unsigned char>(inner[1])) &&
            std::isxdigit(static_cast<unsigned char>(inner[2]))) {
            out += static_cast<char>(std::stoi(std::string(inner.substr(1)), nullptr, 16));
            continue;
        }
        const size_t star = inner.find('*');
        if (star == 0 || star == std::string_view::npos || star > 6) return std::nullopt;
        size_t count = 0;
        for (const char c : inner.substr(0, star)) {
            if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
            count = count * 10 + static_cast<size_t>(c - '0');
        }
        for (size_t k = 0; k < count; ++k) out += inner.substr(star + 1);
    }
    return out;
}

// `text` with every occurrence of `from` replaced by `to`.
inline std::string replace_all(std::string text, const std::string& from, std::string_view to) {
    if (from.empty()) return text;
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

}  // namespace quellin::lsp::testing
