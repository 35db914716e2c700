#include <gtest/gtest.h>

#include "check/checker.hpp"
#include "check_helpers.hpp"

namespace quellin::typeck {
namespace {

constexpr const char* kNoShadowing =
    "' is already declared in this scope — QUELLIN has no same-scope shadowing; use a new name (or 'mut' if you "
    "want to reassign)";

ast::Program parsed(const std::string& source) {
    auto program = parse(source);
    if (!program) {
        ADD_FAILURE() << "does not parse: " << program.error().message << "\n" << source;
        return {};
    }
    return std::move(program).value();
}

// A checker for `source` after the declaration passes, as module checking leaves it before statements.
Checker collected(const ast::Program& program, const Apis& apis = {}) {
    Checker c("main");
    EXPECT_TRUE(c.install_imports(program, apis));
    EXPECT_TRUE(c.collect_types(program));
    EXPECT_TRUE(c.collect_fns(program));
    c.declarations_collected();
    return c;
}

const ast::StmtKind::FnDecl& fn_decl(const ast::Program& program, size_t index) {
    return std::get<ast::Box<ast::StmtKind::FnDecl>>(program.stmts[index].kind.v).get();
}

TEST(Declare, NameRulesInOrder) {
    Apis apis;
    apis.emplace("utils", std::make_shared<const ModuleApi>());
    const ast::Program program = parsed(
        "import utils\n"
        "fn area() -> Int = 1\n"
        "record Point:\n"
        "    x: Int\n"
        "enum Shape:\n"
        "    Empty\n");
    const struct {
        const char* name;
        std::string message;
    } cases[] = {
        {"print", "'print' is a reserved builtin name — pick another name"},
        {"None", "'None' is a reserved builtin name — pick another name"},
        {"area", "'area' is already a top-level function — pick another name"},
        {"Point", "'Point' is a record name — pick another name"},
        {"Shape", "'Shape' is an enum name — pick another name"},
        {"utils", "'utils' is an imported module — pick another name"},
        {"x", std::string("'x") + kNoShadowing},
    };
    for (const auto& c : cases) {
        Checker checker = collected(program, apis);
        ASSERT_TRUE(checker.declare("x", Type::int_(), false, Span{1, 1}));
        const auto status = checker.declare(c.name, Type::text(), false, Span{7, 3});
        ASSERT_FALSE(status) << c.name;
        EXPECT_EQ(status.error().message, c.message);
        EXPECT_EQ(status.error().span, (Span{7, 3}));
    }
    Checker checker = collected(program, apis);
    EXPECT_TRUE(checker.declare("Print", Type::int_(), false, Span{1, 1}));
}

// Local names repeat from body to body, and a name once found free is not looked up again; the rules
// must come out the same for every declaration all the same.
TEST(Declare, RepeatedNamesKeepTheRules) {
    const ast::Program program = parsed("fn later() -> Int = 1\nrecord Point:\n    x: Int\n");
    Checker early("main");
    // Declared before the declarations are collected: the name is free then, but not for long.
    ASSERT_TRUE(early.declare("later", Type::int_(), false, Span{1, 1}));
    early.scopes.emplace_back();
    ASSERT_TRUE(early.collect_types(program));
    ASSERT_TRUE(early.collect_fns(program));
    early.declarations_collected();
    const auto refused = early.declare("later", Type::int_(), false, Span{4, 9});
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().message, "'later' is already a top-level function — pick another name");

