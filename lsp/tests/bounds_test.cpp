// Every growth bound, through the whole checking pipeline, right at the bound and one step past it:
// code at a bound is parsed, checked, copied (the document's own module is copied into the module
// list) and destroyed within the ordinary 8 MB stack, and one step further gives the bound's message.

#include <gtest/gtest.h>

#include <pthread.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/utf8.hpp"
#include "lsp/framing.hpp"
#include "lsp/pipeline.hpp"
#include "lsp/server.hpp"
#include "modules/file_text.hpp"
#include "process.hpp"

namespace quellin::lsp {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

const std::string kTooDeep =
    "this code nests too deeply (more than 256 levels) — move inner parts into functions or intermediate 'let' "
    "bindings";
const std::string kTooLong =
    "this expression chains too many operations (more than 1024) — split it with intermediate 'let' bindings";
const std::string kTooLarge =
    "this type grows too large (more than 4096 characters) — add type annotations or simplify the generic "
    "nesting";

std::string repeat(const std::string& s, const size_t n) {
    std::string out;
    out.reserve(s.size() * n);
    for (size_t i = 0; i < n; ++i) out += s;
    return out;
}

// `open` n times, then `middle`, then `close` n times.
std::string nest(const std::string& open, const size_t n, const std::string& middle, const std::string& close) {
    return repeat(open, n) + middle + repeat(close, n);
}

// Blocks nested n deep inside a function: each level an `if` whose body is the next level, the
// innermost holding `inner`.
std::string nested_ifs(const size_t n, const std::string& inner = "return x") {
    std::string out = "fn f(x: Int) -> Int:\n";
    for (size_t i = 1; i <= n; ++i) out += repeat("    ", i) + "if x > " + std::to_string(i) + ":\n";
    out += repeat("    ", n + 1) + inner + "\n";
    return out + "    return 0\n";
}

// `n` operations in a row: "x + 1 + 1 ...".
std::string chain(const size_t n, const std::string& first = "x") { return first + repeat(" + 1", n); }

// A match on n nested options with a pattern n deep, inside a function body and a match block.
std::string matched_somes(const size_t n) {
    return "fn f(x: " + nest("Option[", n, "Int", "]") + ") -> Int:\n    match x:\n        case " +
           nest("Some(", n, "v", ")") + ":\n            return 1\n        case _:\n            return 2\n";
}

// Matches nested n deep, each inside the one arm of the match around it, the innermost arm holding
// `inner`.
std::string nested_matches(const size_t n, const std::string& inner = "return x") {
    std::string out = "fn f(x: Int) -> Int:\n";
    std::string indent = "    ";
    for (size_t i = 0; i < n; ++i) {
        out += indent + "match x:\n" + indent + "    case _:\n";
        indent += "        ";
    }
    return out + indent + inner + "\n";
}

// Lambdas nested n deep, each returning the next.
std::string nested_lambdas(const size_t n) {
    std::string type = "Int";
    std::string body = "x";
    for (size_t i = 0; i < n; ++i) {
        body = "fn(x: Int) -> " + type + " = " + body;
        type = "fn(Int) -> " + type;
    }
    return "let f = " + body + "\n";
}

struct Bound {
    const char* label;
    std::string at_bound;    // checks cleanly
    std::string past_bound;  // fails with `message`
    std::string message;
};

// Runs `body` on a thread with exactly the 8 MB stack a main thread usually has, whatever the limit
// of this process's main thread.
void on_8mb_stack(const std::function<void()>& body) {
    constexpr size_t kStackBytes = size_t{8} << 20;
    pthread_attr_t attributes;
    ASSERT_EQ(pthread_attr_init(&attributes), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, kStackBytes), 0);
    pthread_t thread;
    const auto call = [](void* f) -> void* {
        (*static_cast<const std::function<void()>*>(f))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attributes, call, const_cast<std::function<void()>*>(&body)), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}

