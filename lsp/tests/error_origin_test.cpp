// An error that check_document finds in another file than the document says where it lies: that
// file, and the position and message a check of that file reports for it.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "lsp/pipeline.hpp"
#include "process.hpp"

namespace quellin::lsp::testing {
namespace {

namespace fs = std::filesystem;

// A public function with a type error on line 3, column 17.
const std::string kBrokenLibrary = "/// V.\npub fn v() -> Int = 1\nfn w() -> Int = \"x\"\n";

TEST(ErrorOrigin, NamesTheFileAndPlaceWhereTheErrorLies) {
    struct Case {
        std::string label;
        std::vector<SourceFile> files;  // the first is the document
        std::string origin_file;        // empty: the error lies in the document itself
        uint32_t line;
        uint32_t column;
        std::string message;  // the error's own message, as a check of its file reports it
    };
    const std::string cannot_import = "cannot import 'gone' — expected ";
    const Case cases[] = {
        {"type error in an imported module",
         {{"a.qn", "import b\nlet y = b.v()\n"}, {"b.qn", kBrokenLibrary}},
         "b.qn", 3, 17, "expected Int, found Text"},
        {"two imports down, in a vendored module",
         {{"a.qn", "import b\n"}, {"b.qn", "import v\n"}, {"vendor/v.qn", kBrokenLibrary}},
         "vendor/v.qn", 3, 17, "expected Int, found Text"},
        {"syntax error in an imported module",
         {{"a.qn", "import c\n"}, {"c.qn", "\nlet x = 1 \"a,b\"\n"}},
         "c.qn", 2, 11, "expected Newline to end the declaration, found Text(\"a,b\")"},
        {"an imported module's own import is missing",
         {{"a.qn", "import m\n"}, {"m.qn", "\n\nimport gone\n"}},
         "m.qn", 3, 1, ""},
        {"the document's own error", {{"a.qn", "import b\nlet y: Text = b.v()\n"}, {"b.qn", "/// V.\npub fn v() -> Int = 1\n"}},
         "", 2, 15, "expected Text, found Int"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const TempDir dir;
        write_all(dir, c.files);
        const fs::path document = fs::path(dir.path()) / c.files.front().name;
        const CheckOutcome outcome = check_document(c.files.front().text, document, std::nullopt);
        ASSERT_TRUE(outcome.error);
        if (c.origin_file.empty()) {
            EXPECT_EQ(outcome.error->origin, std::nullopt);
            EXPECT_EQ(outcome.error->line, c.line);
            EXPECT_EQ(outcome.error->column, c.column);
            continue;
        }
        ASSERT_TRUE(outcome.error->origin);
        const ErrorOrigin& origin = *outcome.error->origin;
        EXPECT_EQ(origin.file.string(), (fs::path(dir.path()) / c.origin_file).string());
        EXPECT_EQ(origin.line, c.line);
        EXPECT_EQ(origin.column, c.column);
        // A check of the origin's own file meets the same error, word for word.
        const fs::path origin_path = fs::path(dir.path()) / c.origin_file;
        const auto origin_source = std::find_if(c.files.begin(), c.files.end(),
                                                [&](const SourceFile& file) { return file.name == c.origin_file; });
        ASSERT_NE(origin_source, c.files.end());
        const CheckOutcome there = check_document(origin_source->text, origin_path, std::nullopt);
        ASSERT_TRUE(there.error);
        EXPECT_EQ(there.error->origin, std::nullopt);
        EXPECT_EQ(origin.message, there.error->message);
        if (c.message.empty()) {
            EXPECT_TRUE(origin.message.starts_with(cannot_import)) << origin.message;
        } else {
            EXPECT_EQ(origin.message, c.message);
        }
    }
}

}  // namespace
}  // namespace quellin::lsp::testing