    Checker c = collected(program);
    for (int body = 0; body < 3; ++body) {
        c.scopes.emplace_back();
        EXPECT_TRUE(c.declare("total", Type::int_(), false, Span{2, 5}));
        const auto again = c.declare("total", Type::int_(), false, Span{3, 5});
        ASSERT_FALSE(again);
        EXPECT_EQ(again.error().message, std::string("'total") + kNoShadowing);
        const auto record = c.declare("Point", Type::int_(), false, Span{4, 5});
        ASSERT_FALSE(record);
        EXPECT_EQ(record.error().message, "'Point' is a record name — pick another name");
        c.scopes.pop_back();
    }
}

TEST(Declare, InnerScopeHidesOuterUntilPopped) {
    Checker c("main");
    ASSERT_TRUE(c.declare("x", Type::int_(), true, Span{1, 1}));
    c.scopes.emplace_back();
    ASSERT_TRUE(c.declare("x", Type::text(), false, Span{2, 5}));
    ASSERT_NE(c.lookup("x"), nullptr);
    EXPECT_EQ(c.lookup("x")->ty, Type::text());
    EXPECT_FALSE(c.lookup("x")->is_mutable);
    c.scopes.pop_back();
    EXPECT_EQ(c.lookup("x")->ty, Type::int_());
    EXPECT_TRUE(c.lookup("x")->is_mutable);
    EXPECT_EQ(c.lookup("y"), nullptr);
}

TEST(Lookup, NeverSearchesParkedScopes) {
    Checker c("main");
    c.outer_scopes.push_back(Scope{{"top", VarInfo{Type::int_(), false}}});
    EXPECT_EQ(c.lookup("top"), nullptr);
    EXPECT_TRUE(c.in_outer_scopes("top"));
    EXPECT_FALSE(c.in_outer_scopes("other"));
}

TEST(Conform, ComparesWithTheExpectedType) {
    const Checker c("main");
    EXPECT_EQ(*c.conform(std::nullopt, Type::int_(), Span{1, 1}), Type::int_());
    EXPECT_EQ(*c.conform(Type::list(Type::int_()), Type::list(Type::int_()), Span{1, 1}), Type::list(Type::int_()));
    const auto mismatch = c.conform(Type::option(Type::int_()), Type::text(), Span{3, 9});
    ASSERT_FALSE(mismatch);
    EXPECT_EQ(mismatch.error().message, "expected Option[Int], found Text");
    EXPECT_EQ(mismatch.error().span, (Span{3, 9}));
}

TEST(CapturedInLambda, OnlyNamesOutsideTheInnermostLambda) {
    Checker c("main");
    ASSERT_TRUE(c.declare("local", Type::int_(), true, Span{1, 1}));
    EXPECT_FALSE(c.captured_in_lambda("local"));  // no lambda at all

    c.scopes.emplace_back();
    c.lambda_bases.push_back(c.scopes.size() - 1);
    ASSERT_TRUE(c.declare("param", Type::int_(), false, Span{1, 1}));
    c.scopes.emplace_back();  // a block inside the lambda
    ASSERT_TRUE(c.declare("inner", Type::int_(), true, Span{1, 1}));

    EXPECT_TRUE(c.captured_in_lambda("local"));
    EXPECT_FALSE(c.captured_in_lambda("param"));
    EXPECT_FALSE(c.captured_in_lambda("inner"));
    EXPECT_FALSE(c.captured_in_lambda("unknown"));

    // A lambda nested in the lambda captures the outer lambda's names too.
    c.scopes.emplace_back();
    c.lambda_bases.push_back(c.scopes.size() - 1);
    EXPECT_TRUE(c.captured_in_lambda("param"));
}

TEST(CheckFn, ReturnPathRule) {
    const std::string not_every_path = "not every path in 'f' returns Int — add a final return or an else branch";
    const struct {
        const char* source;
        bool passes;
    } cases[] = {
        {"fn f(c: Bool) -> Int:\n    if c:\n        return 1\n", false},
        {"fn f(c: Bool) -> Int:\n    if c:\n        return 1\n    else:\n        return 2\n", true},
        {"fn f(c: Bool) -> Int:\n    if c:\n        return 1\n    elif c:\n        print(\"x\")\n"
         "    else:\n        return 2\n",
         false},
        {"fn f(c: Bool) -> Int:\n    if c:\n        return 1\n    elif c:\n        return 3\n"
         "    else:\n        return 2\n",
         true},
        {"fn f(c: Bool) -> Int:\n    while c:\n        return 1\n", false},
        {"fn f(c: Bool) -> Int:\n    for x in [1]:\n        return 1\n", false},
        {"fn f(c: Bool) -> Int:\n    return 1\n    print(\"after\")\n", true},
        {"fn f(c: Bool) -> Int:\n    match c:\n        case true:\n            return 1\n"
         "        case false:\n            return 0\n",
         true},
        {"fn f(c: Bool) -> Int:\n    match c:\n        case true:\n            return 1\n"
         "        case false:\n            print(\"no\")\n",
         false},
        {"fn f(c: Bool) -> Int:\n    print(\"x\")\n", false},
        {"fn f(c: Bool) -> Void:\n    print(\"x\")\n", true},
        {"fn f(c: Bool) -> Void:\n    if c:\n        return\n", true},
        {"fn f(c: Bool) -> Int = 1\n", true},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.source);
        const ast::Program program = parsed(tc.source);
        Checker c = collected(program);
        const auto status = c.check_fn(fn_decl(program, 0), Span{1, 1});
        if (tc.passes) {
            EXPECT_TRUE(status) << status.error().message;
            continue;
        }
        ASSERT_FALSE(status);
        EXPECT_EQ(status.error().message, not_every_path);
        EXPECT_EQ(status.error().span, (Span{1, 1}));
    }
}

