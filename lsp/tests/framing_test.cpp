#include "lsp/framing.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string_view>

namespace quellin::lsp {
namespace {

using nlohmann::json;

struct FrameCase {
    const char* name;
    std::string input;
    std::optional<std::string> body;   // the message read, as compact JSON
    std::optional<std::string> error;  // or the start of the error description
};

// Every case holds one frame (or a broken one); the expectation is what the first read returns.
std::vector<FrameCase> frame_cases() {
    const std::string body = R"({"id":1})";
    return {
        {"usual form", "Content-Length: 8\r\n\r\n" + body, body, {}},
        {"no space after the colon", "Content-Length:8\r\n\r\n" + body, body, {}},
        {"spaces around the number", "Content-Length:    8   \r\n\r\n" + body, body, {}},
        {"tab before the number", "Content-Length:\t8\r\n\r\n" + body, body, {}},
        {"plus sign", "Content-Length: +8\r\n\r\n" + body, body, {}},
        {"LF-only lines", "Content-Length: 8\n\n" + body, body, {}},
        {"other headers ignored",
         "Content-Type: application/vscode-jsonrpc; charset=utf-8\r\nContent-Length: 8\r\n\r\n" + body, body, {}},
        {"later length wins", "Content-Length: 3\r\nContent-Length: 8\r\n\r\n" + body, body, {}},
        {"later unparsable length discards the earlier", "Content-Length: 8\r\nContent-Length: eight\r\n\r\n" + body, {},
         "message without a Content-Length header"},
        {"sign alone", "Content-Length: +\r\n\r\n" + body, {}, "message without a Content-Length header"},
        {"minus sign", "Content-Length: -8\r\n\r\n" + body, {}, "message without a Content-Length header"},
        {"empty value", "Content-Length:\r\n\r\n" + body, {}, "message without a Content-Length header"},
        {"overflowing value", "Content-Length: 99999999999999999999\r\n\r\n" + body, {},
         "message without a Content-Length header"},
        {"lower-case header", "content-length: 8\r\n\r\n" + body, {}, "message without a Content-Length header"},
        {"header not at line start", " Content-Length: 8\r\n\r\n" + body, {}, "message without a Content-Length header"},
        {"zero length", "Content-Length: 0\r\n\r\n", {}, "invalid JSON body"},
        {"not JSON", "Content-Length: 5\r\n\r\nhello", {}, "invalid JSON body"},
        {"trailing garbage", "Content-Length: 10\r\n\r\n" + body + "{}", {}, "invalid JSON body"},
        {"short body", "Content-Length: 20\r\n\r\n" + body, {}, "unexpected end of input"},
        {"header line not UTF-8", "X-Name: \xff\xfe\r\nContent-Length: 8\r\n\r\n" + body, {},
         "header line is not valid UTF-8"},
        {"length above the limit", "Content-Length: 67108865\r\n\r\n" + body, {}, "Content-Length 67108865 exceeds"},
        {"header line above the limit", "X-Padding: " + std::string(70000, 'a') + "\r\n\r\n", {},
         "header line longer than 65536 bytes"},
        {"nesting above the limit", "Content-Length: 2000\r\n\r\n" + std::string(1000, '[') + std::string(1000, ']'),
         {}, "JSON body nested deeper than 512 levels"},
    };
}

TEST(ReadMessage, FramesAndTheirFailures) {
    for (const FrameCase& c : frame_cases()) {
        SCOPED_TRACE(c.name);
        std::istringstream in(c.input);
        const auto read = read_message(in);
        if (c.body) {
            ASSERT_TRUE(read.has_value()) << read.error().description;
            ASSERT_TRUE(read.value().has_value());
            EXPECT_EQ(read.value()->dump(), *c.body);
        } else {
            ASSERT_FALSE(read.has_value());
            EXPECT_EQ(read.error().description.rfind(*c.error, 0), 0u) << read.error().description;
        }
    }
}

TEST(ReadMessage, NestingAtTheLimitIsAccepted) {
    const std::string body = std::string(kMaxJsonDepth, '[') + std::string(kMaxJsonDepth, ']');
    std::istringstream in("Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
    const auto read = read_message(in);
    ASSERT_TRUE(read.has_value()) << read.error().description;
    EXPECT_TRUE(read.value()->is_array());
}

// The array itself is one value, then `count - 1` zeros.
TEST(ReadMessage, ValuesUpToTheLimitAreAccepted) {
    const auto read_values = [](const std::size_t count) {
        std::string body = "[0";
        for (std::size_t i = 2; i < count; ++i) body += ",0";
        body += "]";
        std::istringstream in("Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
        return read_message(in);
    };
    const auto at_limit = read_values(kMaxJsonValues);
    ASSERT_TRUE(at_limit.has_value()) << at_limit.error().description;
    EXPECT_EQ(at_limit.value()->size(), kMaxJsonValues - 1);

    const auto past = read_values(kMaxJsonValues + 1);
    ASSERT_FALSE(past.has_value());
    EXPECT_EQ(past.error().description, "JSON body holds more than 1048576 values");
}


// A header line is counted up to its '\n' (a '\r' before it counts). The length at its bound passes the
// length check and then finds the body short; one more byte is refused before anything is reserved.
TEST(ReadMessage, HeaderLinesAndLengthsAtAndJustPastTheirBounds) {
    const auto first_read = [](const std::string& input) {
        std::istringstream in(input);
        return read_message(in);
    };
    const std::string body = R"({"id":1})";
    const std::string padding_header = "X-Padding: ";
    const auto header_of = [&](const std::size_t bytes) {
        return padding_header + std::string(bytes - padding_header.size() - 1, 'a') + "\r\n";
    };
    const std::string frame_tail = "Content-Length: 8\r\n\r\n" + body;

    const auto at_bound = first_read(header_of(kMaxHeaderLine) + frame_tail);
    ASSERT_TRUE(at_bound.has_value()) << at_bound.error().description;
    ASSERT_TRUE(at_bound.value().has_value());
    EXPECT_EQ(at_bound.value()->dump(), body);

    const auto past_bound = first_read(header_of(kMaxHeaderLine + 1) + frame_tail);
    ASSERT_FALSE(past_bound.has_value());
    EXPECT_EQ(past_bound.error().description, "header line longer than 65536 bytes");

    const auto length_at_bound = first_read("Content-Length: 67108864\r\n\r\n" + body);
    ASSERT_FALSE(length_at_bound.has_value());
    EXPECT_EQ(length_at_bound.error().description.rfind("unexpected end of input", 0), 0u)
        << length_at_bound.error().description;

    const auto length_past_bound = first_read("Content-Length: 67108865\r\n\r\n" + body);
    ASSERT_FALSE(length_past_bound.has_value());
    EXPECT_EQ(length_past_bound.error().description.rfind("Content-Length 67108865 exceeds", 0), 0u)
        << length_past_bound.error().description;
}
TEST(ReadMessage, EndOfInputBeforeOrInsideAHeaderBlockIsNotAnError) {
    for (const std::string input : {"", "Content-Length: 8\r\n", "Content-Length: 8", "X: y\r\n"}) {
        std::istringstream in(input);
        const auto read = read_message(in);
        ASSERT_TRUE(read.has_value()) << input;
        EXPECT_FALSE(read.value().has_value()) << input;
    }
}

TEST(ReadMessage, ConsecutiveMessagesThenEndOfInput) {
    std::istringstream in("Content-Length: 2\r\n\r\n{}Content-Length: 4\n\nnull");
    const auto first = read_message(in);
    ASSERT_TRUE(first.has_value() && first.value().has_value());
    EXPECT_EQ(*first.value(), json::object());
    const auto second = read_message(in);
    ASSERT_TRUE(second.has_value() && second.value().has_value());
    EXPECT_TRUE(second.value()->is_null());
    const auto end = read_message(in);
    ASSERT_TRUE(end.has_value());
    EXPECT_FALSE(end.value().has_value());
}

std::string repeat(const std::string_view unit, const std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) out += unit;
    return out;
}

// A didChange message as an editor sends it, carrying a 2,000-line document with quotes, tabs and
// characters beyond ASCII, written with those characters raw or as escapes.
std::string did_change_body(const bool ensure_ascii) {
    std::string text;
    for (int i = 0; i < 2000; ++i) {
        text += "fn step" + std::to_string(i) + "(x: Int) -> Text =\n\t\"café → \\\"" + std::to_string(i) +
                "\\\" {x}\" # 😀\n";
    }
    const json message = {{"jsonrpc", "2.0"},
                          {"method", "textDocument/didChange"},
                          {"params",
                           {{"textDocument", {{"uri", "file:///a.qn"}, {"version", 2}}},
                            {"contentChanges", json::array({{{"text", text}}})}}}};
    return message.dump(-1, ' ', ensure_ascii);
}

struct BodyCase {
    const char* name;
    bool valid;
    std::string body;
};

// Bodies with strings long enough to be read apart from the rest of the text, valid and not.
std::vector<BodyCase> long_string_cases() {
    const std::string a = repeat("a", 1500);
    const std::string b = repeat("b", 1100);
    const std::string c = repeat("c", 1200);
    const std::string d = repeat("d", 1300);
    return {
        {"repeated key keeps its last value", true, R"({"a":1,"b":[],"a":{"c":[[],{},[{}]]}})"},
        {"every kind of scalar", true, R"([null,true,false,-5,0,18446744073709551615,1.5e3,-0.0,"x"])"},
        {"a number alone", true, "42"},
        {"empty containers alone", true, "[{},[],{\"k\":[]}]"},
        {"value", true, R"({"text":")" + a + R"("})"},
        {"key", true, R"({")" + a + R"(":1})"},
        {"alone", true, R"(")" + a + R"(")"},
        {"after a byte order mark", true, "\xEF\xBB\xBF\"" + a + "\""},
        {"among short strings and nesting", true,
         R"(["s0",")" + a + R"(",{"k\"1":"v1",")" + b + R"(":{"k2":")" + c + R"(","k3":["x",")" + d +
             R"(","y"]}},")" + a + R"("])"},
        {"simple escapes", true, R"([")" + repeat(R"(\" \\ \/ \b \f \n \r \t )", 200) + R"("])"},
        {"unicode escapes", true,
         R"([")" + repeat(R"(\u00e9\u20AC\u20ac\ud83d\ude00\uD83D\uDE00\u0000 )", 40) + R"("])"},
        {"raw characters beyond ASCII", true, R"([")" + repeat("é→😀\x7F", 200) + R"("])"},
        {"exactly 1023 bytes with an escape", true, R"([")" + repeat("a", 1021) + R"(\n"])"},
        {"exactly 1024 bytes with an escape", true, R"([")" + repeat("a", 1022) + R"(\n"])"},
        {"escaped backslash before the closing quote", true, R"([")" + a + R"(\\",")" + b + R"("])"},
        {"escaped backslash and quote before the closing quote", true,
         R"([")" + a + R"(\\\"",")" + b + R"("])"},
        {"two escaped backslashes before the closing quote", true, R"([")" + a + R"(\\\\",")" + b + R"("])"},
        {"didChange with raw characters", true, did_change_body(false)},
        {"didChange with escaped characters", true, did_change_body(true)},
        {"lone high surrogate", false, R"([")" + a + R"(\ud83dx"])"},
        {"high surrogate ending the string", false, R"([")" + a + R"(\ud83d"])"},
        {"lone low surrogate", false, R"([")" + a + R"(\ude00"])"},
        {"high surrogate then another character", false, R"([")" + a + R"(\ud83d\u0041"])"},
        {"high surrogate then another escape", false, R"([")" + a + R"(\ud83d\n"])"},
        {"short unicode escape", false, R"([")" + a + R"(\u12"])"},
        {"unicode escape with a letter beyond f", false, R"([")" + a + R"(\u12g4"])"},
        {"raw control character", false, R"([")" + a + "\x01" + b + R"("])"},
        {"raw tab", false, R"([")" + a + "\t" + b + R"("])"},
        {"raw line feed", false, R"([")" + a + "\n" + b + R"("])"},
        {"invalid UTF-8", false, R"([")" + a + "\xff" + b + R"("])"},
        {"overlong UTF-8", false, R"([")" + a + "\xC0\xAF" + b + R"("])"},
        {"encoded surrogate", false, R"([")" + a + "\xED\xA0\x80" + b + R"("])"},
        {"invalid escape", false, R"([")" + a + R"(\x41"])"},
        {"invalid escape at exactly 1024 bytes", false, R"([")" + repeat("a", 1022) + R"(\x"])"},
        {"syntax error after a long string", false, R"({"text":")" + a + R"(" "more":1})"},
        {"trailing comma after long strings", false, R"({"text":")" + a + R"(","more":")" + b + R"(",})"},
        {"error in a short string after a long one", false, R"([")" + a + R"(","\q"])"},
        {"long key without its value", false, R"({")" + a + R"("})"},
        {"unterminated", false, R"({"text":")" + a},
        {"unterminated after an escaped quote", false, R"({"text":")" + a + R"(\"})"},
        {"literal running into a long string", false, R"([tru")" + a + R"("])"},
        {"number out of range after a long string", false, R"({"text":")" + a + R"(","n":3e444})"},
    };
}

