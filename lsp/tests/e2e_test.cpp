// Transcripts against the built executables: framed messages in, framed messages and exit status out.

#include <gtest/gtest.h>

#include <filesystem>

#include "process.hpp"

namespace quellin::lsp::testing {
namespace {

using nlohmann::json;

json request(const json& id, const std::string& method, const json& params = json::object()) {
    return json{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}};
}

json notify(const std::string& method, const json& params = json::object()) {
    return json{{"jsonrpc", "2.0"}, {"method", method}, {"params", params}};
}

json did_open(const std::string& uri, const std::string& text) {
    return notify("textDocument/didOpen",
                  {{"textDocument", {{"uri", uri}, {"languageId", "quellin"}, {"version", 1}, {"text", text}}}});
}

json did_change(const std::string& uri, const std::string& text) {
    return notify("textDocument/didChange",
                  {{"textDocument", {{"uri", uri}, {"version", 2}}}, {"contentChanges", json::array({{{"text", text}}})}});
}

json did_close(const std::string& uri) { return notify("textDocument/didClose", {{"textDocument", {{"uri", uri}}}}); }

json hover(const json& id, const std::string& uri, const uint64_t line, const uint64_t character) {
    return request(id, "textDocument/hover",
                   {{"textDocument", {{"uri", uri}}}, {"position", {{"line", line}, {"character", character}}}});
}

json publish(const std::string& uri, const std::vector<json>& diagnostics) {
    return json{{"jsonrpc", "2.0"},
                {"method", "textDocument/publishDiagnostics"},
                {"params", {{"uri", uri}, {"diagnostics", diagnostics}}}};
}

json error_at(const uint32_t line, const uint32_t character, const std::string& message) {
    return json{{"range",
                 {{"start", {{"line", line}, {"character", character}}},
                  {"end", {{"line", line}, {"character", character + 1}}}}},
                {"severity", 1},
                {"source", "quellin"},
                {"message", message}};
}

json hover_answer(const json& id, const std::string& markdown) {
    return json{{"jsonrpc", "2.0"}, {"id", id}, {"result", {{"contents", {{"kind", "markdown"}, {"value", markdown}}}}}};
}

json null_answer(const json& id) { return json{{"jsonrpc", "2.0"}, {"id", id}, {"result", nullptr}}; }

class ServerTest : public ::testing::Test {
protected:
    // Runs the server over the framed messages with a standard library that holds nothing.
    ProcessResult serve(const std::vector<json>& messages) const { return serve_raw(frames(messages)); }

    ProcessResult serve_raw(const std::string& input) const {
        return run_process(QUELLIN_LSP_BIN, {}, input, {{"QUELLIN_STDLIB", dir.path() + "/stdlib"}});
    }

    // The server's replies, which must have come from a clean run.
    std::vector<json> replies(const std::vector<json>& messages) const {
        const ProcessResult result = serve(messages);
        EXPECT_EQ(result.exit_status, 0) << result.err;
        EXPECT_EQ(result.err, "");
        return parse_frames(result.out);
    }

    static std::string frames(const std::vector<json>& messages) {
        std::string input;
        for (const json& m : messages) input += frame(m);
        return input;
    }