TEST(CheckFn, ParametersAreDeclaredInTheFunctionScope) {
    const ast::Program program = parsed(
        "record Point:\n"
        "    x: Int\n"
        "fn f(a: Int, Point: Int) -> Void = print(\"x\")\n"
        "fn g(a: Int, b: Int) -> Void = print(\"x\")\n");
    Checker c = collected(program);
    const auto record_param = c.check_fn(fn_decl(program, 1), program.stmts[1].span);
    ASSERT_FALSE(record_param);
    EXPECT_EQ(record_param.error().message, "'Point' is a record name — pick another name");
    EXPECT_EQ(record_param.error().span, (Span{3, 14}));

    // Two parameters of one name reach the body check as a same-scope duplicate at the second.
    ast::Program twice = program;
    auto& g = std::get<ast::Box<ast::StmtKind::FnDecl>>(twice.stmts[2].kind.v).get();
    g.params[1].name = "a";
    const auto duplicate = c.check_fn(g, twice.stmts[2].span);
    ASSERT_FALSE(duplicate);
    EXPECT_EQ(duplicate.error().message, std::string("'a") + kNoShadowing);
    EXPECT_EQ(duplicate.error().span, (Span{4, 14}));
}

TEST(CheckFn, RestoresTheTopLevelStateEvenAfterAFailure) {
    const ast::Program program = parsed("fn f[T](x: T, c: Bool) -> Int:\n    if c:\n        return 1\n");
    Checker c = collected(program);
    ASSERT_TRUE(c.declare("top", Type::int_(), false, Span{9, 1}));
    const auto status = c.check_fn(fn_decl(program, 0), Span{1, 1});
    ASSERT_FALSE(status);
    EXPECT_NE(c.lookup("top"), nullptr);
    EXPECT_EQ(c.lookup("x"), nullptr);
    EXPECT_EQ(c.scopes.size(), 1u);
    EXPECT_TRUE(c.outer_scopes.empty());
    EXPECT_FALSE(c.ret.has_value());
    EXPECT_TRUE(c.type_params.empty());
}

