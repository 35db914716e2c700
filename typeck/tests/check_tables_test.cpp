// A caller may have the checkers' tables handed over instead of freed when checking ends. Handing them
// over must not change any answer, must happen whether the check passed or failed at any stage, and the
// tables must be freeable after the syntax trees they came from are gone (the sanitizer build runs this
// too, so a table that still read a tree would fail here).

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "check_helpers.hpp"

namespace quellin::typeck {
namespace {

using testing::check_source;
using testing::check_sources;
using testing::Sources;

std::vector<ModuleInput> parsed_modules(const Sources& sources) {
    std::vector<ModuleInput> inputs;
    for (const auto& [name, source] : sources) {
        auto parsed = parse(source);
        EXPECT_TRUE(parsed.has_value()) << source;
        if (parsed) inputs.emplace_back(name, std::make_shared<const ast::Program>(std::move(parsed).value()));
    }
    return inputs;
}

struct ProgramCase {
    const char* what;
    std::string source;
    bool fails;
};

TEST(CheckTables, HandingOverTheTablesOfOneProgramChangesNoAnswer) {
    const std::string generic_pair =
        "record Pair[A, B]:\n    first: A\n    second: B\n"
        "fn swap[A, B](p: Pair[A, B]) -> Pair[B, A] = Pair(first: p.second, "
        "second: p.first)\n";
    const ProgramCase cases[] = {
        {"clean, with generic instances", generic_pair + "let p = swap(Pair(first: 1, second: \"a\"))\n", false},
        {"unknown field type", "record R:\n    v: Foo\n", true},
        {"value cycle", "record A:\n    b: B\nrecord B:\n    a: A\n", true},
        {"unknown parameter type", "fn f(x: Foo) -> Int = 1\n", true},
        {"error in a body", "fn f() -> Int = \"text\"\n", true},
        {"error at top level after functions", generic_pair + "let n: Int = swap(1)\n", true},
    };
    for (const ProgramCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<TypeError> freed = check_source(c.source);
        ASSERT_EQ(freed.has_value(), c.fails) << (freed ? freed->message : "checked clean");

        CheckTables tables;
        std::optional<Expected<void, TypeError>> kept;
        {
            auto parsed = parse(c.source);
            ASSERT_TRUE(parsed.has_value());
            kept = check_program(*parsed, &tables);
        }  // the tree is gone before the tables are freed
        EXPECT_FALSE(tables.empty());
        ASSERT_EQ(kept->has_value(), !c.fails);
        if (freed) {
            EXPECT_EQ(kept->error().message, freed->message);
            EXPECT_EQ(kept->error().span.line, freed->span.line);
            EXPECT_EQ(kept->error().span.col, freed->span.col);
        }
        tables = CheckTables();
        EXPECT_TRUE(tables.empty());
    }
}

struct ModulesCase {
    const char* what;
    Sources modules;
    bool fails;
};

TEST(CheckTables, HandingOverTheTablesOfSeveralModulesChangesNoAnswer) {
    const std::string util =
        "/// A value.\npub record P:\n    v: Int\n"
        "/// Makes one.\npub fn make(v: Int) -> P = P(v: v)\n";
    const ModulesCase cases[] = {
        {"clean", {{"util", util}, {"main", "import util\nlet p = util.make(1)\n"}}, false},
        {"error in the imported module",
         {{"util", "/// One.\npub fn f() -> Int = \"x\"\n"}, {"main", "import util\n"}},
         true},
        {"error in the entry module", {{"util", util}, {"main", "import util\nlet p: Int = util.make(1)\n"}}, true},
    };
    for (const ModulesCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<ModuleTypeError> freed = check_sources(c.modules);
        ASSERT_EQ(freed.has_value(), c.fails) << (freed ? freed->error.message : "checked clean");

        CheckTables tables;
        std::optional<Expected<void, ModuleTypeError>> kept;
        {
            const std::vector<ModuleInput> inputs = parsed_modules(c.modules);
            kept = check_modules(inputs, &tables);
        }
        EXPECT_FALSE(tables.empty());
        ASSERT_EQ(kept->has_value(), !c.fails);
        if (freed) {
            EXPECT_EQ(kept->error().module, freed->module);
            EXPECT_EQ(kept->error().error.message, freed->error.message);
            EXPECT_EQ(kept->error().error.span.line, freed->error.span.line);
            EXPECT_EQ(kept->error().error.span.col, freed->error.span.col);
        }
    }  // the tables are freed with the object that holds them
}

TEST(CheckTables, EachCheckReplacesWhatTheObjectHeld) {
    CheckTables tables;
    for (const char* source : {"fn f() -> Int = 1\n", "fn f() -> Int = \"x\"\n", "let n = 2\n"}) {
        auto parsed = parse(source);
        ASSERT_TRUE(parsed.has_value());
        (void)check_program(*parsed, &tables);
        EXPECT_FALSE(tables.empty());
    }
    CheckTables moved = std::move(tables);
    EXPECT_FALSE(moved.empty());
    moved = CheckTables();
    EXPECT_TRUE(moved.empty());
}

}  // namespace
}  // namespace quellin::typeck