    TempDir dir;
};

// ---- Dispatch ----

TEST_F(ServerTest, InitializeIsAnsweredWithSortedCompactMembers) {
    const ProcessResult result = serve({request(1, "initialize", {{"capabilities", json::object()}})});
    EXPECT_EQ(result.exit_status, 0);
    const std::string body =
        R"({"id":1,"jsonrpc":"2.0","result":{"capabilities":{"hoverProvider":true,"textDocumentSync":1},)"
        R"("serverInfo":{"name":"quellin-lsp","version":"1.7.51"}}})";
    EXPECT_EQ(result.out, "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
}

TEST_F(ServerTest, DispatchTable) {
    const std::string unsupported = "method not supported by quellin-lsp v0: ";
    const auto error = [&](const json& id, const std::string& method) {
        return json{{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", -32601}, {"message", unsupported + method}}}};
    };
    const std::vector<json> got = replies({
        notify("initialize"),
        notify("initialized"),
        request(2, "shutdown", nullptr),
        request("a", "workspace/symbol"),
        notify("workspace/symbol"),
        request(nullptr, "$/cancelRequest"),
        json{{"id", 3}},
        request(4, "Initialize"),
        request(5, "initialized"),
        request(6, "textDocument/hover"),
        request(7, "shutdown"),
    });
    ASSERT_EQ(got.size(), 8u);
    EXPECT_EQ(got[0]["id"], nullptr);
    EXPECT_EQ(got[0]["result"]["serverInfo"]["name"], "quellin-lsp");
    EXPECT_EQ(got[1], null_answer(2));
    EXPECT_EQ(got[2], error("a", "workspace/symbol"));
    EXPECT_EQ(got[3], error(nullptr, "$/cancelRequest"));
    EXPECT_EQ(got[4], error(3, ""));
    EXPECT_EQ(got[5], error(4, "Initialize"));
    EXPECT_EQ(got[6], null_answer(6));
    EXPECT_EQ(got[7], null_answer(7));
}

TEST_F(ServerTest, ExitStopsAtOnceEvenWithAnIdAndWithoutShutdown) {
    const ProcessResult result = serve({request(1, "exit"), request(2, "shutdown")});
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
}

TEST_F(ServerTest, EndOfInputEndsCleanlyEvenInsideAHeaderBlock) {
    const ProcessResult empty = serve_raw("");
    EXPECT_EQ(empty.exit_status, 0);
    const ProcessResult partial = serve_raw(frame(request(1, "shutdown")) + "Content-Length: 40\r\n");
    EXPECT_EQ(partial.exit_status, 0);
    EXPECT_EQ(parse_frames(partial.out).size(), 1u);
}

TEST_F(ServerTest, FramingErrorsEndTheProcessWithStatusOne) {
    struct Case {
        const char* name;
        std::string input;
        std::string error_start;
    };
    const Case cases[] = {
        {"no length", "Content-Type: x\r\n\r\n{}", "Error: message without a Content-Length header\n"},
        {"lower-case length", "content-length: 2\r\n\r\n{}", "Error: message without a Content-Length header\n"},
        {"bad JSON", frame(std::string("{\"id\":")), "Error: invalid JSON body"},
        {"zero length", "Content-Length: 0\r\n\r\n", "Error: invalid JSON body"},
        {"short body", "Content-Length: 10\r\n\r\n{}", "Error: unexpected end of input"},
        {"over-long header line", std::string(100000, 'x') + "\r\n\r\n", "Error: header line longer than"},
        {"over-large length", "Content-Length: 1000000000000\r\n\r\n{}", "Error: Content-Length 1000000000000 exceeds"},
        {"deep nesting", frame(std::string(100000, '[') + std::string(100000, ']')), "Error: JSON body nested deeper"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A good message first: what was answered before the bad frame stays answered.
        const ProcessResult result = serve_raw(frame(request(1, "shutdown")) + c.input);
        EXPECT_EQ(result.exit_status, 1);
        EXPECT_EQ(result.err.rfind(c.error_start, 0), 0u) << result.err;
        EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
        EXPECT_EQ(parse_frames(result.out).size(), 1u);
    }
}

TEST_F(ServerTest, MalformedMembersNeverFailAMessage) {
    const std::string deep_id = std::string(300, '[') + "1" + std::string(300, ']');
    const std::string input =
        frame(std::string("[1,2]")) + frame(std::string("\"text\"")) + frame(std::string("42")) + frame(std::string("null")) +
        frame(std::string(R"({"id":{"a":[1]},"method":5})")) +
        frame(std::string(R"({"id":18446744073709551616,"method":"nope"})")) +
        frame(std::string(R"({"id":-1.5,"method":"initialize","params":[]})")) +
        frame(R"({"id":)" + deep_id + R"(,"method":"shutdown"})") +
        frame(std::string(R"({"method":"textDocument/didOpen","params":"nope"})")) +
        frame(std::string(R"({"method":"textDocument/didOpen","params":{"textDocument":{"uri":5,"text":7}}})")) +
        frame(std::string(R"({"method":"textDocument/didChange","params":{"textDocument":[],"contentChanges":[1]}})")) +
        frame(std::string(R"({"method":"textDocument/didChange","params":{"textDocument":{"uri":"u"},"contentChanges":{}}})")) +
        frame(std::string(R"({"method":"textDocument/didClose","params":{"textDocument":null}})")) +
        frame(std::string(R"({"id":9,"method":"textDocument/hover","params":{"textDocument":{"uri":""},"position":{"line":-1,"character":"x"}}})")) +
        frame(std::string(R"({"id":10,"method":"textDocument/hover","params":{"position":{"line":1e30,"character":99999999999999999999999}}})")) +
        frame(std::string(R"({"method":"textDocument/didOpen","params":{"textDocument":{"uri":"file:///%zz/a.qn","text":"import util\n"}}})"));
    const ProcessResult result = serve_raw(input);
    EXPECT_EQ(result.exit_status, 0) << result.err;
    const std::vector<json> got = parse_frames(result.out);
    ASSERT_EQ(got.size(), 12u);
    EXPECT_EQ(got[0]["id"], json::parse(R"({"a":[1]})"));
    EXPECT_EQ(got[0]["error"]["message"], "method not supported by quellin-lsp v0: ");
    EXPECT_TRUE(got[1]["id"].is_number());
    EXPECT_EQ(got[2]["id"], -1.5);
    EXPECT_EQ(got[2]["result"]["capabilities"]["textDocumentSync"], 1);
    EXPECT_EQ(got[3]["id"], json::parse(deep_id));
    EXPECT_EQ(got[4], publish("", {}));
    EXPECT_EQ(got[5], publish("", {}));
    EXPECT_EQ(got[6], publish("", {}));
    EXPECT_EQ(got[7], publish("u", {}));  // never opened: nothing stored, still published
    EXPECT_EQ(got[8], publish("", {}));
    EXPECT_EQ(got[9], null_answer(9));
    EXPECT_EQ(got[10], null_answer(10));
    EXPECT_EQ(got[11], publish("file:///%zz/a.qn", {}));
}

// ---- Diagnostics ----

TEST_F(ServerTest, SingleFileDocumentsThroughOpenChangeAndClose) {
    const std::string uri = dir.uri("single.qn");  // never written: single files are checked from the buffer
    const std::string clean = "fn greet(name: Text) -> Text = name\n";
    const std::vector<json> got = replies({
        did_open(uri, clean),
        did_change(uri, "fn f() -> Int\n"),
        notify("textDocument/didChange", {{"textDocument", {{"uri", uri}}}, {"contentChanges", json::array()}}),
        did_change(uri, "fn f() -> Int = 1\n\nfn f() -> Int = 2\n"),
        did_close(uri),
        did_close("file:///never/opened.qn"),
        did_open(uri, clean),
    });
    ASSERT_EQ(got.size(), 7u);
    EXPECT_EQ(got[0], publish(uri, {}));
    const json syntax_error = error_at(0, 13, "expected ':' for a block body or '=' for an expression body, found Newline");
    EXPECT_EQ(got[1], publish(uri, {syntax_error}));
    EXPECT_EQ(got[2], publish(uri, {syntax_error}));  // no changes: the same text checked again
    EXPECT_EQ(got[3], publish(uri, {error_at(2, 0, "function 'f' is declared twice")}));
    EXPECT_EQ(got[4], publish(uri, {}));
    EXPECT_EQ(got[5], publish("file:///never/opened.qn", {}));
    EXPECT_EQ(got[6], publish(uri, {}));
}

class ModulesTest : public ServerTest {
protected:
    void SetUp() override {
        dir.write("util.qn",
                  "/// Shouts.\n/// Loudly.\npub fn shout(s: Text) -> Text = s\n\nfn whisper(s: Text) -> Text = s\n");
        dir.write("broken.qn", "fn f() -> Int = 1\nfn f() -> Int = 2\n");
        dir.write("main.qn", main_text);
    }

    const std::string main_text = "import util\n// util.shout util.whisper shout\nfn local(n: Int) -> Int = n\n";
};

TEST_F(ModulesTest, ImportsResolveFromTheSavedFiles) {
    const std::string uri = dir.uri("main.qn");
    const std::string missing = dir.uri("missing.qn");
    dir.write("missing.qn", "import nothing\n");
    const std::string uses_broken = dir.uri("uses_broken.qn");
    dir.write("uses_broken.qn", "import broken\n");
    const std::vector<json> got = replies({
        did_open(uri, main_text),
        did_open(missing, "import nothing\n"),
        did_open(uses_broken, "import broken\n"),
        did_open("untitled:Untitled-1", "import util\n"),
    });
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0], publish(uri, {}));
    EXPECT_EQ(got[1], publish(missing, {error_at(0, 0,
                                                  "cannot import 'nothing' — expected " + dir.path() +
                                                      "/nothing.qn next to the importing file (No such file or directory)")}));
    EXPECT_EQ(got[2], publish(uses_broken,
                              {error_at(0, 0, "[broken.qn]: function 'f' is declared twice (line 2, column 1)")}));
    EXPECT_EQ(got[3], publish("untitled:Untitled-1", {}));
}

TEST_F(ModulesTest, TheBufferDeclaresWhileTheSavedFileImports) {
    const std::string uri = dir.uri("main.qn");
    const std::string lonely = dir.uri("lonely.qn");
    dir.write("lonely.qn", "import util\nfn broken() -> Int\n");
    const std::string saved_without_imports = dir.uri("plain.qn");
    dir.write("plain.qn", "fn local(n: Int) -> Int = n\n");
    const std::vector<json> got = replies({
        did_open(uri, main_text + "fn local(n: Int) -> Int = n\n"),
        did_change(uri, "import util\nfn broken() -> Int\n"),
        did_open(lonely, "import util\nfn fixed() -> Int = 1\n"),
        did_open(saved_without_imports, "import util\nfn local(n: Int) -> Int = n\n"),
    });
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0], publish(uri, {error_at(3, 0, "function 'local' is declared twice")}));
    EXPECT_EQ(got[1], publish(uri, {error_at(1, 18,
                                             "expected ':' for a block body or '=' for an expression body, found Newline")}));
    // The saved file's syntax error comes from the loader, still at its place in this file.
    EXPECT_EQ(got[2], publish(lonely, {error_at(1, 18,
                                                "expected ':' for a block body or '=' for an expression body, found Newline")}));
    // The saved file imports nothing, so the buffer's import names a module that was never loaded.
    EXPECT_EQ(got[3], publish(saved_without_imports,
                              {error_at(0, 0, "unknown module 'util' — expected util.qn next to this file")}));
}

TEST_F(ModulesTest, ModulesAreFoundInTheStandardLibraryDirectory) {
    dir.write("stdlib/text.qn", "/// Joins.\npub fn join(a: Text, b: Text) -> Text = a\n");
    dir.write("uses_std.qn", "import text\n");
    const std::vector<json> got = replies({did_open(dir.uri("uses_std.qn"), "import text\n// text.join\n")});
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], publish(dir.uri("uses_std.qn"), {}));
}

TEST_F(ModulesTest, PercentEscapesInTheUriNameTheFile) {
    dir.write("my dir/main.qn", main_text);
    dir.write("my dir/util.qn", "fn f() -> Int = 1\nfn f() -> Int = 2\n");
    const std::string uri = "file://" + dir.path() + "/my%20dir/main.qn";
    const std::vector<json> got = replies({did_open(uri, main_text)});
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], publish(uri, {error_at(0, 0, "[util.qn]: function 'f' is declared twice (line 2, column 1)")}));
}