TEST(BuiltinNames, DeclarationAndReservedLists) {
    for (const char* name : {"Int",        "Num",  "Map",  "Set",   "Float",  "Bytes",  "Text",  "Bool",
                             "Byte",       "Void", "List", "Tuple", "Option", "Result", "print", "read_file",
                             "write_file", "args", "env",  "Some",  "None",   "Ok",     "Err"}) {
        EXPECT_TRUE(is_builtin_name(name)) << name;
    }
    EXPECT_FALSE(is_builtin_name("Point"));
    EXPECT_FALSE(is_builtin_name("int"));
    for (const char* name : {"Ok", "Err", "env", "args", "Some", "None", "print", "read_file", "write_file"}) {
        EXPECT_TRUE(is_reserved_builtin_name(name)) << name;
    }
    EXPECT_FALSE(is_reserved_builtin_name("Int"));
    EXPECT_FALSE(is_reserved_builtin_name("Print"));
}

// Scopes switch to a hash index past a couple of dozen names; names from before and after the switch must
// both be found, and still refuse a second declaration.
TEST(Declare, LargeScopesFindEveryNameAndRefuseRedeclaration) {
    Checker c("main");
    c.scopes.emplace_back();
    for (int i = 0; i < 40; ++i) {
        const Type ty = i % 2 == 0 ? Type::int_() : Type::text();
        ASSERT_TRUE(c.declare("v" + std::to_string(i), ty, i % 3 == 0, Span{1, 1})) << i;
    }
    for (int i = 0; i < 40; ++i) {
        const VarInfo* var = c.lookup("v" + std::to_string(i));
        ASSERT_NE(var, nullptr) << i;
        EXPECT_EQ(var->ty, i % 2 == 0 ? Type::int_() : Type::text()) << i;
        EXPECT_EQ(var->is_mutable, i % 3 == 0) << i;
    }
    EXPECT_EQ(c.lookup("v40"), nullptr);
    for (const char* name : {"v0", "v23", "v24", "v39"}) {
        const auto status = c.declare(name, Type::int_(), false, Span{2, 1});
        ASSERT_FALSE(status) << name;
        EXPECT_EQ(status.error().message, "'" + std::string(name) + kNoShadowing) << name;
    }
}

// Short name lists are scanned in place and longer ones indexed; a repeat must be caught whichever side
// of that switch its two occurrences fall on, and the first repeat is the one reported.
TEST(SeenNames, CatchesTheFirstRepeatOnEitherSideOfTheIndex) {
    struct Case {
        int length;     // names n0, n1, ... in order,
        int repeat_at;  // except that this position repeats
        int repeats;    // this earlier name (repeat_at -1: all distinct)
    };
    const std::vector<Case> cases = {
        {5, 4, 0}, {8, 7, 6}, {9, 8, 0}, {9, 8, 7}, {30, 20, 3}, {30, 29, 25}, {30, -1, 0}, {8, -1, 0},
    };
    for (const Case& c : cases) {
        std::vector<std::string> names;
        for (int i = 0; i < c.length; ++i) {
            // Appended rather than "n" + std::to_string(...), on which g++ 12 warns falsely at -O3.
            names.emplace_back("n").append(std::to_string(i == c.repeat_at ? c.repeats : i));
        }
        SeenNames seen;
        int first_repeat = -1;
        for (int i = 0; i < c.length && first_repeat < 0; ++i) {
            if (!seen.insert(names[static_cast<size_t>(i)])) first_repeat = i;
        }
        EXPECT_EQ(first_repeat, c.repeat_at) << c.length << " names, repeat at " << c.repeat_at;
    }
}

// The same through whole declarations: a record with more fields than are scanned in place.
TEST(SeenNames, LongFieldListsReportTheRepeatedField) {
    std::string source = "record R:\n";
    for (int i = 0; i < 20; ++i) source += "    f" + std::to_string(i == 15 ? 2 : i) + ": Int\n";
    const auto program = parsed(source);
    const auto result = check_program(program);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().message, "duplicate field 'f2' in record 'R'");
    EXPECT_EQ(result.error().span, (Span{17, 5}));
}

}  // namespace
}  // namespace quellin::typeck
