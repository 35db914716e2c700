// Taking over imported modules' results from earlier checks: which modules a change makes the checker
// check again, and that every answer is the one of a check from scratch.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "check/reuse.hpp"
#include "check_helpers.hpp"

namespace quellin::typeck {
namespace {

using testing::check_sources;
using testing::Sources;

// Module sources by name, with each module's tree kept while its text stays the same, as the loader's
// parse cache keeps it.
class Program {
public:
    // Sets the modules, in checking order; a module whose text changed gets a new tree.
    void set(const Sources& sources) {
        inputs_.clear();
        for (const auto& [name, text] : sources) {
            auto& [kept_text, tree] = trees_[name];
            if (tree == nullptr || kept_text != text) {
                auto parsed = parse(text);
                EXPECT_TRUE(parsed.has_value()) << text;
                kept_text = text;
                tree = std::make_shared<const ast::Program>(parsed ? std::move(parsed).value() : ast::Program{});
            }
            inputs_.emplace_back(name, tree);
        }
    }
    const std::vector<ModuleInput>& inputs() const { return inputs_; }

private:
    std::map<std::string, std::pair<std::string, std::shared_ptr<const ast::Program>>> trees_;
    std::vector<ModuleInput> inputs_;
};

const std::string kLeaf = "/// A point.\npub record Point:\n    x: Int\n/// Makes one.\npub fn origin() -> Point = Point(x: 0)\n";
const std::string kLeafNewBody = "/// A point.\npub record Point:\n    x: Int\n/// Makes one.\npub fn origin() -> Point = Point(x: 1)\n";
const std::string kLeafNewField = "/// A point.\npub record Point:\n    x: Text\n/// Makes one.\npub fn origin() -> Point = Point(x: \"0\")\n";
// Exposes the leaf's type without changing its own interface when the leaf's fields change.
const std::string kMiddle = "import leaf\n/// The origin.\npub fn start() -> leaf.Point = leaf.origin()\n";
const std::string kOther = "/// One.\npub fn one() -> Int = 1\n";
const std::string kTop = "import middle\n/// The x.\npub fn x() -> Int = middle.start().x\n";
const std::string kMain = "import top\nimport other\nlet n = top.x() + other.one()\n";

TEST(ModuleResults, AChangeChecksTheChangedModuleAndWhatReachesAChangedInterface) {
    struct Step {
        const char* what;
        std::string leaf;
        std::vector<std::string> checked;  // the imported modules checked again, in order
    };
    const Step steps[] = {
        {"first check", kLeaf, {"leaf", "middle", "other", "top"}},
        {"nothing changed", kLeaf, {}},
        {"a body changed: its interface did not", kLeafNewBody, {"leaf"}},
        {"a field type changed: everything that reaches it", kLeafNewField, {"leaf", "middle", "top"}},
        {"changed back", kLeaf, {"leaf", "middle", "top"}},
    };
    Program program;
    ModuleResults reuse;
    std::vector<std::shared_ptr<const ModuleResult>> held;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        const Sources sources = {{"leaf", step.leaf}, {"middle", kMiddle}, {"other", kOther}, {"top", kTop}, {"main", kMain}};
        program.set(sources);
        CheckTables tables;
        const auto reused = check_modules(program.inputs(), &tables, &reuse);
        const std::optional<ModuleTypeError> scratch = check_sources(sources);
        ASSERT_EQ(reused.has_value(), !scratch.has_value());
        if (scratch) {
            EXPECT_EQ(reused.error().module, scratch->module);
            EXPECT_EQ(reused.error().error.message, scratch->error.message);
        }
        std::vector<std::string> checked;
        for (const auto& result : tables.results()) {
            const bool taken = std::find(held.begin(), held.end(), result) != held.end();
            if (!taken) checked.push_back(result->name);
        }
        EXPECT_EQ(checked, step.checked);
        held = tables.results();
    }
    EXPECT_EQ(reuse.live(), 4u);
    held.clear();
    EXPECT_EQ(reuse.live(), 0u);
}

// The first error of an imported module is kept like an interface: taking it over ends the check
// with the same error, and the modules after it are not reached.
TEST(ModuleResults, AnErrorIsTakenOverWithItsModuleAndPosition) {
    const Sources broken = {{"other", "/// One.\npub fn one() -> Int = \"x\"\n"},
                            {"main", "import other\nlet n = other.one()\n"}};
    const Sources fixed = {{"other", kOther}, {"main", "import other\nlet n = other.one()\n"}};
    Program program;
    ModuleResults reuse;
    for (const Sources* sources : {&broken, &broken, &fixed, &broken}) {
        program.set(*sources);
        CheckTables tables;
        const auto reused = check_modules(program.inputs(), &tables, &reuse);
        const std::optional<ModuleTypeError> scratch = check_sources(*sources);
        ASSERT_EQ(reused.has_value(), !scratch.has_value());
        if (!scratch) continue;
        EXPECT_EQ(reused.error().module, scratch->module);
        EXPECT_EQ(reused.error().error.message, scratch->error.message);
        EXPECT_EQ(reused.error().error.span, scratch->error.span);
    }
}

}  // namespace
}  // namespace quellin::typeck