// ---- Hover ----

TEST_F(ModulesTest, HoverOverQualifiedAndLocalFunctions) {
    const std::string uri = dir.uri("main.qn");
    const std::vector<json> got = replies({
        did_open(uri, main_text),
        hover(1, uri, 1, 5),    // util.shout
        hover(2, uri, 1, 16),   // util.whisper: private
        hover(3, uri, 1, 27),   // shout: lives only in util
        hover(4, uri, 2, 4),    // local
        hover(5, uri, 0, 2),    // import keyword
        hover(6, uri, 2, 9),    // the parameter n
        hover(7, "untitled:x", 0, 0),
    });
    ASSERT_EQ(got.size(), 8u);
    EXPECT_EQ(got[1], hover_answer(1, "```quellin\nfn util.shout(s: Text) -> Text\n```\n\nShouts.\nLoudly."));
    EXPECT_EQ(got[2], null_answer(2));
    EXPECT_EQ(got[3], null_answer(3));
    EXPECT_EQ(got[4], hover_answer(4, "```quellin\nfn local(n: Int) -> Int\n```"));
    EXPECT_EQ(got[5], null_answer(5));
    EXPECT_EQ(got[6], null_answer(6));
    EXPECT_EQ(got[7], null_answer(7));
}

TEST_F(ServerTest, HoverKeepsTheLastCheckedDeclarationsAcrossASyntaxError) {
    const std::string uri = "untitled:notes";
    const std::string text = "/// Greets.\nfn greet[T](name: Text, xs: List[T]) -> Text = name\n";
    const std::string shown = "```quellin\nfn greet[T](name: Text, xs: List[T]) -> Text\n```\n\nGreets.";
    const std::vector<json> got = replies({
        did_open(uri, "fn (\n"),
        hover(1, uri, 0, 0),
        did_change(uri, text),
        hover(2, uri, 1, 3),
        hover(3, uri, 1, 8),  // just after the name, on '['
        did_change(uri, "\n\nfn (\n" + text),
        hover(4, uri, 1, 3),  // the word comes from the new text: line 1 is now blank
        hover(5, uri, 4, 5),
        did_change(uri, "fn greet() -> Int = 1\nfn greet() -> Int = 2\n"),
        hover(6, uri, 0, 5),  // a type error still records the declarations
        did_close(uri),
        hover(7, uri, 0, 5),
    });
    ASSERT_EQ(got.size(), 12u);
    EXPECT_EQ(got[1], null_answer(1));
    EXPECT_EQ(got[3], hover_answer(2, shown));
    EXPECT_EQ(got[4], hover_answer(3, shown));
    EXPECT_EQ(got[6], null_answer(4));
    EXPECT_EQ(got[7], hover_answer(5, shown));
    EXPECT_EQ(got[8]["params"]["diagnostics"].size(), 1u);
    EXPECT_EQ(got[9], hover_answer(6, "```quellin\nfn greet() -> Int\n```"));
    EXPECT_EQ(got[11], null_answer(7));
}

