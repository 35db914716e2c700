// What a confused or hostile client can send, through the real binary: truncated frames, members of
// every wrong JSON type, enormous ids, deep JSON, bytes that are not UTF-8, odd document URIs, and
// file names that are not UTF-8 quoted back in messages. Each is answered as an ordinary message or
// ends the session with status 1 and one "Error: " line; nothing else happens.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "process.hpp"

namespace quellin::lsp::testing {
namespace {

using nlohmann::json;

const std::string kUnsupported = "method not supported by quellin-lsp v0: ";

json publish(const std::string& uri, const std::vector<json>& diagnostics = {}) {
    return json{{"jsonrpc", "2.0"},
                {"method", "textDocument/publishDiagnostics"},
                {"params", {{"uri", uri}, {"diagnostics", diagnostics}}}};
}

json answer(const json& id, const json& result) { return json{{"jsonrpc", "2.0"}, {"id", id}, {"result", result}}; }

json unsupported(const json& id, const std::string& method) {
    return json{{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", -32601}, {"message", kUnsupported + method}}}};
}

json error_at_start(const std::string& message) {
    return json{{"range", {{"start", {{"line", 0}, {"character", 0}}}, {"end", {{"line", 0}, {"character", 1}}}}},
                {"severity", 1},
                {"source", "quellin"},
                {"message", message}};
}

class RobustnessTest : public ::testing::Test {
protected:
    ProcessResult serve_raw(const std::string& input, const std::string& stdlib) const {
        return run_process(QUELLIN_LSP_BIN, {}, input, {{"QUELLIN_STDLIB", stdlib}});
    }
    ProcessResult serve_raw(const std::string& input) const { return serve_raw(input, dir.path() + "/stdlib"); }

    // The replies to raw bodies, each framed as given, from a run that must end cleanly.
    std::vector<json> replies(const std::vector<std::string>& bodies) const {
        std::string input;
        for (const std::string& body : bodies) input += frame(body);
        const ProcessResult result = serve_raw(input);
        EXPECT_EQ(result.exit_status, 0) << result.err;
        EXPECT_EQ(result.err, "");
        return parse_frames(result.out);
    }

    TempDir dir;
};

// ---- Frames cut short ----

TEST_F(RobustnessTest, TruncatedFrames) {
    struct Case {
        const char* label;
        std::string tail;  // after one good message
        int status;
        std::string error_start;
    };
    const std::string body = R"({"id":2,"method":"shutdown"})";
    const std::vector<Case> cases{
        {"inside the header name", "Content-Len", 0, ""},
        {"inside the length", "Content-Length: 2", 0, ""},
        {"after the length line", "Content-Length: 28\r\n", 0, ""},
        {"after a lone CR", "Content-Length: 28\r\n\r", 1, "Error: unexpected end of input"},
        {"before the body", "Content-Length: 28\r\n\r\n", 1, "Error: unexpected end of input"},
        {"inside the body", "Content-Length: 28\r\n\r\n" + body.substr(0, 27), 1, "Error: unexpected end of input"},
        {"length one short", "Content-Length: 27\r\n\r\n" + body, 1, "Error: invalid JSON body"},
        {"length far too short", "Content-Length: 1\r\n\r\n" + body, 1, "Error: invalid JSON body"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const ProcessResult result = serve_raw(frame(std::string(R"({"id":1,"method":"shutdown"})")) + c.tail);
        EXPECT_EQ(result.exit_status, c.status);
        EXPECT_EQ(result.err.rfind(c.error_start, 0), 0u) << result.err;
        if (c.status != 0) {
            EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
        }
        const std::vector<json> got = parse_frames(result.out);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0], answer(1, nullptr));
    }
}

// ---- Members of the wrong type ----

// Every member the server reads, given every JSON type it does not expect: the member then counts as
// absent (an empty string, zero, an empty object), and the message is still answered.
TEST_F(RobustnessTest, EveryMemberOfEveryWrongType) {
    const std::vector<std::string> values{"null", "true", "false", "0", "-1", "1.5", "\"x\"", "[]", "[1]", "{}", R"({"a":1})"};
    const std::string uri = "untitled:doc";
    const std::string text = "fn greet() -> Int = 1\ngreet\n";
    const std::string open = R"({"method":"textDocument/didOpen","params":{"textDocument":{"uri":"untitled:doc","text":)" +
                             json(text).dump() + "}}}";
    const json greet_hover = {{"contents", {{"kind", "markdown"}, {"value", "```quellin\nfn greet() -> Int\n```"}}}};
    const json syntax_error = {{"range", {{"start", {{"line", 0}, {"character", 4}}}, {"end", {{"line", 0}, {"character", 5}}}}},
                               {"severity", 1},
                               {"source", "quellin"},
                               {"message", "expected a name after 'let'/'mut', found Assign '='"}};
    const std::string broken = R"({"method":"textDocument/didOpen","params":{"textDocument":{"uri":"untitled:doc","text":"let = 1\n"}}})";

    struct Template {
        const char* member;
        std::string before;  // a message sent first, answered once
        std::string body;    // with @ where the value goes
        // The answers to `body` when the member counts as absent.
        std::function<std::vector<json>(const std::string& value)> expected;
    };
    const std::vector<Template> templates{
        {"method", "", R"({"id":1,"method":@})", [&](const std::string&) { return std::vector<json>{unsupported(1, "")}; }},
        {"method without id", "", R"({"method":@})", [](const std::string&) { return std::vector<json>{}; }},
        {"id", "", R"({"id":@,"method":"shutdown"})",
         [](const std::string& v) { return std::vector<json>{answer(json::parse(v), nullptr)}; }},
        {"params", "", R"({"method":"textDocument/didOpen","params":@})",
         [](const std::string&) { return std::vector<json>{publish("")}; }},
        {"textDocument", "", R"({"method":"textDocument/didClose","params":{"textDocument":@}})",
         [](const std::string&) { return std::vector<json>{publish("")}; }},
        {"uri", "", R"({"method":"textDocument/didOpen","params":{"textDocument":{"uri":@,"text":"let = 1\n"}}})",
         [&](const std::string&) { return std::vector<json>{publish("", {syntax_error})}; }},
        {"text", broken, R"({"method":"textDocument/didOpen","params":{"textDocument":{"uri":"untitled:doc","text":@}}})",
         [&](const std::string&) { return std::vector<json>{publish(uri)}; }},
        {"contentChanges", broken,
         R"({"method":"textDocument/didChange","params":{"textDocument":{"uri":"untitled:doc"},"contentChanges":@}})",
         [&](const std::string& v) {
             // A non-empty array replaces the text, here with its last element's missing text.
             const bool replaces = v.starts_with("[") && v != "[]";
             return std::vector<json>{publish(uri, replaces ? std::vector<json>{} : std::vector<json>{syntax_error})};
         }},
        {"contentChanges element", broken,
         R"({"method":"textDocument/didChange","params":{"textDocument":{"uri":"untitled:doc"},"contentChanges":[{"text":"x"},@]}})",
         [&](const std::string&) { return std::vector<json>{publish(uri)}; }},
        {"change text", broken,
         R"({"method":"textDocument/didChange","params":{"textDocument":{"uri":"untitled:doc"},"contentChanges":[{"text":@}]}})",
         [&](const std::string&) { return std::vector<json>{publish(uri)}; }},
        // Line 1 holds `greet` at character 0, line 0 holds it at character 3: a defaulted line or
        // character moves the cursor onto `fn` or onto `greet` and shows which it was.
        {"position", open, R"({"id":5,"method":"textDocument/hover","params":{"textDocument":{"uri":"untitled:doc"},"position":@}})",
         [&](const std::string&) { return std::vector<json>{answer(5, nullptr)}; }},
        {"line", open,
         R"({"id":6,"method":"textDocument/hover","params":{"textDocument":{"uri":"untitled:doc"},"position":{"line":@,"character":3}}})",
         [&](const std::string&) { return std::vector<json>{answer(6, greet_hover)}; }},
        {"character", open,
         R"({"id":7,"method":"textDocument/hover","params":{"textDocument":{"uri":"untitled:doc"},"position":{"line":1,"character":@}}})",
         [&](const std::string&) { return std::vector<json>{answer(7, greet_hover)}; }},
    };
    // The values each member accepts: they are not "wrong", so they are left out.
    const auto expected_type = [](const std::string& member, const std::string& v) {
        if (member == "id") return false;  // any value is an id
        if (member == "method" || member == "method without id" || member == "uri" || member == "text" ||
            member == "change text") {
            return v.starts_with("\"");
        }
        if (member == "params" || member == "textDocument" || member == "position" || member == "contentChanges element") {
            return v.starts_with("{");
        }
        if (member == "line" || member == "character") return v == "0";
        return false;
    };
    // One session per member: each value's message follows a fresh copy of the messages it needs,
    // whose own answers are skipped.
    for (const Template& t : templates) {
        SCOPED_TRACE(t.member);
        std::vector<std::string> bodies;
        std::vector<std::string> tried;
        for (const std::string& v : values) {
            if (expected_type(t.member, v)) continue;
            if (!t.before.empty()) bodies.push_back(t.before);
            std::string body = t.body;
            bodies.push_back(body.replace(body.find('@'), 1, v));
            tried.push_back(v);
        }
        const std::vector<json> got = replies(bodies);
        size_t at = 0;
        for (const std::string& v : tried) {
            SCOPED_TRACE(v);
            if (!t.before.empty()) ++at;
            const std::vector<json> want = t.expected(v);
            ASSERT_LE(at + want.size(), got.size());
            EXPECT_EQ(std::vector<json>(got.begin() + static_cast<long>(at), got.begin() + static_cast<long>(at + want.size())),
                      want);
            at += want.size();
        }
        EXPECT_EQ(at, got.size());
    }
}

// ---- Ids ----

TEST_F(RobustnessTest, HugeIdsAreEchoedAsTheyWereRead) {
    const std::string long_text(100'000, 'i');
    const std::vector<std::string> ids{
        "18446744073709551615",  // the largest unsigned 64-bit integer
        "-9223372036854775808",  // the smallest signed one
        "1e308",
        "-0.0",
        "\"" + long_text + "\"",
        R"([1,"a",{"b":null}])",
    };
    std::vector<std::string> bodies;
    for (const std::string& id : ids) bodies.push_back(R"({"id":)" + id + R"(,"method":"nope"})");
    const std::vector<json> got = replies(bodies);
    ASSERT_EQ(got.size(), ids.size());
    for (size_t i = 0; i < ids.size(); ++i) EXPECT_EQ(got[i], unsupported(json::parse(ids[i]), "nope")) << ids[i];
    EXPECT_TRUE(got[0]["id"].is_number_unsigned());

    // Past 64 bits an integer is read as a floating-point number; past the range of those it is
    // not a JSON number the server can read, which ends the session like any malformed body.
    const std::vector<json> wide = replies({R"({"id":1234567890123456789012345678901234567890,"method":"nope"})"});
    ASSERT_EQ(wide.size(), 1u);
    EXPECT_TRUE(wide[0]["id"].is_number_float());
    const ProcessResult overflow = serve_raw(frame(std::string(R"({"id":1e400,"method":"nope"})")));
    EXPECT_EQ(overflow.exit_status, 1);
    EXPECT_EQ(overflow.err.rfind("Error: invalid JSON body", 0), 0u) << overflow.err;
}

// ---- Nesting ----

TEST_F(RobustnessTest, JsonNestingAndSizeBounds) {
    // The object itself is one level; the id brings the body to exactly 512 levels, or one more.
    const auto body = [](const size_t levels) {
        return R"({"method":"nope","id":)" + std::string(levels - 1, '[') + std::string(levels - 1, ']') + "}";
    };
    const std::vector<json> got = replies({body(512)});
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0]["error"]["message"], kUnsupported + "nope");

    const ProcessResult deeper = serve_raw(frame(body(513)));
    EXPECT_EQ(deeper.exit_status, 1);
    EXPECT_EQ(deeper.err, "Error: JSON body nested deeper than 512 levels\n");

    // A body of a million empty objects would take gigabytes once built.
    std::string many = R"({"method":"initialized","params":[)";
    for (int i = 0; i < 1'100'000; ++i) many += "{},";
    many += "{}]}";
    const ProcessResult too_many = serve_raw(frame(many));
    EXPECT_EQ(too_many.exit_status, 1);
    EXPECT_EQ(too_many.err, "Error: JSON body holds more than 1048576 values\n");

    // Wide values where the server never looks cost nothing special.
    std::string wide = R"({"method":"initialized","params":[)";
    for (int i = 0; i < 100'000; ++i) wide += "{},";
    wide += "{}]}";
    EXPECT_EQ(replies({wide, R"({"id":1,"method":"shutdown"})"}), std::vector<json>{answer(1, nullptr)});
}

// ---- Bytes that are not UTF-8 ----

TEST_F(RobustnessTest, BodiesThatAreNotUtf8EndTheSession) {
    const std::vector<std::pair<const char*, std::string>> bodies{
        {"in a string", "{\"method\":\"\xff\"}"},
        {"overlong slash", "{\"method\":\"\xC0\xAF\"}"},
        {"encoded surrogate", "{\"method\":\"\xED\xA0\x80\"}"},
        {"cut sequence", "{\"method\":\"\xE2\x82\"}"},
        {"outside strings", "{\xff}"},
        {"escaped lone surrogate", R"({"method":"\ud800"})"},
        {"escaped reversed pair", R"({"method":"\udc00\ud800"})"},
    };
    for (const auto& [label, body] : bodies) {
        SCOPED_TRACE(label);
        const ProcessResult result = serve_raw(frame(std::string(R"({"id":1,"method":"shutdown"})")) + frame(body));
        EXPECT_EQ(result.exit_status, 1);
        EXPECT_EQ(result.err.rfind("Error: invalid JSON body", 0), 0u) << result.err;
        EXPECT_EQ(parse_frames(result.out).size(), 1u);
    }

    // Escapes that decode to well-formed text, NUL included, are ordinary text.
    const std::vector<json> got = replies({R"({"id":1,"method":"\ud83d\ude00\u0000"})"});
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], unsupported(1, std::string("\xF0\x9F\x98\x80\0", 5)));
}

// ---- Document URIs ----

TEST_F(RobustnessTest, MalformedPercentEscapesInImportingDocuments) {
    const auto open = [](const std::string& uri) {
        return json{{"method", "textDocument/didOpen"},
                    {"params", {{"textDocument", {{"uri", uri}, {"text", "import util\n"}}}}}}
            .dump();
    };
    const std::string base = "file://" + dir.path();
    dir.write("util.qn", "/// One.\npub fn one() -> Int = 1\n");
    dir.write("e.qn%", "import util\n");
    dir.write("f.qn%4", "import util\n");
    const std::string no_file = "cannot read '" + dir.path() + "/c.qn': No such file or directory";
    struct Case {
        std::string uri;
        std::vector<json> diagnostics;
    };
    const std::vector<Case> cases{
        {base + "/%zz.qn", {}},        // not hexadecimal: not a file
        {base + "/%g1.qn", {}},
        {base + "/%ff.qn", {}},        // a byte that is not UTF-8
        {base + "/%c3.qn", {}},        // half a character
        {base + "/%ed%a0%80.qn", {}},  // an encoded surrogate
        {base + "/e.qn%", {}},         // a '%' too near the end stays as it is: the file is found
        {base + "/f.qn%4", {}},
        {base + "/%63.qn", {error_at_start(no_file)}},
        {base + "/x/..%2fc.qn", {error_at_start("cannot read '" + dir.path() + "/x/../c.qn': No such file or directory")}},
        {base + "/%00.qn",
         {error_at_start("cannot read '" + dir.path() + std::string("/\0.qn", 5) + "': file name contains a NUL byte")}},
        {"file://%2Fdev%2Fnull", {error_at_start("cannot read '/dev/null': not a regular file")}},
        {"file:", {}},
        {"file://", {error_at_start("module files need a name — expected '<name>.qn'")}},
    };
    std::vector<std::string> bodies;
    for (const Case& c : cases) bodies.push_back(open(c.uri));
    const std::vector<json> got = replies(bodies);
    ASSERT_EQ(got.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(got[i], publish(cases[i].uri, cases[i].diagnostics)) << cases[i].uri;
}

// A document saved as the server's own standard input must not be read from it: that would take
// the next messages out of the protocol stream.
TEST_F(RobustnessTest, DocumentsThatAreTheServersOwnStreams) {
    std::string input;
    for (const char* uri : {"file:///dev/stdin", "file:///proc/self/fd/0", "file:///proc/self/fd/1"}) {
        input += frame(json{{"method", "textDocument/didOpen"},
                            {"params", {{"textDocument", {{"uri", uri}, {"text", "import util\n"}}}}}});
    }
    for (int id = 0; id < 2000; ++id) input += frame(json{{"id", id}, {"method", "shutdown"}});
    const ProcessResult result = serve_raw(input);
    EXPECT_EQ(result.exit_status, 0) << result.err;
    const std::vector<json> got = parse_frames(result.out);
    ASSERT_EQ(got.size(), 2003u);
    EXPECT_EQ(got[0], publish("file:///dev/stdin", {error_at_start("cannot read '/dev/stdin': not a regular file")}));
    EXPECT_EQ(got[1], publish("file:///proc/self/fd/0",
                              {error_at_start("cannot read '/proc/self/fd/0': not a regular file")}));
    EXPECT_EQ(got[2], publish("file:///proc/self/fd/1",
                              {error_at_start("cannot read '/proc/self/fd/1': not a regular file")}));
    EXPECT_EQ(got.back(), answer(1999, nullptr));
}

// ---- File names that are not UTF-8 ----

// The standard-library directory comes from the environment and may hold any bytes; messages that
// quote its files are still written, with U+FFFD for each byte that is not UTF-8.
TEST_F(RobustnessTest, FileNamesThatAreNotUtf8AreQuotedWithReplacements) {
    const std::string stdlib = dir.path() + "/lib\xff\xfe";
    const std::string shown = dir.path() + "/lib\xEF\xBF\xBD\xEF\xBF\xBD";
    dir.write("lib\xff\xfe/broken.qn", "let = 1\n");
    dir.write("lib\xff\xfe/importer.qn", "import nothere\n");
    dir.write("lib\xff\xfe/dup.qn", "/// D.\npub fn d() -> Int = 1\n");
    dir.write("lib\xff\xfe/shared.qn", "import dup\n");
    dir.write("dup.qn", "/// D.\npub fn d() -> Int = 1\n");
    const std::string parse_error = "expected a name after 'let'/'mut', found Assign '='";
    struct Case {
        std::string file;
        std::string text;
        std::string message;
    };
    const std::vector<Case> cases{
        {"a.qn", "import broken\n", "[" + shown + "/broken.qn]: " + parse_error},
        {"b.qn", "import importer\n",
         "[" + shown + "/importer.qn]: cannot import 'nothere' — expected " + shown +
             "/nothere.qn next to the importing file (No such file or directory)"},
        {"c.qn", "import dup\nimport shared\n",
         "[" + shown + "/dup.qn]: two different files both name the module 'dup' (" + dir.path() + "/dup.qn and " +
             shown + "/dup.qn) — module names are unique per program"},
    };
    std::string input;
    for (const Case& c : cases) {
        dir.write(c.file, c.text);
        input += frame(json{{"method", "textDocument/didOpen"},
                            {"params", {{"textDocument", {{"uri", dir.uri(c.file)}, {"text", c.text}}}}}});
    }
    const ProcessResult result = serve_raw(input, stdlib);
    EXPECT_EQ(result.exit_status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const std::vector<json> got = parse_frames(result.out);
    ASSERT_EQ(got.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(got[i], publish(dir.uri(cases[i].file), {error_at_start(cases[i].message)})) << got[i].dump();
    }
}

}  // namespace
}  // namespace quellin::lsp::testing
