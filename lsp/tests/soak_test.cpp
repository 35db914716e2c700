// A long editing session against the real binary: ten thousand messages of every kind, with texts
// that parse, half-typed texts, type errors, imports and broken imports. Every message must be
// answered as the dispatch table says, with exactly what an in-process server answers, and the
// server's resident memory must stay flat once it has warmed up.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "lsp/server.hpp"
#include "process.hpp"

namespace quellin::lsp::testing {
namespace {

using nlohmann::json;

constexpr int kMessages = 10'000;
constexpr size_t kSampleEvery = 200;     // replies between two memory samples
constexpr size_t kWarmUpReplies = 2'000;  // replies before the memory is expected to stay flat
constexpr long kRssMarginKb = 2 * 1024;

// Documents without imports: never read from disk.
const std::vector<std::string> kSingleTexts{
    "/// Adds two numbers.\nfn add(a: Int, b: Int) -> Int = a + b\nlet total = add(1, 2)\n",
    "fn add(a: Int, b: Int) -> Int = a +\n",
    "fn add(a: Int, b: Int) -> Int = a + \"b\"\n",
    "fn f() -> Int:\n\treturn 1\n",
    "",
    "let s = \"h\xC3\xA9llo {1 + 2} \xF0\x9F\x98\x80\"\nfn shout(t: Text) -> Text = t\n",
    "record P:\n    x: Int\nfn mk() -> P = P(x: 1)\nfn get(p: P) -> Int = p.x\n",
    "fn g[T](x: T) -> List[T] = [x]\nlet xs = g(g(1))\nmatch xs:\n",
    "fn f(x: Int) -> Int:\n    if x > 0:\n        return\n",
    "enum Shape:\n    Dot\n    Circle(r: Float)\nfn area(s: Shape) -> Float:\n    match s:\n        case Shape.Dot:\n"
    "            return 0.0\n",
};

// Documents of a saved file that imports `util`; the buffer decides what the document declares.
const std::vector<std::string> kImportingTexts{
    "import util\nlet y = util.twice(2)\n",
    "import util\nlet y = util.twice(\"a\")\n",
    "import util\nfn local() -> Int = util.twice(1)\n",
    "import util\nlet y = util.\n",
    "import missing\n",
};

json message(const std::string& method, const json& params, const std::optional<json>& id = std::nullopt) {
    json out{{"jsonrpc", "2.0"}, {"method", method}, {"params", params}};
    if (id) out["id"] = *id;
    return out;
}

json text_document(const std::string& uri) { return json{{"uri", uri}}; }

// How many messages the dispatch table says a message is answered with.
size_t replies_due(const json& m) {
    const std::string method = m["method"];
    if (method == "initialized" || method == "exit") return 0;
    if (method.starts_with("textDocument/") || method == "initialize" || method == "shutdown") return 1;
    return m.contains("id") ? 1 : 0;
}

long vm_rss_kb(const pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmRSS:")) return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return -1;
}

// Counts the complete frames of a growing output, reading each byte once.
class FrameCounter {
public:
    size_t update(const std::string& out) {
        for (;;) {
            const size_t header_end = out.find("\r\n\r\n", at_);
            if (header_end == std::string::npos) return count_;
            const size_t length = std::strtoul(out.c_str() + at_ + 16, nullptr, 10);
            if (header_end + 4 + length > out.size()) return count_;
            at_ = header_end + 4 + length;
            ++count_;
        }
    }

private:
    size_t at_ = 0;
    size_t count_ = 0;
};

TEST(Soak, TenThousandMessagesAreAnsweredAndMemoryStaysFlat) {
    const TempDir dir;
    dir.write("util.qn", "/// Doubles.\npub fn twice(n: Int) -> Int = n * 2\n");
    dir.write("stdlib/.keep", "");
    std::vector<std::string> uris;
    for (int i = 0; i < 6; ++i) uris.push_back("untitled:soak-" + std::to_string(i));
    for (int i = 0; i < 3; ++i) {
        const std::string name = "main" + std::to_string(i) + ".qn";
        dir.write(name, "import util\n");
        uris.push_back(dir.uri(name));
    }
    const auto importing = [](const std::string& uri) { return uri.starts_with("file:"); };

    Server oracle;
    oracle.stdlib_dir = dir.path() + "/stdlib";
    std::minstd_rand random(20240611);
    const auto pick = [&](const size_t n) { return static_cast<size_t>(random() % n); };
    const auto any_text = [&](const std::string& uri) {
        const auto& pool = importing(uri) ? kImportingTexts : kSingleTexts;
        return pool[pick(pool.size())];
    };

    std::string input;
    std::vector<json> sent;
    std::vector<json> expected;
    for (int i = 0; i < kMessages; ++i) {
        const std::string& uri = uris[pick(uris.size())];
        const int roll = static_cast<int>(pick(100));
        json m;
        if (roll < 15) {
            m = message("textDocument/didOpen", {{"textDocument", {{"uri", uri}, {"version", 1}, {"text", any_text(uri)}}}});
        } else if (roll < 45) {
            m = message("textDocument/didChange",
                        {{"textDocument", text_document(uri)}, {"contentChanges", json::array({{{"text", any_text(uri)}}})}});
        } else if (roll < 70) {
            m = message("textDocument/hover",
                        {{"textDocument", text_document(uri)}, {"position", {{"line", pick(4)}, {"character", pick(24)}}}},
                        i);
        } else if (roll < 80) {
            m = message("textDocument/didClose", {{"textDocument", text_document(uri)}});
        } else if (roll < 85) {
            m = message("workspace/symbol", {{"query", "x"}}, "req-" + std::to_string(i));
        } else if (roll < 90) {
            m = message("$/cancelRequest", {{"id", i}});
        } else if (roll < 95) {
            m = message(roll % 2 == 0 ? "initialize" : "shutdown", json::object(), i);
        } else {
            m = message("initialized", json::object());
        }
        input += frame(m);
        HandleOutcome outcome = oracle.handle(m);
        EXPECT_EQ(outcome.messages.size(), replies_due(m)) << m.dump();
        for (json& reply : outcome.messages) expected.push_back(std::move(reply));
        sent.push_back(std::move(m));
    }
    input += frame(message("exit", nullptr));

    // Sampled whenever the server has answered another kSampleEvery messages: the server is then
    // between messages or inside the next one, never holding more than one message's work.
    std::vector<std::pair<size_t, long>> samples;
    FrameCounter counter;
    const OutputWatcher watch = [&](const pid_t pid, const std::string& out) {
        const size_t replies = counter.update(out);
        if (!samples.empty() && replies < samples.back().first + kSampleEvery) return;
        // After its last reply the server may already have exited, and an exited process has no VmRSS.
        if (const long kb = vm_rss_kb(pid); kb > 0) samples.emplace_back(replies, kb);
    };
    // Memory a sanitizer holds back after frees would look like growth.
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string asan_options = std::string(asan != nullptr ? asan : "") + ":quarantine_size_mb=0";
    const ProcessResult result = run_process(QUELLIN_LSP_BIN, {}, input,
                                             {{"QUELLIN_STDLIB", dir.path() + "/stdlib"}, {"ASAN_OPTIONS", asan_options}},
                                             std::nullopt, watch);
    EXPECT_EQ(result.exit_status, 0) << result.err;
    EXPECT_EQ(result.err, "");

    const std::vector<json> got = parse_frames(result.out);
    ASSERT_EQ(got.size(), expected.size());
    size_t reply = 0;
    for (const json& m : sent) {
        for (size_t k = 0; k < replies_due(m); ++k, ++reply) {
            const json& answer = got[reply];
            ASSERT_EQ(answer, expected[reply]) << "answering " << m.dump();
            if (m.contains("id")) {
                EXPECT_EQ(answer.value("id", json("missing")), m["id"]);
            } else {
                EXPECT_EQ(answer["params"]["uri"], m["params"]["textDocument"]["uri"]);
            }
        }
    }

    std::string trace;
    for (const auto& [replies, kb] : samples) trace += std::to_string(replies) + ": " + std::to_string(kb) + " kB\n";
    long baseline = -1;
    long peak = -1;
    for (const auto& [replies, kb] : samples) {
        if (replies < kWarmUpReplies) continue;
        if (baseline < 0) baseline = kb;
        peak = std::max(peak, kb);
    }
    ASSERT_GE(baseline, 0) << "too few samples:\n" << trace;
    EXPECT_LE(peak - baseline, kRssMarginKb) << trace;
    ::testing::Test::RecordProperty("rss_trace", trace);
}

}  // namespace
}  // namespace quellin::lsp::testing