// The document is checked twice: alone, and as a module that imports another, which copies its tree
// into the module list and keeps it for hover.
void expect_bound(const Bound& b) {
    SCOPED_TRACE(b.label);
    const TempDir dir;
    dir.write("util.qn", "fn g() -> Int = 1\n");
    const fs::path document = dir.write("main.qn", "import util\n");

    for (const bool with_import : {false, true}) {
        SCOPED_TRACE(with_import ? "with an import" : "alone");
        const std::string prefix = with_import ? "import util\n" : "";
        const CheckOutcome clean = check_document(prefix + b.at_bound, document, std::nullopt);
        EXPECT_FALSE(clean.error) << clean.error->message;
        EXPECT_TRUE(clean.for_hover);

        const CheckOutcome failed = check_document(prefix + b.past_bound, document, std::nullopt);
        ASSERT_TRUE(failed.error);
        EXPECT_EQ(failed.error->message, b.message);
    }

    // The server keeps the tree for hover, renders its types, and drops it again on close.
    Server server;
    server.documents["untitled:bound"] = b.at_bound;
    EXPECT_EQ(server.diagnostics_note("untitled:bound").messages.at(0)["params"]["diagnostics"], nlohmann::json::array());
    for (uint64_t line = 0; line < 3; ++line) {
        const std::optional<std::string> hover = server.hover("untitled:bound", line, 3);
        EXPECT_TRUE(is_valid_utf8(serialize(response(1, hover ? nlohmann::json(*hover) : nlohmann::json()))));
    }
    server.handle({{"method", "textDocument/didClose"}, {"params", {{"textDocument", {{"uri", "untitled:bound"}}}}}});
    EXPECT_TRUE(server.hover_modules.empty());
}

TEST(PipelineBounds, NestingAndTreeDepth) {
    const std::vector<Bound> bounds{
        {"parentheses", "let x = " + nest("(", 256, "1", ")") + "\n", "let x = " + nest("(", 257, "1", ")") + "\n",
         kTooDeep},
        {"lists", "let x = " + nest("[", 256, "1", "]") + "\n", "let x = " + nest("[", 257, "1", "]") + "\n", kTooDeep},
        {"prefix operators", "let x = " + repeat("-", 256) + "1\n", "let x = " + repeat("-", 257) + "1\n", kTooDeep},
        {"not", "let x = " + repeat("not ", 256) + "true\n", "let x = " + repeat("not ", 257) + "true\n", kTooDeep},
        {"generic calls", "fn id[T](v: T) -> T = v\nlet x = " + nest("id(", 256, "1", ")") + "\n",
         "fn id[T](v: T) -> T = v\nlet x = " + nest("id(", 257, "1", ")") + "\n", kTooDeep},
        {"Some", "let x = " + nest("Some(", 256, "1", ")") + "\n", "let x = " + nest("Some(", 257, "1", ")") + "\n",
         kTooDeep},
        {"interpolations", "let x = " + nest("\"{", 256, "1", "}\"") + "\n",
         "let x = " + nest("\"{", 257, "1", "}\"") + "\n", kTooDeep},
        {"blocks", nested_ifs(255), nested_ifs(256), kTooDeep},
        {"types", "fn f(x: " + nest("List[", 256, "Int", "]") + ") -> Int = 1\n",
         "fn f(x: " + nest("List[", 257, "Int", "]") + ") -> Int = 1\n", kTooDeep},
        {"patterns", matched_somes(254), matched_somes(255), kTooDeep},
        {"matches", nested_matches(255), nested_matches(256), kTooDeep},
        {"lambdas", nested_lambdas(256), nested_lambdas(257), kTooDeep},
        {"generic records", "record Box[T]:\n    v: T\nlet b = " + nest("Box(v: ", 256, "1", ")") + "\n",
         "record Box[T]:\n    v: T\nlet b = " + nest("Box(v: ", 257, "1", ")") + "\n", kTooDeep},
        {"tuples", "let t = " + nest("(1, ", 256, "1", ")") + "\n", "let t = " + nest("(1, ", 257, "1", ")") + "\n",
         kTooDeep},
        {"maps", "let m = " + nest("{1: ", 256, "1", "}") + "\n", "let m = " + nest("{1: ", 257, "1", "}") + "\n",
         kTooDeep},
        {"binary chain", "let x = " + chain(1024, "1") + "\n", "let x = " + chain(1025, "1") + "\n", kTooLong},
        {"logical chain", "let x = true" + repeat(" and true", 1024) + "\n",
         "let x = true" + repeat(" and true", 1025) + "\n", kTooLong},
        // A method call is two operations: the field read and the call.
        {"method chain", "let x = \"a\"" + repeat(".trim()", 512) + "\n", "let x = \"a\"" + repeat(".trim()", 513) + "\n",
         kTooLong},
        {"chains inside parentheses", "let x = " + nest("(", 200, chain(1024, "1"), ")") + "\n",
         "let x = " + nest("(", 200, chain(1025, "1"), ")") + "\n", kTooLong},
        {"chains inside blocks", nested_ifs(200, "return " + chain(1024)), nested_ifs(200, "return " + chain(1025)),
         kTooLong},
        // Both bounds reached at once: the deepest walks the checker, copying and destroying ever make.
        {"chains at the deepest block", nested_ifs(255, "return " + chain(1024)),
         nested_ifs(255, "return " + chain(1025)), kTooLong},
        // A call's parentheses and a negation's take a level each, so these sit one and two blocks higher.
        {"method chains at the deepest block", nested_ifs(254, "return \"a\"" + repeat(".trim()", 511) + ".len()"),
         nested_ifs(254, "return \"a\"" + repeat(".trim()", 512) + ".len()"), kTooLong},
        {"chains at the deepest match", nested_matches(255, "return " + chain(1024)),
         nested_matches(255, "return " + chain(1025)), kTooLong},
        {"negated chains at the deepest block", nested_ifs(253, "return -(" + chain(1023) + ")"),
         nested_ifs(253, "return -(" + chain(1024) + ")"), kTooLong},
    };
    on_8mb_stack([&] {
        for (const Bound& b : bounds) expect_bound(b);
    });
}

