#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "lexer/error.hpp"
#include "lexer/expected.hpp"
#include "lexer/token.hpp"

namespace quellin {

// A text's tokens, lexed at once. Their texts are views of the source, which must outlive them, or of
// `text`, which the list keeps.
struct TokenList {
    std::vector<Token> tokens;
    // What the tokens' texts are views of when that is not the source itself: the UTF-8 form of a
    // text that is not plain ASCII, decoded again. Null for plain ASCII.
    std::shared_ptr<const void> text;

    std::size_t size() const { return tokens.size(); }
    const Token& operator[](std::size_t i) const { return tokens[i]; }
    auto begin() const { return tokens.begin(); }
    auto end() const { return tokens.end(); }
};

// The complete token sequence of `source` (always ending with Eof), or the first lexical error.
Expected<TokenList, LexError> tokenize(std::string_view source);

// The tokens of one text for a reader that looks at most one token past the current one and never
// steps back (the parser). A long text is lexed as the reader asks for tokens, so only a small window
// of them is in memory instead of an array as long as the file.
class TokenStream {
public:
    // Lexes `source`, which must outlive the stream.
    explicit TokenStream(std::string_view source);
    // Reads tokens lexed beforehand; an Eof is added if they do not end with one.
    explicit TokenStream(TokenList tokens);
    TokenStream(const TokenStream&) = delete;
    TokenStream& operator=(const TokenStream&) = delete;
    ~TokenStream();

    // The current token; Eof once the tokens are used up, or where lexing failed.
    const Token& peek() const { return window_[pos_]; }
    // The token after the current one (Eof at the end).
    const Token& peek_next() const { return window_[std::min(pos_ + 1, window_.size() - 1)]; }
    // Moves past the current token and returns it. Eof is never passed, so every later look still
    // sees it. The reference lasts until the next call.
    const Token& advance() {
        if (source_ && window_.size() - pos_ < kLookahead) refill();
        const Token& token = window_[pos_];
        if (token.kind.tag != TokenKind::Eof) ++pos_;
        return token;
    }

    // The first lexical error anywhere in the text, lexing what the reader left unread; an error
    // outranks whatever the reader made of the tokens before it. The stream is at Eof afterwards.
    std::optional<LexError> finish();

    // The lexer behind a stream over source text.
    class Source {
    public:
        virtual ~Source();
        // Lexes until the window holds at least `want` tokens; true once the text is done.
        virtual Expected<bool, LexError> fill(std::size_t want) = 0;
        // What the tokens' texts are views of when that is not the source itself (see TokenList).
        virtual std::shared_ptr<const void> text() const { return nullptr; }
    };

private:
    // advance() keeps the current token, the next one and the one after in the window, so that
    // after moving on the current and the next are there for peek and peek_next.
    static constexpr std::size_t kLookahead = 3;
    // Long texts are lexed in batches of a few thousand tokens (about 80 KB), which stay in the
    // processor's caches until the parser reads them. Each switch from parsing back to lexing costs
    // more than the call: the lexer's loop must warm up again after the parser's work, so batches of a
    // hundred tokens made the 100,000-line check about 5% slower.
    static constexpr std::size_t kBatch = 2048;
    static constexpr std::size_t kKeepConsumed = 4096;
    // Texts up to this size (about 30,000 lines) are lexed at once into one array of tokens, which
    // stays under the size from which the allocator maps fresh pages for every array (32 MiB); longer
    // texts are lexed as the reader goes, in a window that never needs fresh pages.
    static constexpr std::size_t kLexAsReadFrom = std::size_t{1} << 20;

    void refill();
    void fill_to(std::size_t want);

    std::vector<Token> window_;
    std::size_t pos_ = 0;
    std::unique_ptr<Source> source_;  // null once the text is lexed to its end or failed
    std::shared_ptr<const void> text_;  // kept to the end: the tokens' texts may be views of it
    std::optional<LexError> error_;
};

}  // namespace quellin