// ---- Standard-library lookup ----

TEST(StdlibLookup, FoundFourLevelsAboveTheResolvedExecutableUnlessConfigured) {
    const TempDir dir;
    const std::filesystem::path root = std::filesystem::path(dir.path()) / "root";
    const std::filesystem::path exe = root / "lib/quellin/libexec/quellin-lsp";
    std::filesystem::create_directories(exe.parent_path());
    std::filesystem::copy_file(QUELLIN_LSP_BIN, exe);
    std::filesystem::create_directories(std::filesystem::path(dir.path()) / "bin");
    const std::string link = dir.path() + "/bin/quellin-lsp";
    std::filesystem::create_symlink(exe, link);
    dir.write("root/stdlib/util.qn", "fn helper() -> Int = 1\n");
    dir.write("docs/main.qn", "import util\n");
    const std::string uri = dir.uri("docs/main.qn");
    const std::string input = frame(did_open(uri, "import util\n"));

    const ProcessResult found = run_process(link, {}, input, {{"QUELLIN_STDLIB", std::nullopt}});
    EXPECT_EQ(parse_frames(found.out), std::vector<json>{publish(uri, {})});

    // Set but empty still counts as configured: the directory "" holds no util.qn here.
    const ProcessResult configured =
        run_process(link, {}, input, {{"QUELLIN_STDLIB", ""}}, dir.path() + "/bin");
    const std::vector<json> got = parse_frames(configured.out);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0]["params"]["diagnostics"][0]["message"],
              "cannot import 'util' — expected " + dir.path() +
                  "/docs/util.qn next to the importing file (No such file or directory)");
}

