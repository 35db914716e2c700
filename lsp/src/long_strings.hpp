#pragma once
// Taking the long string literals out of a JSON text so that they are decoded in bulk rather than by
// the JSON parser, which handles a string one character at a time.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quellin::lsp {

struct LiftedString {
    std::size_t ordinal;  // among all the string literals of the text, keys included, in text order
    std::string value;    // the decoded content
};

struct LiftedBody {
    std::string text;                   // the original text with each lifted literal emptied to ""
    std::vector<LiftedString> strings;  // in text order
};

// Lifts every string literal of `body` whose raw content is at least `min_length` bytes and decodes
// as the JSON parser would decode it. A literal the parser might reject stays in place, so the parser
// still meets it. Nothing when no literal was lifted.
std::optional<LiftedBody> lift_long_strings(std::string_view body, std::size_t min_length);

}  // namespace quellin::lsp
