// What the server hands back with the messages of each incoming message, to be freed once they are
// written: the check's tables, and the modules that hover stopped remembering, never those it still
// remembers.

#include <gtest/gtest.h>

#include <string>
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
    };
    const Step steps[] = {
        {"first open: nothing remembered before", opened("fn a() -> Int = 1\n"), true, {}, {"a"}},
        {"a change replaces what hover remembers", changed("fn b() -> Int = 1\n"), true, {"a"}, {"b"}},
        {"a type error still replaces it", changed("fn c() -> Int = \"x\"\n"), true, {"b"}, {"c"}},
        {"a syntax error checks nothing and keeps it", changed("fn (\n"), false, {}, {"c"}},
        {"a close hands back what hover forgets", closed(), false, {"c"}, {}},
        {"a close of nothing hands back nothing", closed(), false, {}, {}},
    };
    Server server;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        const HandleOutcome outcome = server.handle(step.message);
        ASSERT_EQ(outcome.messages.size(), 1u);
        EXPECT_EQ(!outcome.check.tables.empty(), step.tables);
        EXPECT_EQ(functions(outcome.check.modules), step.handed_back);
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

}  // namespace
}  // namespace quellin::lsp
