#include "common/text.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quellin {
namespace {

constexpr char32_t kLastScalar = 0x10FFFF;

// Every character with the White_Space property, and nothing else, from U+0000 to U+10FFFF.
TEST(IsUnicodeWhitespace, HoldsExactlyTheWhiteSpaceCharacters) {
    std::set<char32_t> expected = {0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x20, 0x85, 0xA0, 0x1680,
                                   0x2028, 0x2029, 0x202F, 0x205F, 0x3000};
    for (char32_t c = 0x2000; c <= 0x200A; ++c) expected.insert(c);
    ASSERT_EQ(expected.size(), 25u);
    for (char32_t c = 0; c <= kLastScalar; ++c) {
        EXPECT_EQ(is_unicode_whitespace(c), expected.count(c) == 1) << "U+" << std::hex << static_cast<unsigned>(c);
    }
}

// The value of each digit, and -1 for everything else, including characters whose low byte is a digit
// and the full-width digits.
TEST(HexDigitValue, ReadsTheSixteenDigitsInBothCases) {
    const struct {
        char32_t c;
        int value;
    } cases[] = {
        {'0', 0},  {'9', 9},   {'a', 10}, {'f', 15}, {'A', 10}, {'F', 15}, {'c', 12}, {'D', 13},
        {'/', -1}, {':', -1},  {'@', -1}, {'G', -1}, {'`', -1}, {'g', -1}, {'x', -1}, {' ', -1},
        {0, -1},   {0x130, -1}, {0x141, -1}, {0x161, -1}, {0xFF10, -1}, {0xFF21, -1}, {kLastScalar, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(hex_digit_value(c.c), c.value) << "U+" << std::hex << static_cast<unsigned>(c.c);
        EXPECT_EQ(is_hex_digit(c.c), c.value >= 0) << "U+" << std::hex << static_cast<unsigned>(c.c);
    }
    int digits = 0;
    for (char32_t c = 0; c <= kLastScalar; ++c) digits += is_hex_digit(c);
    EXPECT_EQ(digits, 22);
}

TEST(IsAsciiWordChar, HoldsLettersDigitsAndUnderscoreOnly) {
    std::string expected = "_";
    for (char c = 'a'; c <= 'z'; ++c) expected += c;
    for (char c = 'A'; c <= 'Z'; ++c) expected += c;
    for (char c = '0'; c <= '9'; ++c) expected += c;
    for (char32_t c = 0; c <= kLastScalar; ++c) {
        const bool word = c < 0x80 && expected.find(static_cast<char>(c)) != std::string::npos;
        ASSERT_EQ(is_ascii_word_char(c), word) << "U+" << std::hex << static_cast<unsigned>(c);
        ASSERT_EQ(is_ascii_digit(c), c >= '0' && c <= '9') << "U+" << std::hex << static_cast<unsigned>(c);
        ASSERT_EQ(is_ascii_letter(c), word && !is_ascii_digit(c) && c != '_')
            << "U+" << std::hex << static_cast<unsigned>(c);
    }
}

TEST(Trim, DropsUnicodeWhitespaceAtTheEndsOnly) {
    const struct {
        std::string_view text;
        std::string_view trimmed;
        std::string_view trimmed_end;
    } cases[] = {
        {"", "", ""},
        {" \t\r\n", "", ""},
        {"a", "a", "a"},
        {"  a b  ", "a b", "  a b"},
        {"\xE3\x80\x80" "a\xC2\xA0", "a", "\xE3\x80\x80" "a"},          // ideographic space, no-break space
        {"\xE2\x80\xA8x\xE2\x80\x8A", "x", "\xE2\x80\xA8x"},            // line separator, hair space
        {"\xE2\x80\x8B" "a\xE2\x80\x8B", "\xE2\x80\x8B" "a\xE2\x80\x8B",
         "\xE2\x80\x8B" "a\xE2\x80\x8B"},                                // zero width space is not whitespace
        {" \xA0 ", "\xA0", " \xA0"},                                     // a lone byte 0xA0 is malformed, not a space
        {"a \xC2", "a \xC2", "a \xC2"},                                  // a cut sequence stays
        {"12 ", "12", "12"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(trim(c.text), c.trimmed) << "'" << c.text << "'";
        EXPECT_EQ(trim_end(c.text), c.trimmed_end) << "'" << c.text << "'";
    }
}

TEST(Join, PutsTheSeparatorBetweenEachTwoItems) {
    const struct {
        std::vector<std::string> items;
        std::string_view separator;
        std::string_view joined;
    } cases[] = {
        {{}, ", ", ""},
        {{"a"}, ", ", "a"},
        {{"a", "b", "c"}, ", ", "a, b, c"},
        {{"m", "n", "m"}, " → ", "m → n → m"},
        {{"", "b"}, ", ", ", b"},  // an empty first item still has its separator
        {{"a", ""}, ", ", "a, "},
        {{"a", "b"}, "", "ab"},
    };
    for (const auto& c : cases) EXPECT_EQ(join(c.items, c.separator), c.joined);
    EXPECT_EQ(join({"x", "y"}), "x, y");
}

TEST(Join, RendersEachItemThatIsNotText) {
    const auto render = [](const int n) { return "#" + std::to_string(n); };
    const struct {
        std::vector<int> items;
        std::string_view separator;
        std::string_view joined;
    } cases[] = {
        {{}, ", ", ""},
        {{1}, ", ", "#1"},
        {{1, 2, 3}, "; ", "#1; #2; #3"},
        {{0, 0}, "", "#0#0"},
    };
    for (const auto& c : cases) EXPECT_EQ(join(c.items, render, c.separator), c.joined);
    EXPECT_EQ(join(std::vector<int>{4, 5}, render), "#4, #5");
}

}  // namespace
}  // namespace quellin
