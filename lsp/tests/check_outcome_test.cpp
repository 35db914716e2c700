// What the server hands back with the messages of each incoming message, to be freed once they are
// written: the check's tables, and the modules that hover stopped remembering, never those it still
// remembers.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "lsp/server.hpp"
#include "process.hpp"

namespace quellin::lsp {
namespace {

using nlohmann::json;

const char* const kUri = "untitled:outcome";

json opened(const std::string& text) {
    return {{"method", "textDocument/didOpen"}, {"params", {{"textDocument", {{"uri", kUri}, {"text", text}}}}}};
}

json changed(const std::string& text) {
    return {{"method", "textDocument/didChange"},
            {"params", {{"textDocument", {{"uri", kUri}}}, {"contentChanges", json::array({{{"text", text}}})}}}};
}

json closed() { return {{"method", "textDocument/didClose"}, {"params", {{"textDocument", {{"uri", kUri}}}}}}; }

// The names of the functions a module list declares, in order.
std::vector<std::string> functions(const ModuleList& modules) {
    std::vector<std::string> names;
    for (const auto& [name, program] : modules) {
        for (const ast::Stmt& stmt : program->stmts) {
            if (const auto* fn = ast::as<ast::StmtKind::FnDecl>(stmt)) names.push_back(fn->name);
        }
    }
    return names;
}

TEST(HandleOutcome, HoldsWhatTheAnswerLeavesBehind) {
    struct Step {
        const char* what;
        json message;
        bool tables;                           // whether the outcome holds a check's tables
        std::vector<std::string> handed_back;  // functions of the modules freed with the outcome
        std::vector<std::string> remembered;   // functions of the modules hover keeps
        bool shrank;                           // whether memory may be given back after the answer
    };
    const Step steps[] = {
        {"first open: nothing remembered before", opened("fn a() -> Int = 1\n"), true, {}, {"a"}, false},
        {"a change replaces what hover remembers", changed("fn b() -> Int = 1\n"), true, {"a"}, {"b"}, false},
        {"a type error still replaces it", changed("fn c() -> Int = \"x\"\n"), true, {"b"}, {"c"}, false},
        {"a keystroke taken back is not a smaller program", changed("fn c() -> Int = \"\"\n"), true, {"c"}, {"c"},
         false},
        {"a syntax error checks nothing and keeps it", changed("fn (\n"), false, {}, {"c"}, true},
        {"a close hands back what hover forgets", closed(), false, {"c"}, {}, true},
        {"a close of nothing hands back nothing", closed(), false, {}, {}, false},
    };
    Server server;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        const HandleOutcome outcome = server.handle(step.message);
        ASSERT_EQ(outcome.messages.size(), 1u);
        EXPECT_EQ(!outcome.check.tables.empty(), step.tables);
        EXPECT_EQ(functions(outcome.check.modules), step.handed_back);
        EXPECT_EQ(outcome.shrank, step.shrank);
        const auto remembered = server.hover_modules.find(kUri);
        EXPECT_EQ(remembered != server.hover_modules.end() ? functions(remembered->second)
                                                           : std::vector<std::string>{},
                  step.remembered);
    }
}

// What the server holds for reuse is what the latest checks of the open documents used: two documents
// sharing a module hold it until both are closed, and then nothing is held.
TEST(HandleOutcome, ClosingEveryDocumentReleasesWhatIsHeldForReuse) {
    const testing::TempDir dir;
    dir.write("shared.qn", "/// One.\npub fn one() -> Int = 1\n");
    dir.write("own.qn", "/// Two.\npub fn two() -> Int = 2\n");
    const std::string text_a = "import shared\nimport own\nlet a = shared.one() + own.two()\n";
    const std::string text_b = "import shared\nlet b = shared.one()\n";
    dir.write("a.qn", text_a);
    dir.write("b.qn", text_b);
    const auto open = [&](const std::string& name, const std::string& text) {
        return json{{"method", "textDocument/didOpen"},
                    {"params", {{"textDocument", {{"uri", dir.uri(name)}, {"text", text}}}}}};
    };
    const auto close = [&](const std::string& name) {
        return json{{"method", "textDocument/didClose"}, {"params", {{"textDocument", {{"uri", dir.uri(name)}}}}}};
    };
    struct Step {
        const char* what;
        json message;
        std::size_t trees;    // syntax trees the parse cache could hand out
        std::size_t results;  // imported modules' results the checker could take over
    };
    const Step steps[] = {
        {"a open: its three files, two imported modules", open("a.qn", text_a), 3, 2},
        {"b open too: its own file more", open("b.qn", text_b), 4, 2},
        {"a closed: what b used", close("a.qn"), 2, 1},
        {"b closed: nothing", close("b.qn"), 0, 0},
    };
    Server server;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        {
            const HandleOutcome outcome = server.handle(step.message);
            ASSERT_EQ(outcome.messages.size(), 1u);
            EXPECT_EQ(outcome.messages[0]["params"]["diagnostics"], json::array());
        }  // freed as the main loop frees it, once the answer is written
        EXPECT_EQ(server.caches.trees.live(), step.trees);
        EXPECT_EQ(server.caches.results.live(), step.results);
    }
    EXPECT_TRUE(server.latest_work.empty());
}

