#include <gtest/gtest.h>

#include <string>

#include "lexer/utf8.hpp"

namespace quellin {
namespace {

// Each sequence is tried alone and at every offset inside ASCII text, so that it starts, straddles and
// ends each eight-byte step of the ASCII fast path.
TEST(IsValidUtf8, JudgesEverySequenceWhereverItSits) {
    const struct {
        const char* bytes;
        bool valid;
    } cases[] = {
        {"", true},
        {"\xC3\xA9", true},              // é
        {"\xE2\x80\x94", true},          // em dash
        {"\xF0\x9F\x98\x80", true},      // an emoji, four bytes
        {"\xF4\x8F\xBF\xBF", true},      // U+10FFFF, the last scalar value
        {"\x80", false},                 // a lone continuation byte
        {"\xC3", false},                 // a lead byte without its continuation
        {"\xC0\xAF", false},             // an overlong '/'
        {"\xE0\x80\xAF", false},         // an overlong '/' in three bytes
        {"\xED\xA0\x80", false},         // a surrogate
        {"\xF4\x90\x80\x80", false},     // past U+10FFFF
        {"\xF5\x80\x80\x80", false},     // a byte that never leads
        {"\xE2\x80", false},             // a sequence cut short
        {"\xFF", false},
    };
    for (const auto& c : cases) {
        const std::string sequence = c.bytes;
        EXPECT_EQ(is_valid_utf8(sequence), c.valid) << sequence;
        for (std::size_t before = 0; before <= 17; ++before) {
            for (const std::size_t after : {std::size_t{0}, std::size_t{1}, std::size_t{9}}) {
                const std::string text = std::string(before, 'a') + sequence + std::string(after, 'b');
                EXPECT_EQ(is_valid_utf8(text), c.valid) << "'" << sequence << "' after " << before << " bytes";
            }
        }
    }
}

}  // namespace
}  // namespace quellin