// A record instance whose generic lives in a module the document does not import reaches it through
// the module it does import; its fields are known there, and a wrong one lists them.
TEST_F(ServerTest, InstancesReachedThroughAnImportedModuleKnowTheirFields) {
    dir.write("b.qn", "/// A box.\npub record Box[T]:\n    value: T\n");
    dir.write("a.qn", "import b\n/// Make one.\npub fn make(n: Int) -> b.Box[Int]:\n    return b.Box(value: n)\n");
    const std::string text = "import a\nlet x = a.make(1)\nlet v: Int = x.value\n";
    dir.write("main.qn", text);
    const std::string uri = dir.uri("main.qn");
    const std::vector<json> got = replies({
        did_open(uri, text),
        did_change(uri, "import a\nlet x = a.make(1)\nlet y = x with value: 2\nlet s = y.size\n"),
        did_change(uri, "import a\nlet x = a.make(1) with size: 2\n"),
    });
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0], publish(uri, {}));
    EXPECT_EQ(got[1], publish(uri, {error_at(3, 8, "record b.Box[Int] has no field 'size' — its fields are: value")}));
    EXPECT_EQ(got[2], publish(uri, {error_at(1, 8, "b.Box[Int] has no field 'size' — its fields are: value")}));
}

// A token quoted in a diagnostic never carries a raw control character, C1 controls included.
TEST_F(ServerTest, QuotedTokensInDiagnosticsEscapeControlCharacters) {
    const std::string uri = dir.uri("controls.qn");
    const std::vector<json> got = replies({did_open(uri, "let x = 1 \"a\u0085b\u009b\"\n")});
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], publish(uri, {error_at(0, 10, "expected Newline to end the declaration, found "
                                                    "Text(\"a\\u{85}b\\u{9b}\")")}));
}