// A save after which the document's program loads fewer files lets the main loop give memory back,
// however little of the document's text went.
TEST(HandleOutcome, AProgramThatLoadsFewerFilesHasShrunk) {
    const testing::TempDir dir;
    dir.write("one.qn", "/// One.\npub fn one() -> Int = 1\n");
    dir.write("two.qn", "/// Two.\npub fn two() -> Int = 2\n");
    const std::string padding = "// " + std::string(200, '-') + "\n";
    const std::string both = "import one\nimport two\n" + padding + "let a = one.one()\n";
    const std::string one = "import one\n" + padding + "let a = one.one()\n";
    const std::string uri = dir.uri("a.qn");
    // Saved, then sent.
    const auto saved = [&](const std::string& text, const bool open) {
        dir.write("a.qn", text);
        if (open) {
            return json{{"method", "textDocument/didOpen"},
                        {"params", {{"textDocument", {{"uri", uri}, {"text", text}}}}}};
        }
        return json{{"method", "textDocument/didChange"},
                    {"params", {{"textDocument", {{"uri", uri}}}, {"contentChanges", json::array({{{"text", text}}})}}}};
    };
    struct Step {
        const char* what;
        const std::string& text;
        bool open;
        bool shrank;
    };
    const Step steps[] = {
        {"opened with two imports", both, true, false},
        {"one import fewer", one, false, true},
        {"the same again", one, false, false},
        {"the import back", both, false, false},
    };
    Server server;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        const HandleOutcome outcome = server.handle(saved(step.text, step.open));
        ASSERT_EQ(outcome.messages.size(), 1u);
        EXPECT_EQ(outcome.messages[0]["params"]["diagnostics"], json::array());
        EXPECT_EQ(outcome.shrank, step.shrank);
    }
}

// Several threads may share one CheckCaches, as a project checker's threads do: each check answers as
// one from scratch, and the threads take over each other's trees and results while they hold them.
TEST(CheckCaches, ThreadsSharingThemAnswerAsFromScratch) {
    const testing::TempDir dir;
    // A binary tree of imports, m0 at the root; m5 has a type error, which m2 and m0 meet too.
    constexpr int kModules = 8;
    std::vector<std::filesystem::path> files;
    std::vector<std::string> texts;
    for (int k = 0; k < kModules; ++k) {
        std::string text;
        for (const int child : {2 * k + 1, 2 * k + 2}) {
            if (child < kModules) text += "import m" + std::to_string(child) + "\n";
        }
        text += "/// F.\npub fn f(x: Int) -> Int = x + " + std::to_string(k) + "\n";
        for (const int child : {2 * k + 1, 2 * k + 2}) {
            if (child < kModules) text += "fn use" + std::to_string(child) + "() -> Int = m" + std::to_string(child) + ".f(1)\n";
        }
        if (k == 5) text += "fn wrong() -> Int = \"no\"\n";
        texts.push_back(text);
        files.emplace_back(dir.write("m" + std::to_string(k) + ".qn", text));
    }
    const std::optional<std::filesystem::path> no_stdlib;
    std::vector<std::optional<CheckError>> expected;
    for (int k = 0; k < kModules; ++k) expected.push_back(check_document(texts[k], files[k], no_stdlib).error);
    ASSERT_TRUE(expected[0].has_value());
    ASSERT_FALSE(expected[1].has_value());

    CheckCaches caches;
    constexpr int kThreads = 2;
    constexpr int kRounds = 20;
    std::vector<std::vector<std::string>> differences(kThreads);
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                // Each thread holds the work of its latest check of each file, as the server does per
                // document, so that what it made stays available to the other.
                std::vector<CheckedWork> held(kModules);
                for (int round = 0; round < kRounds; ++round) {
                    for (int i = 0; i < kModules; ++i) {
                        const int k = (i * (t + 1) + round) % kModules;
                        CheckOutcome outcome = check_document(texts[k], files[k], no_stdlib, &caches);
                        const auto& got = outcome.error;
                        const auto& want = expected[k];
                        const bool same = got.has_value() == want.has_value() &&
                                          (!got || (got->line == want->line && got->column == want->column &&
                                                    got->message == want->message));
                        if (!same) differences[t].push_back("m" + std::to_string(k));
                        if (outcome.work) held[k] = std::move(*outcome.work);
                    }
                }
            });
        }
    }
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(differences[t], std::vector<std::string>{}) << "thread " << t;
    EXPECT_GT(caches.trees.taken(), 0u);
    EXPECT_GT(caches.results.taken(), 0u);
    // Both threads have let go of everything.
    EXPECT_EQ(caches.trees.live(), 0u);
    EXPECT_EQ(caches.results.live(), 0u);
}

}  // namespace
}  // namespace quellin::lsp
