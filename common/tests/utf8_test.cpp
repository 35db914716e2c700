#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "common/utf8.hpp"

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

// Each malformed sequence stands for one U+FFFD per byte when decoded a character at a time, and for one
// per maximal subpart when decoded whole; carriage returns go only from the whole decoding.
TEST(Decode, ReadsEachCharacterAndReplacesWhatIsMalformed) {
    const struct {
        const char* bytes;
        std::vector<Scalar> by_scalar;
        std::u32string whole;
    } cases[] = {
        {"a", {{'a', 1}}, U"a"},
        {"\xC3\xA9", {{0xE9, 2}}, U"\u00E9"},
        {"\xE2\x80\x94", {{0x2014, 3}}, U"\u2014"},
        {"\xF0\x9F\x98\x80", {{0x1F600, 4}}, U"\U0001F600"},
        {"a\r\nb", {{'a', 1}, {'\r', 1}, {'\n', 1}, {'b', 1}}, U"a\nb"},
        {"\xE2\x80", {{kReplacementChar, 1}, {kReplacementChar, 1}}, U"\uFFFD"},
        {"\xED\xA0\x80", {{kReplacementChar, 1}, {kReplacementChar, 1}, {kReplacementChar, 1}},
         U"\uFFFD\uFFFD\uFFFD"},
        {"\xC3x", {{kReplacementChar, 1}, {'x', 1}}, U"\uFFFDx"},
        {"\xF5", {{kReplacementChar, 1}}, U"\uFFFD"},
    };
    for (const auto& c : cases) {
        const std::string_view bytes = c.bytes;
        std::vector<Scalar> read;
        for (std::size_t at = 0; at < bytes.size(); at += read.back().length) read.push_back(decode_scalar(bytes, at));
        ASSERT_EQ(read.size(), c.by_scalar.size()) << bytes;
        for (std::size_t i = 0; i < read.size(); ++i) {
            EXPECT_EQ(read[i].value, c.by_scalar[i].value) << bytes << " at " << i;
            EXPECT_EQ(read[i].length, c.by_scalar[i].length) << bytes << " at " << i;
        }
        const std::vector<char32_t> whole = decode_without_carriage_returns(bytes);
        EXPECT_EQ(std::u32string(whole.begin(), whole.end()), c.whole) << bytes;
    }
}

// Every scalar value writes out as valid UTF-8 that reads back as itself; a surrogate or a value past
// U+10FFFF writes out as U+FFFD.
TEST(AppendUtf8, WritesWhatDecodesBack) {
    for (char32_t c = 0; c <= 0x110010; ++c) {
        std::string out;
        append_utf8(out, c);
        const bool scalar = c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
        ASSERT_TRUE(is_valid_utf8(out)) << std::hex << static_cast<unsigned>(c);
        const Scalar back = decode_scalar(out, 0);
        ASSERT_EQ(back.length, out.size()) << std::hex << static_cast<unsigned>(c);
        ASSERT_EQ(back.value, scalar ? c : kReplacementChar) << std::hex << static_cast<unsigned>(c);
    }
    const std::u32string run = U"ab\u00E9c\U0001F600d";
    std::string out = "x";
    append_utf8(out, run.data(), run.data() + run.size());
    EXPECT_EQ(out, "xab\xC3\xA9" "c\xF0\x9F\x98\x80" "d");
}

TEST(IsUtf8Continuation, HoldsTheBytes80ToBF) {
    for (unsigned byte = 0; byte <= 0xFF; ++byte) {
        EXPECT_EQ(is_utf8_continuation(static_cast<unsigned char>(byte)), byte >= 0x80 && byte <= 0xBF) << byte;
    }
}

}  // namespace
}  // namespace quellin
