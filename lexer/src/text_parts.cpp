// Reading a text literal's body into its pieces. The lexer has already checked the body, so this reads
// without failing; a body it did not check still reads to some pieces, never past its end.

#include <algorithm>
#include <string>
#include <utility>

#include "common/utf8.hpp"
#include "lexer/token.hpp"
#include "text_syntax.hpp"

namespace quellin {

namespace {

// Reads one body by bytes: the characters that steer it (quotes, backslashes, braces) are ASCII and
// never part of a longer UTF-8 sequence, and columns count the bytes that start a character.
class BodyReader {
public:
    BodyReader(std::string_view body, Span quote) : body_(body), line_(quote.line), col_(quote.col + 1) {}

    std::vector<StringPart> read() {
        while (!at_end()) {
            const char c = body_[at_];
            if (c == '\\' && at_ + 1 < body_.size()) {
                const char escaped = body_[at_ + 1];
                buffer_.push_back(escape_value(static_cast<unsigned char>(escaped)).value_or(escaped));
                step();
                step();
            } else if (c == '{') {
                read_interpolation();
            } else {
                read_plain_run();
            }
        }
        // An empty literal still has one (empty) piece; one ending in an interpolation has none after it.
        if (!buffer_.empty() || parts_.empty()) flush();
        return std::move(parts_);
    }

private:
    std::string_view body_;
    size_t at_ = 0;
    uint32_t line_;
    uint32_t col_;
    std::string buffer_;
    std::vector<StringPart> parts_;

    bool at_end() const { return at_ >= body_.size(); }

    static bool starts_char(char byte) { return !is_utf8_continuation(static_cast<unsigned char>(byte)); }

    static uint32_t count_chars(std::string_view bytes) {
        return static_cast<uint32_t>(std::count_if(bytes.begin(), bytes.end(), starts_char));
    }

    void step() {
        col_ += starts_char(body_[at_]);
        ++at_;
    }

    // Characters up to the next escape or interpolation, copied as they are.
    void read_plain_run() {
        size_t end = at_ + 1;
        while (end < body_.size() && body_[end] != '\\' && body_[end] != '{') ++end;
        const std::string_view run = body_.substr(at_, end - at_);
        buffer_ += run;
        col_ += count_chars(run);
        at_ = end;
    }

    void flush() {
        parts_.push_back(StringPart{StringPart::Lit{std::move(buffer_)}});
        buffer_.clear();
    }

    // From `{` to its matching `}`; a body the lexer did not check may end before it.
    void read_interpolation() {
        step();
        const Span inner{line_, col_};
        const size_t begin = at_;
        const size_t end = interpolation_end(body_, begin).value_or(body_.size());
        const std::string_view source = body_.substr(begin, end - begin);
        col_ += count_chars(source);
        at_ = end;
        if (!at_end()) step();
        if (!buffer_.empty()) flush();
        parts_.push_back(StringPart{StringPart::Interp{std::string(source), inner}});
    }
};

}  // namespace

std::vector<StringPart> text_parts(std::string_view body, Span quote) { return BodyReader(body, quote).read(); }

}  // namespace quellin
