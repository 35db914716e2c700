#include <gtest/gtest.h>

#include <chrono>

#include "check/checker.hpp"
#include "check_helpers.hpp"

namespace quellin::typeck {
namespace {

using testing::ErrorCase;
using testing::expect_check;
using testing::ModuleErrorCase;
using testing::Sources;

constexpr const char* kCycleHint =
    ") — with value semantics that would be infinite; break the cycle with Option[...] or List[...]";
constexpr const char* kExportHint =
    " — exportable signatures and pub-type fields use builtin types or this module's own pub types; mark it pub or "
    "keep the item private";
const std::string kUnknownStrin =
    "unknown type 'Strin' — v0.1 types are Int, Float, Text, Bool, Void, List[T], Map[K, V], Set[T], Tuple[...], "
    "Option[T], Result[T, E], or a declared record or enum name";

std::string cycle(const std::string& kind, const std::string& name, const std::string& via) {
    return kind + " '" + name + "' contains itself (via " + via + kCycleHint;
}

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

TEST(ImportedModules, HoldDeclarationsOnly) {
    const std::string message =
        "imported modules contain declarations only — top-level code runs in the entry file; move this into a "
        "function";
    const auto imported = [](const std::string& util) { return Sources{{"util", util}, {"main", "import util\n"}}; };
    const ModuleErrorCase cases[] = {
        {imported("let x = 1\n"), "util", message, 1, 1},
        {imported("fn f() -> Void = print(\"\")\nmut y = 2\n"), "util", message, 2, 1},
        {imported("fn f() -> Void = print(\"\")\nprint(\"hi\")\n"), "util", message, 2, 1},
        {imported("if true:\n    print(\"x\")\n"), "util", message, 1, 1},
        {imported("record R:\n    x: Int\nenum E:\n    A\nfn f() -> Void = print(\"\")\n"
                  "test \"works\":\n    assert true\n"),
         "", "", 0, 0},
        // The import rules come first.
        {imported("let x = 1\nimport other\n"), "util",
         "imports live at the top of the file — move 'import other' above the first declaration", 2, 1},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(CollectTypes, NameRules) {
    const ErrorCase cases[] = {
        {"record Option:\n    x: Int\n", "'Option' is a builtin name — pick another record name", 1, 1},
        {"enum print:\n    A\n", "'print' is a builtin name — pick another enum name", 1, 1},
        {"enum Byte:\n    A\n", "'Byte' is a builtin name — pick another enum name", 1, 1},
        {"record A:\n    x: Int\nrecord A:\n    y: Int\n", "record 'A' is declared twice", 3, 1},
        {"record A:\n    x: Int\nenum A:\n    B\n", "'A' is already a record — pick another enum name", 3, 1},
        {"enum A:\n    B\nrecord A:\n    x: Int\n", "'A' is already an enum — pick another record name", 3, 1},
        {"enum A:\n    B\nenum A:\n    C\n", "enum 'A' is declared twice", 3, 1},
        {"record Box[T]:\n    v: T\nrecord Box[T]:\n    v: T\n", "type 'Box' is declared twice", 3, 1},
        {"enum Box[T]:\n    V(v: T)\nrecord Box:\n    v: Int\n", "type 'Box' is declared twice", 3, 1},
        {"record Box[T]:\n    v: T\nenum Box:\n    A\n", "type 'Box' is declared twice", 3, 1},
        {"record Box:\n    v: Int\nrecord Box[T]:\n    v: T\n", "record 'Box' is declared twice", 3, 1},
        // Declarations may refer to each other in any order.
        {"record A:\n    b: B\n    c: Option[A]\nenum B:\n    Leaf\n    Node(a: List[A])\n", "", 0, 0},
        {"record Print:\n    x: Int\n", "", 0, 0},
    };
    for (const auto& c : cases) expect_check(c);

    const std::string util = "fn f() -> Void = print(\"\")\n";
    expect_check(ModuleErrorCase{{{"util", util}, {"main", "import util\nrecord util:\n    x: Int\n"}},
                                 "main",
                                 "'util' is an imported module — pick another record name",
                                 2,
                                 1});
    expect_check(ModuleErrorCase{{{"util", util}, {"main", "import util\nenum util:\n    A\n"}},
                                 "main",
                                 "'util' is an imported module — pick another enum name",
                                 2,
                                 1});
}

TEST(CollectTypes, FieldsAndVariants) {
    const ErrorCase cases[] = {
        {"record P:\n    x: Int\n    x: Text\n", "duplicate field 'x' in record 'P'", 3, 5},
        {"record P:\n    x: Strin\n", kUnknownStrin, 2, 8},
        {"record Box[T]:\n    v: Int\n",
         "type parameter 'T' of record 'Box' appears in no field — constructions could never infer it; use it in a "
         "field or remove it",
         1, 1},
        {"record Pair[A, B]:\n    a: A\n    b: Int\n",
         "type parameter 'B' of record 'Pair' appears in no field — constructions could never infer it; use it in a "
         "field or remove it",
         1, 1},
        {"record Pair[A, B]:\n    a: A\n    b: B\nrecord Box[T]:\n    p: Pair[T, Int]\n", "", 0, 0},
        {"enum E:\n    Some(x: Int)\n", "'Some' is a builtin constructor — pick another variant name", 2, 5},
        {"enum E:\n    print\n", "'print' is a builtin constructor — pick another variant name", 2, 5},
        {"enum E:\n    A\n    B\n    A\n", "duplicate variant 'A' in enum 'E'", 4, 5},
        {"enum E:\n    A(x: Int, x: Int)\n", "duplicate field 'x' in variant 'E.A'", 2, 15},
        {"enum E:\n    A(x: Strin)\n", kUnknownStrin, 2, 10},
        {"enum Maybe[T]:\n    Nothing\n",
         "type parameter 'T' of enum 'Maybe' appears in no variant payload — constructions could never infer it; use "
         "it in a payload or remove it",
         1, 1},
        {"enum Either[L, R]:\n    Left(value: L)\n    Right(value: R)\n", "", 0, 0},
        // All record fields are resolved before any enum payload.
        {"enum E:\n    A(x: Nope)\nrecord R:\n    y: Strin\n", kUnknownStrin, 4, 8},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(ValueCycles, ContainmentByValueIsRejected) {
    const ErrorCase cases[] = {
        {"record Node:\n    value: Int\n    next: Node\n", cycle("record", "Node", "Node"), 1, 1},
        {"record Node:\n    next: Option[Node]\n    children: List[Node]\n", "", 0, 0},
        {"record Node:\n    by_name: Map[Text, Node]\n    seen: Set[Node]\n    r: Result[Node, Text]\n", "", 0, 0},
        {"record A:\n    b: B\nrecord B:\n    a: A\n", cycle("record", "A", "A → B"), 1, 1},
        {"record B:\n    a: A\nrecord A:\n    b: B\n", cycle("record", "B", "B → A"), 1, 1},
        {"record Node:\n    pair: Tuple[Int, Node]\n", cycle("record", "Node", "Node"), 1, 1},
        {"record Node:\n    f: fn(Node) -> Node\n", "", 0, 0},
        {"enum Expr:\n    Lit(value: Int)\n    Add(left: Expr, right: Expr)\n", cycle("enum", "Expr", "Expr"), 1, 1},
        {"record A:\n    b: B\nrecord B:\n    c: C\nrecord C:\n    b: B\n", cycle("record", "A", "A → B → C"), 1, 1},
        {"record R:\n    e: E\nenum E:\n    Has(r: R)\n", cycle("record", "R", "R → E"), 1, 1},
        {"enum E:\n    Has(r: R)\nrecord R:\n    e: E\n", cycle("enum", "E", "E → R"), 1, 1},
        // A branch already proven free of cycles does not disturb the path of the next one.
        {"record A:\n    b: B\n    c: C\nrecord B:\n    x: Int\nrecord C:\n    a: A\n", cycle("record", "A", "A → C"),
         1, 1},
        {"record X:\n    x: Int\n/// doc\nrecord Y:\n    z: Tuple[Int, Tuple[Y, Text]]\n", cycle("record", "Y", "Y"), 3,
         1},
        // The start is named even when the loop closes further down.
        {"record X:\n    y: Y\nrecord Y:\n    y: Y\n", cycle("record", "X", "X → Y"), 1, 1},
        {"record Box[T]:\n    value: T\nrecord Holder:\n    b: Box[Int]\n", "", 0, 0},
    };
    for (const auto& c : cases) expect_check(c);
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

TEST(CollectFns, SignatureRules) {
    const std::string no_param_use =
        "' appears in no parameter type — calls could never infer it; use it in a parameter or remove it";
    const std::string main_rule =
        "'main' is the program entry point and must be declared as 'fn main() -> Void' with no parameters";
    const ErrorCase cases[] = {
        {"fn print(t: Text) -> Void = print(t)\n", "'print' is a reserved builtin name — pick another function name", 1,
         1},
        {"fn Int() -> Int = 1\n", "", 0, 0},
        {"fn f() -> Int = 1\nfn f() -> Int = 2\n", "function 'f' is declared twice", 2, 1},
        {"record P:\n    x: Int\nfn P() -> Int = 1\n", "'P' is already a record — pick another function name", 3, 1},
        {"enum E:\n    A\nfn E() -> Int = 1\n", "'E' is already an enum — pick another function name", 3, 1},
        {"record Box[T]:\n    v: T\nfn Box() -> Int = 1\n", "", 0, 0},
        {"record T:\n    x: Int\nfn f[U, T](x: T, u: U) -> Int = 1\n",
         "type parameter 'T' shadows the declared type 'T' — pick another letter", 3, 1},
        {"fn f(a: Int, a: Text) -> Int = 1\n", "duplicate parameter name 'a'", 1, 14},
        {"fn f(a: Strin, a: Int) -> Int = 1\n", kUnknownStrin, 1, 9},
        {"fn f(a: Int, a: Strin) -> Int = 1\n", "duplicate parameter name 'a'", 1, 14},
        {"fn f(a: Int) -> Strin = 1\n", kUnknownStrin, 1, 17},
        {"fn make[T]() -> T = make()\n", "type parameter 'T' of 'make" + no_param_use, 1, 1},
        {"fn pick[A, B](a: A) -> A = a\n", "type parameter 'B' of 'pick" + no_param_use, 1, 1},
        {"fn first[T](xs: List[T]) -> Option[T] = xs.first()\n", "", 0, 0},
        {"record Box[T]:\n    value: T\nfn unbox[T](b: Box[T]) -> T = b.value\n", "", 0, 0},
        {"fn main(x: Int) -> Void = print(\"\")\n", main_rule, 1, 1},
        {"fn main() -> Int = 1\n", main_rule, 1, 1},
        {"fn main() -> Void = print(\"\")\n", "", 0, 0},
        // A repeated function is reported before its parameters are looked at.
        {"fn f() -> Int = 1\nfn f(a: Int, a: Int) -> Int = 1\n", "function 'f' is declared twice", 2, 1},
        // Top-level code sees no function's type parameters.
        {"fn id[T](x: T) -> T = x\nlet y: T = id(1)\n",
         "unknown type 'T' — v0.1 types are Int, Float, Text, Bool, Void, List[T], Map[K, V], Set[T], Tuple[...], "
         "Option[T], Result[T, E], or a declared record or enum name",
         2, 8},
    };
    for (const auto& c : cases) expect_check(c);

    const std::string util = "fn f() -> Void = print(\"\")\n";
    expect_check(ModuleErrorCase{{{"util", util}, {"main", "import util\nfn util() -> Int = 1\n"}},
                                 "main",
                                 "'util' is an imported module — pick another function name",
                                 2,
                                 1});
    // The main rule applies to every module.
    expect_check(
        ModuleErrorCase{{{"util", "fn main() -> Int = 1\n"}, {"main", "import util\n"}}, "util", main_rule, 1, 1});
}

TEST(Interface, PubItemsMayNotExposePrivateTypes) {
    const std::string point = "record Point:\n    x: Int\n";
    const auto imported = [](const std::string& geo) { return Sources{{"geo", geo}, {"main", "import geo\n"}}; };
    const ModuleErrorCase cases[] = {
        {imported(point + "/// Area.\npub fn area(p: Point) -> Int = p.x\n"), "geo",
         "pub fn 'area' uses private record 'Point'" + std::string(kExportHint), 3, 1},
        {imported(point + "/// Origin.\npub fn origins() -> List[Point] = []\n"), "geo",
         "pub fn 'origins' uses private record 'Point'" + std::string(kExportHint), 3, 1},
        {imported("enum Dir:\n    Up\n/// A line.\npub record Line:\n    d: Option[Dir]\n"), "geo",
         "pub record 'Line' uses private enum 'Dir'" + std::string(kExportHint), 3, 1},
        {imported(point + "/// Shapes.\npub enum Shape:\n    Dot(at: Point)\n"), "geo",
         "pub enum 'Shape' uses private record 'Point'" + std::string(kExportHint), 3, 1},
        {imported("record Box[T]:\n    v: T\n/// Boxes.\npub fn boxed(x: Int) -> Box[Int] = Box(v: x)\n"), "geo",
         "pub fn 'boxed' uses private record 'Box'" + std::string(kExportHint), 3, 1},
        {imported(point + "/// Pairs.\npub record Pair[A, B]:\n    a: A\n    b: B\n"
                          "/// Makes.\npub fn make(p: Pair[Int, Point]) -> Int = 1\n"),
         "geo", "pub fn 'make' uses private record 'Point'" + std::string(kExportHint), 7, 1},
        {imported("/// Point.\npub " + point + "/// Area.\npub fn area(p: Point) -> Int = p.x\n"), "", "", 0, 0},
        {imported(point + "fn area(p: Point) -> Int = p.x\n"), "", "", 0, 0},
    };
    for (const auto& c : cases) expect_check(c);

    // The entry module's interface is never computed.
    expect_check(ErrorCase{point + "/// Area.\npub fn area(p: Point) -> Int = p.x\n", "", 0, 0});
}

TEST(Interface, ImportersSeeQualifiedTypesAndInstances) {
    // c imports only a, yet a's pub record mentions b.Point, which must be usable in c.
    expect_check(ModuleErrorCase{{{"b", "/// Point.\npub record Point:\n    x: Int\n"},
                                  {"a", "import b\n/// Line.\npub record Line:\n    start: b.Point\n"},
                                  {"c", "import a\nfn f(l: a.Line) -> Int = l.start.x\n"}},
                                 "",
                                 "",
                                 0,
                                 0});
    // An exported generic instance is materialised on use in the importer.
    expect_check(ModuleErrorCase{
        {{"a",
          "/// Box.\npub record Box[T]:\n    value: T\n/// Makes.\npub fn make(x: Int) -> Box[Int] = Box(value: x)\n"},
         {"main", "import a\nlet b = a.make(1)\nlet v: Int = b.value\nlet w: a.Box[Text] = a.Box(value: \"s\")\n"}},
        "",
        "",
        0,
        0});
    // The interface lists exactly the pub items: a private function stays private.
    expect_check(ModuleErrorCase{
        {{"util", "/// Parses.\npub fn parse(t: Text) -> Int = 1\nfn tidy() -> Void = print(\"\")\n"},
         {"main", "import util\nutil.tidy()\n"}},
        "main",
        "'tidy' exists in module 'util' but is not public — mark it 'pub fn' (with a /// doc comment) in util.qn",
        2,
        1});
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
    const auto info = check_modules_info({{"util", *util}, {"main", *main}});
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
    const auto result = check_modules({{"util", *util}, {"main", *main}});
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().module, "util");
    EXPECT_EQ(result.error().error.span, (Span{1, 1}));
}

}  // namespace
}  // namespace quellin::typeck
