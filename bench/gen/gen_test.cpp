// Generated programs must be valid QUELLIN: they parse, load and check clean at every size, and have
// the size that was asked for.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "gen/generate.hpp"
#include "gen/temp_dir.hpp"
#include "modules/modules.hpp"
#include "parser/parser.hpp"
#include "typeck/check.hpp"

namespace {

using namespace quellin;

// The line of `text` that an error points at, to make a failure readable.
std::string line_of(const std::string& text, uint32_t line) {
    size_t start = 0;
    for (uint32_t i = 1; i < line && start != std::string::npos; ++i) {
        start = text.find('\n', start);
        if (start != std::string::npos) ++start;
    }
    if (start == std::string::npos) return "";
    return text.substr(start, text.find('\n', start) - start);
}

// Empty when the program checks clean, otherwise the first error with its position and source line.
std::string first_error(const std::string& text) {
    auto program = parse(text);
    if (!program) {
        const ParseError& e = program.error();
        return "parse " + std::to_string(e.span.line) + ":" + std::to_string(e.span.col) + ": " + e.message +
               "\n  | " + line_of(text, e.span.line);
    }
    auto checked = typeck::check_program(*program);
    if (!checked) {
        const typeck::TypeError& e = checked.error();
        return "check " + std::to_string(e.span.line) + ":" + std::to_string(e.span.col) + ": " + e.message +
               "\n  | " + line_of(text, e.span.line);
    }
    return "";
}

TEST(GenerateProgram, ChecksCleanAtExactSize) {
    for (const uint32_t lines : {200u, 400u, 1000u, 4000u}) {
        SCOPED_TRACE(lines);
        const std::string text = gen::generate_program(lines);
        EXPECT_EQ(gen::count_lines(text), lines);
        EXPECT_EQ(first_error(text), "");
    }
}

TEST(GenerateProgram, TooSmallABudgetStillGivesACompleteProgram) {
    const std::string text = gen::generate_program(5);
    EXPECT_GT(gen::count_lines(text), 5u);
    EXPECT_EQ(first_error(text), "");
}

TEST(GenerateProgram, IsDeterministicPerSeed) {
    EXPECT_EQ(gen::generate_program(800, 7), gen::generate_program(800, 7));
    EXPECT_NE(gen::generate_program(800, 7), gen::generate_program(800, 8));
    EXPECT_EQ(first_error(gen::generate_program(800, 8)), "");
}

TEST(GenerateModuleGraph, LoadsAndChecksClean) {
    for (const uint32_t modules : {1u, 2u, 12u}) {
        SCOPED_TRACE(modules);
        const auto files = gen::generate_module_graph(modules, 500);
        ASSERT_EQ(files.size(), modules);
        EXPECT_EQ(files.back().name, "main");
        for (const auto& file : files) EXPECT_EQ(gen::count_lines(file.text), 500u) << file.name;

        const gen::TempDir dir;
        ASSERT_FALSE(dir.path().empty());
        const auto root = gen::write_files(dir.path(), files);
        ASSERT_FALSE(root.empty());
        auto loaded = load_modules_with_stdlib(root, std::nullopt);
        ASSERT_TRUE(loaded) << loaded.error().file << ": " << loaded.error().message;
        ASSERT_EQ(loaded->size(), modules);  // every library is reachable from main
        EXPECT_EQ(loaded->back().name, "main");

        std::vector<typeck::ModuleInput> inputs;
        for (auto& module : *loaded) inputs.emplace_back(module.name, std::move(module.program));
        auto checked = typeck::check_modules(inputs);
        ASSERT_TRUE(checked) << checked.error().module << " " << checked.error().error.span.line << ":"
                             << checked.error().error.span.col << ": " << checked.error().error.message;
    }
}

TEST(GenerateModuleTree, EveryModuleIsReachedOnceFromTheRoot) {
    for (const uint32_t modules : {1u, 2u, 7u, 12u}) {
        SCOPED_TRACE(modules);
        const auto files = gen::generate_module_tree(modules, 500);
        ASSERT_EQ(files.size(), modules);
        for (const auto& file : files) EXPECT_EQ(gen::count_lines(file.text), 500u) << file.name;
        // Module k imports exactly its children in the tree, 2k+1 and 2k+2.
        for (uint32_t k = 0; k < modules; ++k) {
            std::vector<std::string> expected, imports;
            for (const uint32_t child : {2 * k + 1, 2 * k + 2}) {
                if (child < modules) expected.push_back("import " + files[child].name);
            }
            std::istringstream lines(files[k].text);
            for (std::string line; std::getline(lines, line);) {
                if (line.starts_with("import ")) imports.push_back(line);
            }
            EXPECT_EQ(imports, expected) << files[k].name;
        }

        const gen::TempDir dir;
        ASSERT_FALSE(dir.path().empty());
        ASSERT_FALSE(gen::write_files(dir.path(), files).empty());
        auto loaded = load_modules_with_stdlib(dir.path() / "mod000.qn", std::nullopt);
        ASSERT_TRUE(loaded) << loaded.error().file << ": " << loaded.error().message;
        ASSERT_EQ(loaded->size(), modules);
        EXPECT_EQ(loaded->back().name, "mod000");

        std::vector<typeck::ModuleInput> inputs;
        for (auto& module : *loaded) inputs.emplace_back(module.name, std::move(module.program));
        auto checked = typeck::check_modules(inputs);
        ASSERT_TRUE(checked) << checked.error().module << " " << checked.error().error.span.line << ":"
                             << checked.error().error.span.col << ": " << checked.error().error.message;
    }
}

TEST(PathologicalShapes, CheckCleanAtModerateSizes) {
    const struct {
        const char* name;
        std::function<std::string()> make;
    } cases[] = {
        {"wide enum", [] { return gen::wide_enum_program(300); }},
        {"value chain", [] { return gen::value_chain_program(200, 1); }},
        {"value ladder", [] { return gen::value_chain_program(10, 2); }},
        {"nested blocks", [] { return gen::nested_blocks_program(60); }},
        {"nested parentheses", [] { return gen::nested_parens_program(60); }},
        {"operator chain", [] { return gen::operator_chain_program(300); }},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(first_error(c.make()), "") << c.name;
    }
}

}  // namespace
