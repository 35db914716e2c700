// The bundled standard library: every module checks clean on its own, a user file that imports all of
// them checks clean, and hovering a qualified call shows the function's signature and documentation.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "lsp/pipeline.hpp"
#include "lsp/server.hpp"
#include "process.hpp"

namespace quellin::lsp {
namespace {

const std::filesystem::path kStdlib = QUELLIN_STDLIB_SOURCE_DIR;

std::string read_all(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

TEST(Stdlib, EveryModuleChecksClean) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(kStdlib)) {
        if (entry.path().extension() == ".qn") files.push_back(entry.path());
    }
    ASSERT_GE(files.size(), 5u);
    for (const auto& file : files) {
        SCOPED_TRACE(file.string());
        const CheckOutcome outcome = check_document(read_all(file), file, kStdlib);
        EXPECT_FALSE(outcome.error.has_value()) << outcome.error->message << " at " << outcome.error->line << ":"
                                                << outcome.error->column;
    }
}

TEST(Stdlib, AUserFileImportsEveryModuleAndHoversItsFunctions) {
    const std::string text =
        "import math\n"
        "import text\n"
        "import lists\n"
        "import options\n"
        "import results\n"
        "\n"
        "fn main() -> Void:\n"
        "    let xs = lists.range(1, 10)\n"
        "    let biggest = options.or_else(math.max_of(xs), 0)\n"
        "    let sorted = lists.unique(lists.flatten([xs, xs]))\n"
        "    let parsed: Result[Int, Text] = Ok(math.gcd(12, 18))\n"
        "    let shown = text.pad_left(\"{biggest} {sorted.len()}\", 12)\n"
        "    print(\"{shown} {results.or_else(parsed, 0)} {math.clamp(lists.sum(xs), 0, 40)}\")\n";
    const testing::TempDir dir;
    dir.write("main.qn", text);
    Server server;
    server.stdlib_dir = kStdlib;
    const std::string uri = dir.uri("main.qn");
    server.documents[uri] = text;
    const nlohmann::json note = server.diagnostics_note(uri).messages.at(0);
    EXPECT_EQ(note["params"]["diagnostics"], nlohmann::json::array()) << note.dump();

    struct Hover {
        uint64_t line;
        uint64_t character;
        std::string expected;
    };
    const Hover hovers[] = {
        {7, 20, "```quellin\nfn lists.range(start: Int, stop: Int) -> List[Int]\n```\n\n"
                "The numbers from start up to, but not including, stop."},
        {8, 40, "```quellin\nfn math.max_of(xs: List[Int]) -> Option[Int]\n```\n\n"
                "The largest number of a list, or None for an empty list."},
        {8, 26, "```quellin\nfn options.or_else[T](opt: Option[T], fallback: T) -> T\n```\n\n"
                "The value inside an option, or the fallback when there is none."},
        {11, 22, "```quellin\nfn text.pad_left(t: Text, width: Int) -> Text\n```\n\n"
                 "The text padded on the left with spaces to at least the given width."},
        {12, 30, "```quellin\nfn results.or_else[T](res: Result[T, Text], fallback: T) -> T\n```\n\n"
                 "The success value of a result, or the fallback when it failed."},
    };
    for (const Hover& h : hovers) {
        SCOPED_TRACE(h.expected);
        const std::optional<std::string> shown = server.hover(uri, h.line, h.character);
        ASSERT_TRUE(shown.has_value());
        EXPECT_EQ(*shown, h.expected);
    }
}

}  // namespace
}  // namespace quellin::lsp