// ---- quellin-check ----

TEST(CheckTool, ReportsTheFirstErrorOfEachFile) {
    const TempDir dir;
    dir.write("good.qn", "fn greet(name: Text) -> Text = name\n");
    dir.write("twice.qn", "fn f() -> Int = 1\nfn f() -> Int = 2\n");
    dir.write("broken.qn", "fn f() -> Int = 1\nfn f() -> Int = 2\n");
    dir.write("main.qn", "import broken\n");
    dir.write("bad_bytes.qn", "fn f() -> Int = 1 // \xff\n");
    const std::vector<EnvSetting> env{{"QUELLIN_STDLIB", dir.path() + "/stdlib"}};

    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out;
        std::string err;
    };
    const Case cases[] = {
        {{"good.qn"}, 0, "", ""},
        {{"twice.qn"}, 1, "twice.qn:2:1: function 'f' is declared twice\n", ""},
        {{"good.qn", "main.qn", "good.qn"}, 1,
         "main.qn:1:1: [broken.qn]: function 'f' is declared twice (line 2, column 1)\n", ""},
        {{"nope.qn", "twice.qn"}, 2, "twice.qn:2:1: function 'f' is declared twice\n",
         "quellin-check: cannot read 'nope.qn': No such file or directory\n"},
        // A folder stands for its files; main.qn's error lies in broken.qn, which reports it.
        {{"."}, 2, "broken.qn:2:1: function 'f' is declared twice\ntwice.qn:2:1: function 'f' is declared twice\n",
         "quellin-check: cannot read 'bad_bytes.qn': stream did not contain valid UTF-8\n"
         "quellin-check: 4 files checked, 3 files with errors, 2 errors, 1 could not be read\n"},
        {{"bad_bytes.qn"}, 2, "", "quellin-check: cannot read 'bad_bytes.qn': stream did not contain valid UTF-8\n"},
        {{}, 2, "", "usage: quellin-check FILE...\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.empty() ? std::string("(no arguments)") : c.args.front());
        const ProcessResult result = run_process(QUELLIN_CHECK_BIN, c.args, "", env, dir.path());
        EXPECT_EQ(result.exit_status, c.status);
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.err, c.err);
    }
}