void import_chain_of_256_modules() {
    const auto chain = [](const TempDir& dir, const int count) {
        for (int i = 1; i < count; ++i) {
            const std::string next = i + 1 < count ? "import m" + std::to_string(i + 1) + "\n" : "";
            dir.write("m" + std::to_string(i) + ".qn", next + "/// One.\npub fn f() -> Int = 1\n");
        }
        return dir.write("m0.qn", "import m1\n");
    };
    const std::string text = "import m1\nlet x = m1.f()\n";

    const TempDir at_bound;
    const CheckOutcome clean = check_document(text, chain(at_bound, 256), std::nullopt);
    EXPECT_FALSE(clean.error) << clean.error->message;
    ASSERT_TRUE(clean.for_hover);
    EXPECT_EQ(clean.modules.size(), 256u);

    const TempDir past;
    const CheckOutcome failed = check_document(text, chain(past, 257), std::nullopt);
    ASSERT_TRUE(failed.error);
    EXPECT_EQ(failed.error->message, "[" + (fs::path(past.path()) / "m255.qn").string() +
                                         "]: import chain is deeper than 256 modules — flatten the module structure");
    EXPECT_EQ(failed.error->line, 1u);
    EXPECT_EQ(failed.error->column, 1u);
}

TEST(PipelineBounds, ImportChainOf256Modules) { on_8mb_stack(import_chain_of_256_modules); }

// A generic function that wraps its argument grows the inferred type by six characters ("List[" and
// "]") per call; the leaf is a record whose name fills the rest up to exactly 4096 characters.
std::string wrapped_record(const size_t name_length) {
    const std::string name = "R" + std::string(name_length - 1, 'x');
    return "record " + name + ":\n    v: Int\nfn wrap[T](x: T) -> List[T] = [x]\nfn f(r: " + name +
           ") -> Int:\n    let w = " + nest("wrap(", 200, "r", ")") + "\n    return 1\n";
}

