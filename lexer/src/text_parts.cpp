// Reading a text literal's body into its pieces. The lexer has already checked the body, so this reads
// without failing; a body it did not check still reads to some pieces, never past its end.

#include <algorithm>
#include <string>
#include <utility>

#include "escapes.hpp"
#include "lexer/token.hpp"

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

    static bool starts_char(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) != 0x80; }

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
        col_ += static_cast<uint32_t>(std::count_if(run.begin(), run.end(), starts_char));
        at_ = end;
    }

    void flush() {
        parts_.push_back(StringPart{StringPart::Lit{std::move(buffer_)}});
        buffer_.clear();
    }

    // From `{` to its matching `}`, stepping over text literals nested in the code with their escapes.
    void read_interpolation() {
        step();
        const Span inner{line_, col_};
        const size_t begin = at_;
        size_t depth = 0;
        while (!at_end()) {
            const char c = body_[at_];
            if (c == '}' && depth == 0) break;
            if (c == '"') {
                skip_nested_literal();
                continue;
            }
            if (c == '{') ++depth;
            if (c == '}') --depth;
            step();
        }
        const std::string_view source = body_.substr(begin, at_ - begin);
        if (!at_end()) step();
        if (!buffer_.empty()) flush();
        parts_.push_back(StringPart{StringPart::Interp{std::string(source), inner}});
    }

    void skip_nested_literal() {
        step();
        while (!at_end()) {
            const char c = body_[at_];
            step();
            if (c == '"') return;
            if (c == '\\' && !at_end()) step();
        }
    }
};

}  // namespace

std::vector<StringPart> text_parts(std::string_view body, Span quote) { return BodyReader(body, quote).read(); }

}  // namespace quellin
