#include <gtest/gtest.h>

#include <chrono>

#include "check/checker.hpp"
#include "check_helpers.hpp"

namespace quellin::typeck {
namespace {

using testing::ErrorCase;
using testing::expect_check;
using testing::ModuleErrorCase;

// The checker's own import rules, on the checker alone: through the server the loader answers most
// of them first (a missing file, a module importing itself).
TEST(Imports, RulesInOrder) {
    const std::string util = "/// Parses.\npub fn parse(t: Text) -> Int = 1\n";
    const ModuleErrorCase cases[] = {
        {{{"util", util}, {"main", "import util\nlet x = util.parse(\"1\")\n"}}, "", "", 0, 0},
        {{{"util", util}, {"main", "let x = 1\nimport util\n"}},
         "main",
         "imports live at the top of the file — move 'import util' above the first declaration",
         2,
         1},
        {{{"util", util}, {"main", "fn f() -> Void = print(\"\")\nimport util\n"}},
         "main",
         "imports live at the top of the file — move 'import util' above the first declaration",
         2,
         1},
        {{{"util", util}, {"main", "import main\n"}}, "main", "module 'main' cannot import itself", 1, 1},
        {{{"util", "import util\n"}, {"main", "import util\n"}}, "util", "module 'util' cannot import itself", 1, 1},
        {{{"util", util}, {"main", "import util\nimport util\n"}},
         "main",
         "'util' is imported twice — one import per module",
         2,
         1},
        {{{"util", util}, {"main", "import util\nimport other\n"}},
         "main",
         "unknown module 'other' — expected other.qn next to this file",
         2,
         1},
        // Only modules checked earlier in the run can be imported.
        {{{"a", "import b\n"}, {"b", "fn f() -> Void = print(\"\")\n"}, {"main", "import a\n"}},
         "a",
         "unknown module 'b' — expected b.qn next to this file",
         1,
         1},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(Imports, EntryProgramHasNoOtherModules) {
    const ErrorCase cases[] = {
        {"import util\n", "unknown module 'util' — expected util.qn next to this file", 1, 1},
        {"import main\n", "module 'main' cannot import itself", 1, 1},
        {"let x = 1\nprint(\"{x}\")\n", "", 0, 0},
    };
    for (const auto& c : cases) expect_check(c);
}

// The import rules come before the rule that imported modules hold declarations only; through the
// server the loader answers first, so this is checked on the checker alone.
TEST(ImportedModules, ImportRulesComeFirst) {
    expect_check(ModuleErrorCase{{{"util", "let x = 1\nimport other\n"}, {"main", "import util\n"}},
                                 "util",
                                 "imports live at the top of the file — move 'import other' above the first declaration",
                                 2,
                                 1});
}

TEST(ValueCycles, ManyAcyclicPathsCheckQuickly) {
    // Every record holds the next two by value: without remembering finished names the search would
    // walk every one of the exponentially many paths.
    std::string source;
    constexpr int kCount = 40;
    for (int i = 0; i < kCount; ++i) {
        source += "record R" + std::to_string(i) + ":\n";
        if (i + 2 < kCount) {
            source += "    a: R" + std::to_string(i + 1) + "\n    b: R" + std::to_string(i + 2) + "\n";
        } else {
            source += "    x: Int\n";
        }
    }
    const auto start = std::chrono::steady_clock::now();
    testing::expect_ok(source);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));

    // The same chain closed into a loop at the end is still found, from the first record.
    source += "record Last:\n    r: R0\n";
    std::string closed = source;
    closed.replace(closed.rfind("record R39:\n    x: Int\n"), std::string("record R39:\n    x: Int\n").size(),
                   "record R39:\n    last: Last\n");
    const auto error = testing::check_source(closed);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->span, (Span{1, 1}));
    EXPECT_TRUE(error->message.starts_with("record 'R0' contains itself (via R0 → R1 → R2")) << error->message;
    EXPECT_NE(error->message.find("R37 → R39 → Last)"), std::string::npos) << error->message;
}

TEST(ModuleMemberErr, ExplainsWhatTheModuleOffers) {
    Checker c("main");
    ModuleApi util;
    util.private_fns = {"tidy"};
    util.private_types = {"Secret"};
    util.fns.emplace("parse", FnSig{});
    util.fns.emplace("format", FnSig{});
    util.records.emplace("Zone", Fields{});
    util.enums.emplace("Area", Variants{});
    util.generic_records.emplace("Box", GenericRecord{});
    const ModuleApi empty;
    c.modules.emplace("util", &util);
    c.modules.emplace("empty", &empty);

    const struct {
        const char* module;
        const char* member;
        const char* message;
    } cases[] = {
        {"util", "tidy",
         "'tidy' exists in module 'util' but is not public — mark it 'pub fn' (with a /// doc comment) in util.qn"},
        {"util", "Secret",
         "'Secret' exists in module 'util' but is not public — mark it 'pub record' / 'pub enum' (with a /// doc "
         "comment) in util.qn"},
        {"util", "Thing", "module 'util' has no pub type 'Thing' — available: Area, Zone"},
        {"empty", "Thing",
         "module 'empty' has no pub type 'Thing' — mark a record or enum pub in empty.qn to export it"},
        {"util", "nothing", "module 'util' has no pub function 'nothing' — available: format, parse"},
        {"empty", "nothing", "module 'empty' has no pub functions yet — add one in empty.qn"},
    };
    for (const auto& tc : cases) {
        const TypeError e = c.module_member_err(tc.module, tc.member, Span{4, 2});
        EXPECT_EQ(e.message, tc.message);
        EXPECT_EQ(e.span, (Span{4, 2}));
    }
}

TEST(RewriteExportedType, QualifiesOwnPubTypes) {
    const NameSet pub{"Point", "Pair", "Shape"};
    const NameMap<Instance> instances{
        {"Pair[Int, Point]", Instance{"Pair", {Type::int_(), Type::record("Point")}}},
        {"Pair[Hidden, Int]", Instance{"Pair", {Type::record("Hidden"), Type::int_()}}},
        {"Secret[Int]", Instance{"Secret", {Type::int_()}}},
    };
    const auto rewrite = [&](const Type& t) { return rewrite_exported_type(t, "geo", pub, instances); };

    const struct {
        Type type;
        Type exported;
    } ok[] = {
        {Type::int_(), Type::int_()},
        {Type::type_param("T"), Type::type_param("T")},
        {Type::record("Point"), Type::record("geo.Point")},
        {Type::enum_("Shape"), Type::enum_("geo.Shape")},
        {Type::record("other.Thing"), Type::record("other.Thing")},
        {Type::map(Type::text(), Type::list(Type::record("Point"))),
         Type::map(Type::text(), Type::list(Type::record("geo.Point")))},
        {Type::fn({Type::record("Point")}, Type::option(Type::enum_("Shape"))),
         Type::fn({Type::record("geo.Point")}, Type::option(Type::enum_("geo.Shape")))},
        {Type::record("Pair[Int, Point]"), Type::record("geo.Pair[Int, geo.Point]")},
    };
    for (const auto& c : ok) {
        const auto rewritten = rewrite(c.type);
        ASSERT_TRUE(rewritten) << c.type.to_string() << ": " << rewritten.error();
        EXPECT_EQ(*rewritten, c.exported) << c.type.to_string();
    }

    const struct {
        Type type;
        const char* description;
    } failing[] = {
        {Type::record("Hidden"), "private record 'Hidden'"},
        {Type::enum_("Dir"), "private enum 'Dir'"},
        {Type::fn({Type::int_(), Type::record("Hidden")}, Type::enum_("Dir")), "private record 'Hidden'"},
        {Type::tuple({Type::enum_("Dir"), Type::record("Hidden")}), "private enum 'Dir'"},
        {Type::record("Pair[Hidden, Int]"), "private record 'Hidden'"},
        {Type::record("Secret[Int]"), "private record 'Secret'"},
    };
    for (const auto& c : failing) {
        const auto rewritten = rewrite(c.type);
        ASSERT_FALSE(rewritten) << c.type.to_string();
        EXPECT_EQ(rewritten.error(), c.description);
    }
}

TEST(CheckModulesInfo, CollectsCallsAndInstancesOfTheWholeRun) {
    EXPECT_TRUE(check_modules_info({}).has_value());

    auto util = parse("/// Id.\npub fn id[T](x: T) -> T = x\nfn twice(x: Int) -> Int = id(x)\n");
    auto main = parse(
        "import util\nrecord Pair[A, B]:\n    a: A\n    b: B\nlet n = util.id(\"s\")\n"
        "fn f(p: Pair[Int, Text]) -> Void = print(\"\")\n");
    ASSERT_TRUE(util.has_value());
    ASSERT_TRUE(main.has_value());
    const auto info = check_modules_info({{"util", std::make_shared<const ast::Program>(std::move(*util))},
                                          {"main", std::make_shared<const ast::Program>(std::move(*main))}});
    ASSERT_TRUE(info.has_value()) << info.error().error.message;

    const auto local = info->calls.find({"util", 3, 27});
    ASSERT_NE(local, info->calls.end());
    EXPECT_EQ(local->second, (CallInst{"id", {Type::int_()}, std::nullopt}));
    const auto qualified = info->calls.find({"main", 5, 9});
    ASSERT_NE(qualified, info->calls.end());
    EXPECT_EQ(qualified->second, (CallInst{"id", {Type::text()}, std::string("util")}));

    const auto pair = info->instances.find("Pair[Int, Text]");
    ASSERT_NE(pair, info->instances.end());
    EXPECT_EQ(pair->second, (Instance{"Pair", {Type::int_(), Type::text()}}));
}

TEST(CheckModules, ErrorsNameTheirModule) {
    auto util = parse("let x = 1\n");
    auto main = parse("import util\n");
    ASSERT_TRUE(util.has_value());
    ASSERT_TRUE(main.has_value());
    const auto result = check_modules({{"util", std::make_shared<const ast::Program>(std::move(*util))},
                                       {"main", std::make_shared<const ast::Program>(std::move(*main))}});
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().module, "util");
    EXPECT_EQ(result.error().error.span, (Span{1, 1}));
}

}  // namespace
}  // namespace quellin::typeck