TEST(PipelineBounds, InferredTypesStopAt4096Characters) {
    on_8mb_stack([] {
        expect_bound({"wrapped", wrapped_record(4096 - 6 * 200), wrapped_record(4096 - 6 * 200 + 1), kTooLarge});

        // Each call doubles the type: without the bound, thirty calls would need gigabytes.
        const std::string dup =
            "fn dup[T](x: T) -> Tuple[T, T] = (x, x)\nlet a = " + nest("dup(", 30, "1", ")") + "\n";
        const CheckOutcome outcome = check_document(dup, std::nullopt, std::nullopt);
        ASSERT_TRUE(outcome.error);
        EXPECT_EQ(outcome.error->message, kTooLarge);
    });
}

// Checking takes many bytes of memory per byte of source, so larger texts are refused outright, both
// an editor buffer and a module file on disk.
TEST(PipelineBounds, SourceTextsUpTo8MiB) {
    const auto filler = [](const size_t bytes) {
        std::string text;
        while (text.size() + 32 <= bytes) text += "// " + std::string(28, '.') + "\n";
        return text + std::string(bytes - text.size(), '\n');
    };
    const std::string at_bound = filler(kMaxSourceFileBytes);
    const std::string past = filler(kMaxSourceFileBytes + 1);
    ASSERT_EQ(at_bound.size(), size_t{8} << 20);

    EXPECT_FALSE(check_document(at_bound, std::nullopt, std::nullopt).error);
    const CheckOutcome refused = check_document(past, std::nullopt, std::nullopt);
    ASSERT_TRUE(refused.error);
    EXPECT_EQ(refused.error->message,
              "this file is larger than 8 MiB — QUELLIN checks files of up to that size; split it into modules");
    EXPECT_EQ(refused.error->line, 1u);
    EXPECT_EQ(refused.error->column, 1u);
    EXPECT_FALSE(refused.for_hover);

    const TempDir dir;
    dir.write("big.qn", past);
    const fs::path document = dir.write("main.qn", "import big\n");
    const CheckOutcome import = check_document("import big\n", document, std::nullopt);
    ASSERT_TRUE(import.error);
    EXPECT_EQ(import.error->message, "cannot import 'big' — expected " + (fs::path(dir.path()) / "big.qn").string() +
                                         " next to the importing file (file is larger than 8 MiB)");
}

// The messages quote the document; one built to be enormous is cut at a character boundary.
TEST(PipelineBounds, MessagesAreCutAfter8KiB) {
    const auto message_for = [](const std::string& name) {
        const CheckOutcome outcome = check_document("let x = " + name + "\n", std::nullopt, std::nullopt);
        EXPECT_TRUE(outcome.error);
        return outcome.error ? outcome.error->message : std::string();
    };
    // An unknown name is quoted once in its message: find how long the rest is.
    const size_t rest = message_for("y").size() - 1;
    const std::string at_bound = message_for(std::string(kMaxMessageBytes - rest, 'y'));
    EXPECT_EQ(at_bound.size(), kMaxMessageBytes);
    EXPECT_EQ(at_bound.find("…"), std::string::npos);

    const std::string cut = message_for(std::string(kMaxMessageBytes - rest + 1, 'y'));
    EXPECT_EQ(cut.size(), kMaxMessageBytes);
    EXPECT_EQ(cut.substr(cut.size() - 3), "…");
    EXPECT_EQ(cut.substr(0, 100), at_bound.substr(0, 100));
}

TEST(PipelineBounds, CutMessagesKeepWholeCharacters) {
    const std::string e_acute = "\xC3\xA9";
    for (size_t pad = 0; pad < 4; ++pad) {
        SCOPED_TRACE(pad);
        const std::string message = std::string(pad, 'a') + repeat(e_acute + "\xE2\x82\xAC" + "\xF0\x9F\x98\x80", 2000);
        const std::string cut = bounded_message(message);
        EXPECT_LE(cut.size(), kMaxMessageBytes);
        EXPECT_GT(cut.size(), kMaxMessageBytes - 6);
        EXPECT_TRUE(is_valid_utf8(cut));
        EXPECT_EQ(message.substr(0, cut.size() - 3), cut.substr(0, cut.size() - 3));
    }
    EXPECT_EQ(bounded_message(std::string(kMaxMessageBytes, 'x')), std::string(kMaxMessageBytes, 'x'));
    EXPECT_EQ(bounded_message(""), "");
}

}  // namespace
}  // namespace quellin::lsp