// Reading a body must give what the JSON library itself gives for it: the same value, or its error
// message, byte offsets included.
TEST(ReadMessage, LongStringsReadAsTheLibraryReadsThem) {
    for (const BodyCase& c : long_string_cases()) {
        SCOPED_TRACE(c.name);
        std::istringstream in("Content-Length: " + std::to_string(c.body.size()) + "\r\n\r\n" + c.body);
        const auto read = read_message(in);
        const json expected = json::parse(c.body, nullptr, false);
        ASSERT_EQ(expected.is_discarded(), !c.valid);
        if (!c.valid) {
            std::string library_error;
            try {
                [[maybe_unused]] const json parsed = json::parse(c.body);
            } catch (const json::exception& error) {
                library_error = error.what();
            }
            ASSERT_FALSE(read.has_value());
            EXPECT_EQ(read.error().description, "invalid JSON body: " + library_error);
        } else {
            ASSERT_TRUE(read.has_value()) << read.error().description;
            ASSERT_TRUE(read.value().has_value());
            EXPECT_TRUE(*read.value() == expected) << "the value read differs from the library's";
        }
    }
}

TEST(WriteMessage, CompactBodyWithSortedKeysBehindItsLength) {
    json message = json::object();
    message["result"] = json::object({{"b", 1}, {"a", "é"}});
    message["jsonrpc"] = "2.0";
    message["id"] = 7;
    std::ostringstream out;
    ASSERT_TRUE(write_message(out, message).has_value());
    const std::string body = "{\"id\":7,\"jsonrpc\":\"2.0\",\"result\":{\"a\":\"é\",\"b\":1}}";
    EXPECT_EQ(out.str(), "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
}

TEST(WriteMessage, TextThatIsNotUtf8IsReplacedNotFatal) {
    const json message = json::object({{"message", std::string("cannot read '/tmp/\xff.qn'")}});
    EXPECT_EQ(serialize(message), "{\"message\":\"cannot read '/tmp/\xEF\xBF\xBD.qn'\"}");
}

TEST(WriteMessage, FailedStreamIsAnError) {
    std::ostringstream out;
    out.setstate(std::ios::badbit);
    EXPECT_FALSE(write_message(out, json::object()).has_value());
}

}  // namespace
}  // namespace quellin::lsp
