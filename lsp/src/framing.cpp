#include "lsp/framing.hpp"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <span>
#include <streambuf>
#include <string_view>
#include <utility>
#include <vector>

#include "common/text.hpp"
#include "common/utf8.hpp"
#include "lsp/server_messages.hpp"
#include "long_strings.hpp"

namespace quellin::lsp {

namespace {

using nlohmann::json;

constexpr std::string_view kLengthHeader = "Content-Length:";
// Shorter strings cost the parser little; lifting them would cost a copy of the body for nothing.
constexpr std::size_t kLongString = 1024;

IoError invalid_data(std::string description) {
    return IoError{IoErrorKind::InvalidData, std::move(description)};
}

// Reads one line up to and including its '\n'. An empty result means the input had ended.
Expected<std::string, IoError> read_line(std::streambuf& in) {
    std::string line;
    for (;;) {
        const int c = in.sbumpc();
        if (c == std::char_traits<char>::eof()) break;
        line.push_back(static_cast<char>(c));
        if (c == '\n') break;
        if (line.size() > kMaxHeaderLine) {
            static_assert(kMaxHeaderLine == 65536, "the message states the bound");
            return unexpected(invalid_data(server_message(ServerDiag::HeaderTooLong)));
        }
    }
    if (!is_valid_utf8(line)) return unexpected(invalid_data(server_message(ServerDiag::HeaderNotUtf8)));
    return line;
}

// Decimal digits with an optional leading '+'; anything else, or a value past 64 bits, fails.
std::optional<uint64_t> parse_length(std::string_view text) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        const auto digit = static_cast<uint64_t>(c - '0');
        if (value > (std::numeric_limits<uint64_t>::max() - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

// Reads exactly `length` bytes. The announced length (already within its bound) is reserved at once,
// so a document is not copied again each time the buffer would grow; the buffer is filled only as
// bytes arrive, so a huge announced length with a short body costs untouched address space only.
Expected<std::string, IoError> read_body(std::streambuf& in, const std::size_t length) {
    constexpr std::size_t kChunk = std::size_t{64} << 10;
    std::string body;
    body.reserve(length);
    while (body.size() < length) {
        const std::size_t want = std::min(kChunk, length - body.size());
        const std::size_t old_size = body.size();
        body.resize(old_size + want);
        const auto got = static_cast<std::size_t>(std::max<std::streamsize>(
            0, in.sgetn(body.data() + old_size, static_cast<std::streamsize>(want))));
        body.resize(old_size + got);
        if (got < want) {
            return unexpected(IoError{IoErrorKind::UnexpectedEof,
                                      server_message(ServerDiag::BodyEndedEarly, std::to_string(body.size()),
                                                     std::to_string(length))});
        }
    }
    return body;
}

// Builds a body's value in the parser's one pass over it, refusing nesting deeper than the bound or
// more values than the bound before they are built, and recording the parser's message on a syntax
// error. One pass matters: an edit's body holds the whole document, and reading it is a large part of
// what an edit costs. Strings lifted out of the text beforehand are put back as their emptied
// literals come by, counted among all the literals (keys too) in the order the parser meets them.
class BoundedBuilder {
public:
    explicit BoundedBuilder(json& root, const std::span<LiftedString> lifted = {}) : root_(root), lifted_(lifted) {}

    bool null() { return count() && put(nullptr); }
    bool boolean(bool value) { return count() && put(value); }
    bool number_integer(json::number_integer_t value) { return count() && put(value); }
    bool number_unsigned(json::number_unsigned_t value) { return count() && put(value); }
    bool number_float(json::number_float_t value, const json::string_t&) { return count() && put(value); }
    bool string(json::string_t& value) {
        restore(value);
        return count() && put(std::move(value));
    }
    bool binary(json::binary_t& value) { return count() && put(json::binary(std::move(value))); }
    bool key(json::string_t& value) {
        restore(value);
        key_ = std::move(value);
        return true;
    }
    bool start_object(std::size_t) { return count() && enter() && open(json::object()); }
    bool start_array(std::size_t) { return count() && enter() && open(json::array()); }
    bool end_object() { return leave(); }
    bool end_array() { return leave(); }
    bool parse_error(std::size_t, const std::string&, const json::exception& error) {
        problem_ = server_message(ServerDiag::InvalidJson, error.what());
        return false;
    }

    const std::string& problem() const { return problem_; }

private:
    // Stores a finished value where the parser is: as the root, at the end of the open array, or
    // under the open object's last key (a repeated key keeps its last value). Returns where it landed.
    json& place(json value) {
        if (open_.empty()) {
            root_ = std::move(value);
            return root_;
        }
        json& parent = *open_.back();
        if (parent.is_array()) {
            parent.push_back(std::move(value));
            return parent.back();
        }
        json& slot = parent[std::move(key_)];
        slot = std::move(value);
        return slot;
    }
    template <class Value>
    bool put(Value&& value) {
        place(json(std::forward<Value>(value)));
        return true;
    }
    // A container stays where it was placed while it is open: its parent takes no other value until
    // it closes, so the pointer kept to it stays valid.
    bool open(json container) {
        open_.push_back(&place(std::move(container)));
        return true;
    }
    void restore(json::string_t& value) {
        if (!lifted_.empty() && lifted_.front().ordinal == literals_) {
            value = std::move(lifted_.front().value);
            lifted_ = lifted_.subspan(1);
        }
        ++literals_;
    }
    bool count() {
        if (++values_ > kMaxJsonValues) {
            static_assert(kMaxJsonValues == 1048576, "the message states the bound");
            problem_ = server_message(ServerDiag::JsonTooManyValues);
            return false;
        }
        return true;
    }
    bool enter() {
        if (++depth_ > kMaxJsonDepth) {
            static_assert(kMaxJsonDepth == 512, "the message states the bound");
            problem_ = server_message(ServerDiag::JsonTooDeep);
            return false;
        }
        return true;
    }
    bool leave() {
        --depth_;
        open_.pop_back();
        return true;
    }

    json& root_;
    std::vector<json*> open_;
    json::string_t key_;
    std::span<LiftedString> lifted_;
    std::size_t literals_ = 0;
    std::size_t depth_ = 0;
    std::size_t values_ = 0;
    std::string problem_;
};

// An edit's body carries the whole document in one string, and the parser scans strings a character
// at a time, so long strings are decoded beforehand in bulk and the parser reads only what is left.
// Any failure reads the original body again: the parser's messages give byte offsets, which the
// shortened text would shift, and an invalid body leaves the shortened text invalid too.
Expected<json, IoError> parse_body(const std::string& body) {
    if (std::optional<LiftedBody> lifted = lift_long_strings(body, kLongString)) {
        json value;
        BoundedBuilder builder(value, lifted->strings);
        if (json::sax_parse(lifted->text, &builder)) return value;
    }
    json value;
    BoundedBuilder builder(value);
    if (!json::sax_parse(body, &builder)) return unexpected(invalid_data(builder.problem()));
    return value;
}

}  // namespace

Expected<std::optional<json>, IoError> read_message(std::istream& in) {
    std::streambuf* const buffer = in.rdbuf();
    if (buffer == nullptr) return std::optional<json>{};

    std::optional<uint64_t> content_length;
    for (;;) {
        QN_TRY_ASSIGN(const std::string raw_line, read_line(*buffer));
        if (raw_line.empty()) return std::optional<json>{};
        const std::string_view line = trim_end(raw_line);
        if (line.empty()) break;
        if (line.starts_with(kLengthHeader)) {
            content_length = parse_length(trim(line.substr(kLengthHeader.size())));
        }
    }

    if (!content_length) return unexpected(invalid_data(server_message(ServerDiag::MissingContentLength)));
    if (*content_length > kMaxContentLength) {
        static_assert(kMaxContentLength == 67108864, "the message states the bound");
        return unexpected(
            invalid_data(server_message(ServerDiag::ContentLengthTooLarge, std::to_string(*content_length))));
    }
    QN_TRY_ASSIGN(const std::string body, read_body(*buffer, static_cast<std::size_t>(*content_length)));
    QN_TRY_ASSIGN(json value, parse_body(body));
    return std::optional<json>(std::move(value));
}

std::string serialize(const json& value) {
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

Expected<void, IoError> write_message(std::ostream& out, const json& message) {
    const std::string body = serialize(message);
    const std::string header = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    out.write(header.data(), static_cast<std::streamsize>(header.size()));
    out.write(body.data(), static_cast<std::streamsize>(body.size()));
    out.flush();
    if (!out) return unexpected(IoError{IoErrorKind::WriteFailed, server_message(ServerDiag::WriteFailed)});
    return {};
}

}  // namespace quellin::lsp
