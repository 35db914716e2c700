// The parser reads tokens from a stream: a text of moderate length is lexed at once, a long one (a
// megabyte and more) on demand into a small window. Either way, read to its end, the stream must give
// exactly what tokenizing the whole text gives: the same tokens, or the tokens before the error
// followed by Eof, and the same error.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lexer/lexer.hpp"

namespace quellin {
namespace {

// Many lines, so the window is emptied and refilled many times over.
std::string long_program(const int functions) {
    std::string out;
    for (int i = 0; i < functions; ++i) {
        const std::string n = std::to_string(i);
        out += "/// doc " + n + "\nfn f" + n + "(x: Int) -> Text:\n    let y = [x, " + n +
               ", 2.5]\n    if x > 1:\n        return \"v{x + " + n + "}\"\n    return \"" + n + "\"\n\n";
    }
    return out;
}

// `levels` nested blocks that all close at the end of the text: one burst of Dedents longer than a
// refill asks for.
std::string deep_blocks(const int levels) {
    std::string out;
    for (int i = 0; i < levels; ++i) out += std::string(4 * static_cast<size_t>(i), ' ') + "if x:\n";
    return out + std::string(4 * static_cast<size_t>(levels), ' ') + "pass\n";
}

// Every token up to and including Eof, checking on the way that peek_next announced each one.
std::vector<Token> read_all(TokenStream& stream) {
    std::vector<Token> tokens;
    std::vector<TokenKind::Tag> announced;
    while (stream.peek().kind.tag != TokenKind::Eof) {
        announced.push_back(stream.peek_next().kind.tag);
        tokens.push_back(stream.advance());
    }
    tokens.push_back(stream.advance());
    for (size_t i = 0; i < announced.size(); ++i) EXPECT_EQ(announced[i], tokens[i + 1].kind.tag) << "token " << i;
    return tokens;
}

void expect_same_token(const Token& streamed, const Token& whole, const size_t index) {
    EXPECT_EQ(streamed.kind, whole.kind) << "token " << index << ": " << streamed.kind.display() << " against "
                                         << whole.kind.display();
    EXPECT_EQ(streamed.span, whole.span) << "token " << index;
}

TEST(TokenStream, ReadsWhatTokenizeReturns) {
    const std::vector<std::string> sources = {
        "",
        "// only a comment",
        "x",
        "let x = 1\n",
        long_program(300),
        deep_blocks(400),
        deep_blocks(40) + long_program(8500),
        "fn f() -> Text:\r\n    return \"caf\xC3\xA9 \xE2\x86\x92 {a}\"\r\n",
        "let s = \"\xF0\x9F\x98\x80\" + \"{g(\"{h}\")}\"\n" + long_program(8500),
        "f(1,\n  2)\n[3]\n",
    };
    for (const std::string& source : sources) {
        SCOPED_TRACE(source.substr(0, 60));
        SCOPED_TRACE(std::to_string(source.size()) + " bytes");
        const auto whole = tokenize(source);
        ASSERT_TRUE(whole.has_value()) << whole.error().message();
        TokenStream stream(source);
        const std::vector<Token> streamed = read_all(stream);
        EXPECT_FALSE(stream.finish().has_value());
        ASSERT_EQ(streamed.size(), whole->size());
        for (size_t i = 0; i < streamed.size(); ++i) expect_same_token(streamed[i], (*whole)[i], i);
        // Eof stays: looking again after the end still sees it.
        EXPECT_EQ(stream.advance().kind.tag, TokenKind::Eof);
        EXPECT_EQ(stream.peek_next().kind.tag, TokenKind::Eof);
    }
}

// Read to the end, a failing text gives the tokens before the error, then an Eof at the error, and
// finish() gives the error; read only in part, finish() still finds an error further on.
TEST(TokenStream, FindsTheErrorWhereverTheReaderStops) {
    const std::string good = long_program(200);
    const std::string long_good = long_program(8500);
    const std::vector<std::string> sources = {
        long_good + "let s = \"abc\n",
        "let s = \"\xC3\xA9\"\n" + good + "            deeper\n" + long_good,
        "\tx\n",
        "let x = 1\n  let y = 2\n",
        good + "let s = \"abc\n",
        good + "x = y @ z\n" + good,
        "let s = \"\xC3\xA9\"\n" + good + "            deeper\n",
        "f(1,\n  2)\n  [3]\n",
    };
    for (const std::string& source : sources) {
        SCOPED_TRACE(source.substr(source.size() > 60 ? source.size() - 60 : 0));
        const auto whole = tokenize(source);
        ASSERT_FALSE(whole.has_value());
        const LexError& expected = whole.error();

        TokenStream all(source);
        const std::vector<Token> streamed = read_all(all);
        EXPECT_EQ(streamed.back().span, expected.span);
        const std::optional<LexError> error = all.finish();
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->message(), expected.message());
        EXPECT_EQ(error->span, expected.span);

        for (const size_t read : {size_t{0}, size_t{1}, size_t{700}, size_t{5000}, size_t{20000}}) {
            TokenStream part(source);
            for (size_t i = 0; i < read; ++i) part.advance();
            const std::optional<LexError> later = part.finish();
            ASSERT_TRUE(later.has_value()) << "after reading " << read;
            EXPECT_EQ(part.peek().kind.tag, TokenKind::Eof) << "after reading " << read;
            EXPECT_EQ(later->message(), expected.message()) << "after reading " << read;
            EXPECT_EQ(later->span, expected.span) << "after reading " << read;
        }
    }
}

TEST(TokenStream, ReadsTokensLexedBeforehand) {
    auto tokens = tokenize("a.b(1)\n");
    ASSERT_TRUE(tokens.has_value());
    const size_t count = tokens->size();
    TokenStream stream(std::move(tokens).value());
    EXPECT_EQ(read_all(stream).size(), count);
    EXPECT_FALSE(stream.finish().has_value());

    // Without a closing Eof, the stream adds one.
    TokenStream bare(TokenList{});
    EXPECT_EQ(bare.peek().kind.tag, TokenKind::Eof);
}

}  // namespace
}  // namespace quellin
