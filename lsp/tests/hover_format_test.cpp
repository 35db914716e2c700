// Hover answers in the format the client's `initialize` capabilities accept: Markdown unless the
// client lists its formats and Markdown is not among them.

#include <gtest/gtest.h>

#include "lsp/server.hpp"
#include "process.hpp"

namespace quellin::lsp {
namespace {

using nlohmann::json;

const char* const kDocument = "/// Says hello.\n/// Twice.\nfn greet(name: Text) -> Text = name\n";
const char* const kMarkdown = "```quellin\nfn greet(name: Text) -> Text\n```\n\nSays hello.\nTwice.";
const char* const kPlaintext = "fn greet(name: Text) -> Text\n\nSays hello.\nTwice.";

json initialize_with(const json& params) {
    return json{{"jsonrpc", "2.0"}, {"id", 0}, {"method", "initialize"}, {"params", params}};
}

json open_document() {
    return json{{"jsonrpc", "2.0"},
                {"method", "textDocument/didOpen"},
                {"params", {{"textDocument", {{"uri", "untitled:greet"}, {"text", kDocument}}}}}};
}

// Over `greet`; the position is unsigned, as in a message the server has parsed.
json hover_request(const int id) {
    return json{{"jsonrpc", "2.0"},
                {"id", id},
                {"method", "textDocument/hover"},
                {"params",
                 {{"textDocument", {{"uri", "untitled:greet"}}}, {"position", {{"line", 2u}, {"character", 4u}}}}}};
}

json contents(const char* kind, const char* value) { return json{{"kind", kind}, {"value", value}}; }

// The contents of the hover over `greet` after an initialize with `params`.
json hover_after(const json& params) {
    Server server;
    const HandleOutcome initialized = server.handle(initialize_with(params));
    EXPECT_EQ(initialized.messages.size(), 1u);
    server.handle(open_document());
    const HandleOutcome answered = server.handle(hover_request(1));
    EXPECT_EQ(answered.messages.size(), 1u);
    return answered.messages.at(0)["result"]["contents"];
}

json with_formats(const json& content_format) {
    return json{{"capabilities", {{"textDocument", {{"hover", {{"contentFormat", content_format}}}}}}}};
}

TEST(HoverFormat, FollowsTheClientsDeclaredContentFormats) {
    struct Case {
        const char* what;
        json params;
        bool plaintext;
    };
    const Case cases[] = {
        {"no params", json(), false},
        {"params not an object", json(7), false},
        {"no capabilities", json::object(), false},
        {"capabilities null", json{{"capabilities", nullptr}}, false},
        {"capabilities a string", json{{"capabilities", "plaintext"}}, false},
        {"capabilities an array", json{{"capabilities", json::array({"plaintext"})}}, false},
        {"empty capabilities", json{{"capabilities", json::object()}}, false},
        {"textDocument null", json{{"capabilities", {{"textDocument", nullptr}}}}, false},
        {"hover true", json{{"capabilities", {{"textDocument", {{"hover", true}}}}}}, false},
        {"hover without contentFormat",
         json{{"capabilities", {{"textDocument", {{"hover", {{"dynamicRegistration", false}}}}}}}}, false},
        {"contentFormat a string", with_formats("plaintext"), false},
        {"contentFormat an object", with_formats({{"plaintext", true}}), false},
        {"contentFormat null", with_formats(nullptr), false},
        {"no format named", with_formats(json::array()), false},
        {"only non-strings", with_formats(json::array({1, nullptr, json::object(), json::array({"plaintext"})})),
         false},
        {"markdown first", with_formats(json::array({"markdown", "plaintext"})), false},
        {"markdown second", with_formats(json::array({"plaintext", "markdown"})), false},
        {"markdown alone", with_formats(json::array({"markdown"})), false},
        {"plaintext alone", with_formats(json::array({"plaintext"})), true},
        {"plaintext among non-strings", with_formats(json::array({3, "plaintext", nullptr})), true},
        {"an unknown format", with_formats(json::array({"html"})), true},
        {"markdown spelt otherwise", with_formats(json::array({"Markdown"})), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(hover_after(c.params),
                  c.plaintext ? contents("plaintext", kPlaintext) : contents("markdown", kMarkdown));
    }
}

TEST(HoverFormat, IsDecidedByTheLatestInitialize) {
    Server server;
    server.handle(open_document());
    EXPECT_EQ(server.handle(hover_request(1)).messages.at(0)["result"]["contents"], contents("markdown", kMarkdown));

    server.handle(initialize_with(with_formats(json::array({"plaintext"}))));
    for (int id = 2; id < 4; ++id) {
        EXPECT_EQ(server.handle(hover_request(id)).messages.at(0)["result"]["contents"],
                  contents("plaintext", kPlaintext));
    }

    // An initialize without an id, and with no capabilities, still decides.
    server.handle(json{{"jsonrpc", "2.0"}, {"method", "initialize"}});
    EXPECT_EQ(server.handle(hover_request(4)).messages.at(0)["result"]["contents"], contents("markdown", kMarkdown));
}

TEST(HoverFormat, NothingToShowIsNullInEitherFormat) {
    Server server;
    server.handle(initialize_with(with_formats(json::array({"plaintext"}))));
    server.handle(open_document());
    json request = hover_request(1);
    request["params"]["position"] = {{"line", 2u}, {"character", 10u}};  // the parameter `name`
    EXPECT_EQ(server.handle(request).messages.at(0)["result"], json());
}

TEST(HoverFormat, ThePlainTextAnswerThroughTheServerProgram) {
    const testing::TempDir dir;
    std::string input;
    for (const json& message : {initialize_with(with_formats(json::array({"plaintext"}))), open_document(),
                                hover_request(1), json{{"jsonrpc", "2.0"}, {"method", "exit"}}}) {
        input += testing::frame(message);
    }
    const testing::ProcessResult result =
        testing::run_process(QUELLIN_LSP_BIN, {}, input, {{"QUELLIN_STDLIB", dir.path() + "/stdlib"}});
    EXPECT_EQ(result.exit_status, 0) << result.err;
    const std::vector<json> replies = testing::parse_frames(result.out);
    ASSERT_EQ(replies.size(), 3u);
    EXPECT_EQ(replies[2],
              (json{{"jsonrpc", "2.0"}, {"id", 1}, {"result", {{"contents", contents("plaintext", kPlaintext)}}}}));
}

}  // namespace
}  // namespace quellin::lsp
