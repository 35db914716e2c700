#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "modules/modules.hpp"
#include "parser/parser.hpp"

namespace quellin {
namespace {

namespace fs = std::filesystem;

using Files = std::vector<std::pair<std::string, std::string>>;  // relative path, text ("/" for a directory)

// A scratch directory of module files, removed again when the test ends.
class TempTree {
public:
    TempTree() {
        std::string pattern = (fs::temp_directory_path() / "quellin-modules-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) root_ = pattern;
    }
    explicit TempTree(const Files& files) : TempTree() {
        for (const auto& [relative, text] : files) write(relative, text);
    }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;
    ~TempTree() {
        std::error_code ec;
        if (!root_.empty()) fs::remove_all(root_, ec);
    }

    bool ok() const { return !root_.empty(); }
    fs::path path(const std::string& relative) const { return root_ / relative; }

    fs::path write(const std::string& relative, const std::string& text) const {
        const fs::path file = path(relative);
        std::error_code ec;
        fs::create_directories(text == "/" ? file : file.parent_path(), ec);
        if (text != "/") std::ofstream(file, std::ios::binary) << text;
        return file;
    }

    // Replaces each "{relative/path}" in `text` by that path inside the tree, as displayed.
    std::string expand(std::string text) const {
        for (auto open = text.find('{'); open != std::string::npos; open = text.find('{', open)) {
            const auto close = text.find('}', open);
            const std::string shown = path(text.substr(open + 1, close - open - 1)).string();
            text.replace(open, close - open + 1, shown);
            open += shown.size();
        }
        return text;
    }

private:
    fs::path root_;
};

void expect_error(const Expected<std::vector<Module>, ModuleError>& result, const fs::path& file,
                  const std::string& message, const Span span) {
    ASSERT_FALSE(result.has_value()) << message;
    EXPECT_EQ(result.error().file, file);
    EXPECT_EQ(result.error().message, message);
    EXPECT_EQ(result.error().span.line, span.line);
    EXPECT_EQ(result.error().span.col, span.col);
}

struct LoadCase {
    const char* label;
    Files files;
    std::vector<std::string> order;  // the modules' files, as loaded; the root last
};

TEST(LoaderTest, LoadsDependenciesFirstFromTheRightDirectory) {
    const std::vector<LoadCase> cases{
        // The shared dependency loads once; an import inside a block is not the loader's business.
        {"shared dependency",
         {{"a.qn", "import c\n"}, {"b.qn", "import c\n"}, {"c.qn", "fn f() -> Int = 1\n"},
          {"main.qn", "import a\nimport b\ntest \"t\":\n    import nowhere\n"}},
         {"c.qn", "a.qn", "b.qn", "main.qn"}},
        {"local beats stdlib", {{"util.qn", ""}, {"std/util.qn", ""}, {"main.qn", "import util\n"}},
         {"util.qn", "main.qn"}},
        {"local beats vendor", {{"util.qn", ""}, {"vendor/util.qn", ""}, {"main.qn", "import util\n"}},
         {"util.qn", "main.qn"}},
        {"vendor beats stdlib", {{"vendor/util.qn", ""}, {"std/util.qn", ""}, {"main.qn", "import util\n"}},
         {"vendor/util.qn", "main.qn"}},
        {"stdlib modules see their own directory first",
         {{"std/io.qn", "import text\n"}, {"std/text.qn", ""}, {"vendor/text.qn", ""}, {"main.qn", "import io\n"}},
         {"std/text.qn", "std/io.qn", "main.qn"}},
    };
    for (const auto& c : cases) {
        const TempTree tree(c.files);
        ASSERT_TRUE(tree.ok());
        const auto result = load_modules_with_stdlib(tree.path("main.qn"), tree.path("std"));
        ASSERT_TRUE(result.has_value()) << c.label << ": " << result.error().message;
        ASSERT_EQ(result->size(), c.order.size()) << c.label;
        for (std::size_t i = 0; i < c.order.size(); ++i) {
            EXPECT_EQ((*result)[i].path, tree.path(c.order[i])) << c.label;
            EXPECT_EQ((*result)[i].name, fs::path(c.order[i]).stem().string()) << c.label;
        }
    }
}

struct ErrorCase {
    const char* label;
    Files files;
    std::string root;
    std::string file;
    std::string message;  // "{relative/path}" stands for that path in the tree
    Span span;
};

// The loader's errors as its caller sees them: which file, and where in it. Errors that a document
// shows in full through the server are file tests in modules/tests/files/; these are the ones whose
// file or position the server's diagnostic does not show, and those of the root path itself.
TEST(LoaderTest, ReportsTheFirstModuleError) {
    const std::string cycle_hint =
        " — modules cannot import each other in a loop; move the shared functions into a third module";
    const std::vector<ErrorCase> cases{
        {"cycle", {{"main.qn", "import a\n"}, {"a.qn", "import b\n"}, {"b.qn", "import c\nimport a\n"}, {"c.qn", ""}},
         "main.qn", "b.qn", "import cycle: main → a → b → a" + cycle_hint, Span{2, 1}},
        {"cycle through the root", {{"main.qn", "import a\n"}, {"a.qn", "\nimport main\n"}}, "main.qn", "a.qn",
         "import cycle: main → a → main" + cycle_hint, Span{2, 1}},
        {"self-import", {{"main.qn", "import a\n"}, {"a.qn", "fn f() -> Int = 1\nimport a\n"}}, "main.qn", "a.qn",
         "module 'a' cannot import itself", Span{2, 1}},
        {"missing root", {}, "main.qn", "main.qn", "cannot read '{main.qn}': No such file or directory", Span{0, 0}},
        {"root is a directory", {{"main.qn", "/"}}, "main.qn", "main.qn", "cannot read '{main.qn}': Is a directory",
         Span{0, 0}},
        {"no file name", {{"dir", "/"}}, "dir/", "dir/", "module files need a name — expected '<name>.qn'", Span{0, 0}},
        {"parent directory", {}, "..", "..", "module files need a name — expected '<name>.qn'", Span{0, 0}},
        {"name not UTF-8", {{"\xFF.qn", ""}}, "\xFF.qn", "\xFF.qn", "module files need a name — expected '<name>.qn'",
         Span{0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const TempTree tree(c.files);
        ASSERT_TRUE(tree.ok());
        expect_error(load_modules_with_stdlib(tree.path(c.root), tree.path("std")), tree.path(c.file),
                     tree.expand(c.message), c.span);
    }
}

TEST(LoaderTest, SyntaxErrorIsReportedInItsOwnFile) {
    const std::string broken = "fn ok() -> Int = 1\nlet = 2\n";
    const auto expected = parse(broken);
    ASSERT_FALSE(expected.has_value());

    const TempTree tree(Files{{"main.qn", "import util\n"}, {"util.qn", broken}});
    expect_error(load_modules_with_stdlib(tree.path("main.qn"), std::nullopt), tree.path("util.qn"),
                 expected.error().message, expected.error().span);
}

TEST(LoaderTest, FilesMustBeUtf8) {
    const std::vector<std::string> invalid{
        "\x80",              // stray continuation byte
        "\xC0\xAF",          // overlong '/'
        "\xE0\x80\xAF",      // overlong in three bytes
        "\xF0\x80\x80\xAF",  // overlong in four bytes
        "\xED\xA0\x80",      // surrogate U+D800
        "\xF4\x90\x80\x80",  // above U+10FFFF
        "\xE2\x82",          // truncated at the end
        "\xE2\x28\xA1",      // bad continuation
        "\xFF",
    };
    for (const auto& bytes : invalid) {
        const TempTree tree(Files{{"main.qn", "let s = \"" + bytes + "\"\n"}});
        expect_error(load_modules_with_stdlib(tree.path("main.qn"), std::nullopt), tree.path("main.qn"),
                     tree.expand("cannot read '{main.qn}': stream did not contain valid UTF-8"), Span{0, 0});
    }

    const TempTree tree(Files{{"main.qn", "let s = \"é € \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF\"\n"}});
    const auto result = load_modules_with_stdlib(tree.path("main.qn"), std::nullopt);
    EXPECT_TRUE(result.has_value()) << result.error().message;
}

// m0 imports m1, which imports m2, and so on up to m{count - 1}.
Files chain(const int count) {
    Files files;
    for (int i = 0; i < count; ++i) {
        // Built by appending: g++ 12 at -O3 warns falsely (-Wrestrict) on "literal" + std::to_string(...).
        std::string text = "fn f() -> Int = 1\n";
        if (i + 1 < count) text.append("import m").append(std::to_string(i + 1)).append("\n");
        std::string name = "m";
        name.append(std::to_string(i)).append(".qn");
        files.emplace_back(std::move(name), std::move(text));
    }
    return files;
}

TEST(LoaderTest, ImportChainsAreBounded) {
    const TempTree at_limit(chain(256));
    const auto loaded = load_modules_with_stdlib(at_limit.path("m0.qn"), std::nullopt);
    ASSERT_TRUE(loaded.has_value()) << loaded.error().message;
    EXPECT_EQ(loaded->size(), 256u);

    const TempTree deeper(chain(257));
    expect_error(load_modules_with_stdlib(deeper.path("m0.qn"), std::nullopt), deeper.path("m255.qn"),
                 "import chain is deeper than 256 modules — flatten the module structure", Span{2, 1});
}

// Pipes and devices are never read: /dev/stdin or /proc/self/fd/0 would take bytes from the server's
// own input, and a pipe would hand over whatever some other process writes. A NUL byte in a name would
// make the system read the file named by the part before it.
TEST(LoaderTest, OnlyRegularFilesAreRead) {
    const TempTree tree(Files{{"main.qn", "import pipe\n"}, {"dir/main.qn", "fn f() -> Int = 1\n"}});
    ASSERT_EQ(::mkfifo(tree.path("pipe.qn").c_str(), 0600), 0);
    expect_error(load_modules_with_stdlib(tree.path("main.qn"), std::nullopt), tree.path("main.qn"),
                 tree.expand("cannot import 'pipe' — expected {pipe.qn} next to the importing file (not a regular "
                             "file)"),
                 Span{1, 1});

    expect_error(load_modules_with_stdlib("/dev/null", std::nullopt), "/dev/null",
                 "cannot read '/dev/null': not a regular file", Span{0, 0});

    const fs::path with_nul = tree.path("dir/main.qn") += std::string_view("\0/x", 3);
    expect_error(load_modules_with_stdlib(with_nul, std::nullopt), with_nul,
                 "cannot read '" + with_nul.string() + "': file name contains a NUL byte", Span{0, 0});

    // A link to a regular file is read as that file.
    fs::create_symlink(tree.path("dir/main.qn"), tree.path("linked.qn"));
    EXPECT_TRUE(load_modules_with_stdlib(tree.path("linked.qn"), std::nullopt).has_value());
}

TEST(LoaderTest, FilesUpTo8MiBAreRead) {
    const std::string line = "// " + std::string(60, '.') + "\n";
    std::string text;
    while (text.size() < (size_t{8} << 20)) text += line;
    text.resize(size_t{8} << 20, '\n');
    const TempTree tree(Files{{"fits.qn", text}, {"over.qn", text + "\n"}});
    EXPECT_TRUE(load_modules_with_stdlib(tree.path("fits.qn"), std::nullopt).has_value());
    expect_error(load_modules_with_stdlib(tree.path("over.qn"), std::nullopt), tree.path("over.qn"),
                 tree.expand("cannot read '{over.qn}': file is larger than 8 MiB"), Span{0, 0});
}

// The tree of each module of a load, by module name; watched, not held.
std::map<std::string, std::weak_ptr<const ast::Program>> trees_of(const std::vector<Module>& modules) {
    std::map<std::string, std::weak_ptr<const ast::Program>> trees;
    for (const Module& module : modules) trees[module.name] = module.program;
    return trees;
}

TEST(ParseCacheTest, ALoadTakesTheTreesOfFilesWhoseBytesAreUnchanged) {
    struct Step {
        const char* what;
        Files writes;                   // written before the load
        bool drop_earlier;              // the earlier loads' trees are let go before it
        std::vector<std::string> kept;  // the modules whose tree is the previous load's
    };
    const std::vector<Step> steps{
        {"first load", {}, false, {}},
        {"nothing changed", {}, false, {"a", "b", "main"}},
        {"one file changed", {{"a.qn", "fn f() -> Int = 2\n"}}, false, {"b", "main"}},
        {"rewritten with the same bytes", {{"b.qn", "import a\n"}}, false, {"a", "b", "main"}},
        {"changed back: the cache has the latest tree of each file only", {{"a.qn", "fn f() -> Int = 1\n"}}, false,
         {"b", "main"}},
        {"nothing held: nothing to take", {}, true, {}},
    };
    const TempTree tree({{"a.qn", "fn f() -> Int = 1\n"}, {"b.qn", "import a\n"}, {"main.qn", "import a\nimport b\n"}});
    ParseCache cache;
    std::vector<std::vector<Module>> held;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        for (const auto& [relative, text] : step.writes) tree.write(relative, text);
        std::map<std::string, std::weak_ptr<const ast::Program>> previous;
        if (!held.empty()) previous = trees_of(held.back());
        if (step.drop_earlier) {
            held.clear();
            EXPECT_EQ(cache.live(), 0u);
        }
        auto loaded = load_modules_with_stdlib(tree.path("main.qn"), std::nullopt, &cache);
        ASSERT_TRUE(loaded.has_value()) << loaded.error().message;
        std::vector<std::string> kept;
        for (const Module& module : *loaded) {
            if (previous[module.name].lock() == module.program) kept.push_back(module.name);
        }
        std::sort(kept.begin(), kept.end());
        EXPECT_EQ(kept, step.kept);
        EXPECT_EQ(cache.live(), 3u);
        held.push_back(std::move(*loaded));
    }
    held.clear();
    EXPECT_EQ(cache.live(), 0u);
}

// A tree offered for a file (a document's, parsed from its editor's text) is taken by loads that read
// the same bytes from that file, and never displaces the tree of the file as a load last read it.
TEST(ParseCacheTest, AnOfferedTreeServesLoadsOfTheSameBytesWithoutDisplacingTheFilesTree) {
    const TempTree tree({{"a.qn", "fn f() -> Int = 1\n"}, {"main.qn", "import a\n"}});
    const auto parsed = [](std::string_view text) { return parse(text).value(); };
    ParseCache cache;

    // Nothing held for a.qn: the offer is kept, and a load that reads the same bytes takes it.
    const std::string text = "fn f() -> Int = 1\n";
    std::shared_ptr<const ast::Program> offered = cache.offer(tree.path("a.qn"), text, parsed(text));
    auto loaded = std::make_optional(load_modules_with_stdlib(tree.path("main.qn"), std::nullopt, &cache));
    ASSERT_TRUE(loaded->has_value());
    EXPECT_EQ(trees_of(**loaded)["a"].lock(), offered);

    // The file's tree lives: an offer of other text is handed back but not kept.
    const std::string edited = "fn f() -> Int = 2\n";
    const std::shared_ptr<const ast::Program> other = cache.offer(tree.path("a.qn"), edited, parsed(edited));
    EXPECT_NE(other, nullptr);
    EXPECT_EQ(cache.find(tree.path("a.qn"), edited), nullptr);
    EXPECT_EQ(cache.find(tree.path("a.qn"), text), offered);

    // Once nothing holds it, an offer takes its place, unless its text is not UTF-8, which no load
    // would take.
    loaded.reset();
    offered = nullptr;
    const std::string not_utf8 = "fn f() -> Int = 1 // \xff\n";
    const std::shared_ptr<const ast::Program> refused = cache.offer(tree.path("a.qn"), not_utf8, parsed(edited));
    EXPECT_NE(refused, nullptr);
    EXPECT_EQ(cache.find(tree.path("a.qn"), not_utf8), nullptr);
    const std::shared_ptr<const ast::Program> replacing = cache.offer(tree.path("a.qn"), edited, parsed(edited));
    EXPECT_EQ(cache.find(tree.path("a.qn"), edited), replacing);
}

// A file whose bytes change from text the cache has to something that does not load fails exactly
// as it would without a cache.
TEST(ParseCacheTest, ErrorsAreThoseOfALoadWithoutACache) {
    struct Case {
        const char* what;
        std::string broken;  // the new bytes of a.qn
    };
    const std::vector<Case> cases{
        {"a syntax error", "fn (\n"},
        {"bytes that are not UTF-8", "fn f() -> Int = 1\n\xff\n"},
        {"an import of a missing module", "import nowhere\n"},
        {"an import cycle", "import main\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const TempTree tree({{"a.qn", "fn f() -> Int = 1\n"}, {"main.qn", "import a\n"}});
        ParseCache cache;
        const auto clean = load_modules_with_stdlib(tree.path("main.qn"), std::nullopt, &cache);
        ASSERT_TRUE(clean.has_value());
        tree.write("a.qn", c.broken);
        const auto without = load_modules_with_stdlib(tree.path("main.qn"), std::nullopt);
        ASSERT_FALSE(without.has_value());
        for (int round = 0; round < 2; ++round) {
            expect_error(load_modules_with_stdlib(tree.path("main.qn"), std::nullopt, &cache), without.error().file,
                         without.error().message, without.error().span);
        }
    }
}

TEST(SamePathTest, ComparesComponents) {
    struct Case {
        const char* a;
        const char* b;
        bool same;
    };
    const std::vector<Case> cases{
        {"a/b.qn", "a/b.qn", true},   {"a//b.qn", "a/b.qn", true},     {"a/./b.qn", "a/b.qn", true},
        {"a/b/", "a/b", true},        {"a/b.qn", "a/c.qn", false},     {"a/../b.qn", "b.qn", false},
        {"/a/b.qn", "a/b.qn", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(same_path(c.a, c.b), c.same) << c.a << " vs " << c.b;
        EXPECT_EQ(same_path(c.b, c.a), c.same) << c.b << " vs " << c.a;
    }
}

}  // namespace
}  // namespace quellin