TEST(CheckTool, InstancesReachedThroughAnImportedModuleKnowTheirFields) {
    const TempDir dir;
    dir.write("b.qn", "/// A box.\npub record Box[T]:\n    value: T\n/// Maybe.\npub enum Maybe[T]:\n    Just(value: "
                      "T)\n    Nothing\n");
    dir.write("a.qn",
              "import b\n/// Make one.\npub fn make(n: Int) -> b.Box[Int]:\n    return b.Box(value: n)\n"
              "/// Two.\npub fn twice(n: Int) -> b.Box[b.Box[Int]] = b.Box(value: make(n))\n"
              "/// Find.\npub fn find(n: Int) -> b.Maybe[Int] = b.Maybe.Just(value: n)\n");
    dir.write("main.qn", "import a\nlet x = a.make(1)\nlet v: Int = x.value\nlet w: Int = a.twice(2).value.value\n");
    dir.write("update.qn", "import a\nlet x = a.make(1) with value: 2\nlet v: Int = x.value\n");
    dir.write("wrong.qn", "import a\nlet x = a.make(1)\nlet v: Int = x.size\n");
    dir.write("both.qn", "import a\nimport b\nfn f() -> Int:\n    match a.find(1):\n        case b.Maybe.Just(value: v):\n"
                         "            return v\n        case b.Maybe.Nothing:\n            return 0\n");
    dir.write("partial.qn", "import a\nfn f() -> Int:\n    match a.find(1):\n        case m if true:\n"
                            "            return 1\n");
    const ProcessResult result =
        run_process(QUELLIN_CHECK_BIN, {"main.qn", "update.qn", "wrong.qn", "both.qn", "partial.qn"}, "",
                    {{"QUELLIN_STDLIB", dir.path() + "/stdlib"}}, dir.path());
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.out,
              "wrong.qn:3:14: record b.Box[Int] has no field 'size' — its fields are: value\n"
              "partial.qn:3:5: this match on b.Maybe[Int] is not exhaustive — cover 'case b.Maybe.Just(...):', "
              "'case b.Maybe.Nothing:' or finish with a 'case _:' arm\n");
    EXPECT_EQ(result.err, "");
}

TEST(CheckTool, LoaderErrorsInTheFileKeepTheirPosition) {
    const TempDir dir;
    dir.write("cycle_a.qn", "import cycle_b\n");
    dir.write("cycle_b.qn", "import cycle_a\n");
    dir.write("self.qn", "\nimport self\n");
    const ProcessResult result =
        run_process(QUELLIN_CHECK_BIN, {"self.qn", dir.path() + "/cycle_a.qn"}, "",
                    {{"QUELLIN_STDLIB", dir.path() + "/stdlib"}}, dir.path());
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.out,
              "self.qn:2:1: module 'self' cannot import itself\n" + dir.path() + "/cycle_a.qn:1:1: [" + dir.path() +
                  "/cycle_b.qn]: import cycle: cycle_a → cycle_b → cycle_a — modules cannot import each other in a "
                  "loop; move the shared functions into a third module\n");
}

}  // namespace
}  // namespace quellin::lsp::testing
