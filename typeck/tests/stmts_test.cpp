// Statement checking: bindings, assignment, declarations and where they may appear, control flow,
// loops, match statements, tests and asserts.
#include <gtest/gtest.h>

#include "check/checker.hpp"
#include "check_helpers.hpp"

namespace quellin::typeck {
namespace {

using testing::ErrorCase;
using testing::expect_check;

const std::string kTopLevelVar =
    "' is a top-level variable — functions only see their parameters and locals in QUELLIN; pass it as a parameter";
const std::string kCaptured =
    "' is captured by value in this lambda — mutating it would only change the lambda's copy; produce the result "
    "via the return value instead";
const std::string kTruthiness = " — QUELLIN has no truthiness; write an explicit comparison";

TEST(Stmts, Bindings) {
    const ErrorCase cases[] = {
        {"let xs = []\n",
         "cannot infer the element type of an empty list — annotate the target, e.g. 'let xs: List[Int] = []'", 1, 10},
        // The annotation, not the literal, gives the binding its type.
        {"let xs: List[Int] = []\nlet n: Int = xs\n", "expected Int, found List[Int]", 2, 14},
        {"let x: Int = \"a\"\n", "expected Int, found Text", 1, 14},
        {"let x: Strng = 1\n",
         "unknown type 'Strng' — v0.1 types are Int, Float, Text, Bool, Void, List[T], Map[K, V], Set[T], Tuple[...], "
         "Option[T], Result[T, E], or a declared record or enum name",
         1, 8},
        {"let t = \"a\"\nlet v = print(t)\n", "cannot bind a Void value — this expression produces no value", 2, 9},
        {"mut u = ()\n", "cannot bind a Void value — this expression produces no value", 1, 9},
        {"let t = \"a\"\nprint(t)\n", "", 0, 0},
        {"1 + 2\n", "this Int result is discarded — bind it with 'let' or return it", 1, 1},
        {"mut m = 1\nmut m = 2\n",
         "'m' is already declared in this scope — QUELLIN has no same-scope shadowing; use a new name (or 'mut' if you "
         "want to reassign)",
         2, 1},
        {"fn f() -> Int = 1\nlet f = 2\n", "'f' is already a top-level function — pick another name", 2, 1},
        // A nested block may declare the name again, with another type.
        {"let x = 1\nif true:\n    let x = \"a\"\n    let t: Text = x\nlet n: Int = x\n", "", 0, 0},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(Stmts, AssignToNames) {
    const ErrorCase cases[] = {
        {"let x = 1\nx = 2\n", "cannot assign to immutable 'x' — declare it with 'mut x = ...' to allow reassignment",
         2, 1},
        {"mut x = 1\nx = 2\n", "", 0, 0},
        {"mut x = 1\nx = \"a\"\n", "expected Int, found Text", 2, 5},
        {"for x in [1, 2]:\n    x = 3\n",
         "cannot assign to immutable 'x' — declare it with 'mut x = ...' to allow reassignment", 2, 5},
        {"fn f(a: Int) -> Void:\n    a = 3\n",
         "cannot assign to immutable 'a' — declare it with 'mut a = ...' to allow reassignment", 2, 5},
        {"let g = 1\nfn f() -> Void:\n    g = 2\n", "'g" + kTopLevelVar, 3, 5},
        {"fn f() -> Int = 1\nfn main() -> Void:\n    f = 2\n", "cannot assign to function 'f'", 3, 5},
        {"fn main() -> Void:\n    y = 2\n", "unknown name 'y' — declare it first with 'let' or 'mut'", 2, 5},
        // The target is judged before the value is looked at.
        {"let x = 1\nx = nothing\n",
         "cannot assign to immutable 'x' — declare it with 'mut x = ...' to allow reassignment", 2, 1},
        {"fn main() -> Void:\n    mut n = 0\n    let f = fn() -> Void:\n        n = 1\n", "'n" + kCaptured, 4, 9},
        {"let f = fn() -> Int:\n    mut k = 1\n    k = 2\n    return k\n", "", 0, 0},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(Stmts, AssignIntoElementsAndFields) {
    const std::string point = "record P:\n    x: Int\n    y: Int\n";
    const ErrorCase cases[] = {
        {"let xs = [1]\nxs[0] = 5\n",
         "cannot modify immutable 'xs' — declare it with 'mut' to allow element or field assignment", 2, 1},
        {"mut xs = [1]\nxs[0] = 5\n", "", 0, 0},
        {"mut xs = [1]\nxs[0] = \"a\"\n", "expected Int, found Text", 2, 9},
        {"mut m = {\"a\": [1]}\nm[\"a\"][0] = 2\n", "", 0, 0},
        {"fn f() -> List[Int] = [1]\nf()[0] = 1\n",
         "cannot assign into this expression — element and field assignment need a named value at the root, e.g. "
         "xs[0] = 1 or user.name = \"x\"",
         2, 1},
        {point + "mut p = P(x: 1, y: 2)\np.x = 3\n", "", 0, 0},
        {point + "mut p = P(x: 1, y: 2)\np.z = 3\n", "record P has no field 'z' — its fields are: x, y", 5, 1},
        {point + "let p = P(x: 1, y: 2)\np.x = 3\n",
         "cannot modify immutable 'p' — declare it with 'mut' to allow element or field assignment", 5, 1},
        {"fn main() -> Void:\n    ys[0] = 1\n", "unknown name 'ys' — declare it first with 'let' or 'mut'", 2, 5},
        {"mut ys = [1]\nfn main() -> Void:\n    ys[0] = 2\n", "'ys" + kTopLevelVar, 3, 5},
        // A test has no result type, so a top-level root is simply unknown there.
        {"mut ys = [1]\ntest \"t\":\n    ys[0] = 2\n", "unknown name 'ys' — declare it first with 'let' or 'mut'", 3,
         5},
        {"mut xs = [1]\nlet f = fn() -> Void:\n    xs[0] = 2\n", "'xs" + kCaptured, 3, 5},
    };
    for (const auto& c : cases) expect_check(c);
}

// The parser only builds assignments to names, fields and index slots; any other target is refused here too.
TEST(Stmts, AssignToOtherTargetIsRefused) {
    ast::Stmt stmt{ast::StmtKind{ast::StmtKind::Assign{ast::Expr{ast::ExprKind{ast::ExprKind::Int{3}}, {1, 1}},
                                                       ast::Expr{ast::ExprKind{ast::ExprKind::Int{4}}, {1, 5}}}},
                   {1, 1}};
    Checker checker("main");
    const Status result = checker.check_stmt(stmt);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().message,
              "cannot assign to this expression — assignment targets are names, fields, or index slots");
    EXPECT_EQ(result.error().span.line, 1u);
    EXPECT_EQ(result.error().span.col, 1u);
}

TEST(Stmts, DeclarationsOutsideTheTopLevel) {
    const ErrorCase cases[] = {
        {"if true:\n    fn f() -> Int = 1\n",
         "nested functions are not supported in v0.1 — declare 'f' at the top level", 2, 5},
        {"fn main() -> Void:\n    record R:\n        x: Int\n",
         "records are declared at the top level — move 'R' out of this block", 2, 5},
        {"fn main() -> Void:\n    enum E:\n        A\n",
         "enums are declared at the top level — move 'E' out of this block", 2, 5},
        {"fn main() -> Void:\n    import util\n",
         "imports live at the top of the file — move 'import util' out of this block", 2, 5},
        {"if true:\n    test \"inner\":\n        assert true\n",
         "tests are declared at the top level — move \"inner\" out of this block", 2, 5},
        {"let f = fn() -> Void:\n    record R:\n        x: Int\n",
         "records are declared at the top level — move 'R' out of this block", 2, 5},
        // A test body is a block like any other: nothing may be declared directly in it either.
        {"test \"t\":\n    fn helper() -> Int = 1\n",
         "nested functions are not supported in v0.1 — declare 'helper' at the top level", 2, 5},
        {"test \"t\":\n    record R:\n        x: Int\n",
         "records are declared at the top level — move 'R' out of this block", 2, 5},
        {"test \"t\":\n    enum E:\n        A\n", "enums are declared at the top level — move 'E' out of this block", 2,
         5},
        {"test \"t\":\n    import util\n",
         "imports live at the top of the file — move 'import util' out of this block", 2, 5},
        {"test \"outer\":\n    test \"inner\":\n        assert true\n",
         "tests are declared at the top level — move \"inner\" out of this block", 2, 5},
        {"record R:\n    x: Int\nenum E:\n    A\nfn f() -> Int = 1\ntest \"t\":\n    assert f() == 1\n", "", 0, 0},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(Stmts, Tests) {
    const ErrorCase cases[] = {
        {"test \"a\":\n    assert true\ntest \"a\":\n    assert true\n",
         "test \"a\" is declared twice — test names are unique so failures point at one block", 3, 1},
        {"test \"a\":\n    assert true\ntest \"b\":\n    assert true\n", "", 0, 0},
        {"let x = 1\ntest \"t\":\n    assert x == 1\n",
         "'x' is a top-level variable — tests are self-contained in QUELLIN; declare the value inside the test", 3, 12},
        // The top-level scope is back after the test, and the test's locals are gone.
        {"let x = 1\ntest \"t\":\n    let y = 2\n    assert y == 2\nassert x == 1\n", "", 0, 0},
        {"test \"t\":\n    let y = 2\nassert y == 2\n", "unknown name 'y'", 3, 8},
        // Test bodies share one scope with nothing above it: a top-level name may be reused.
        {"let x = 1\ntest \"t\":\n    let x = \"a\"\n    assert x == \"a\"\n", "", 0, 0},
        {"test \"t\":\n    return\n", "'return' outside a function", 2, 5},
        {"assert 0\n", "assert needs a Bool, found Int" + kTruthiness, 1, 8},
        {"assert 1 == 1\n", "", 0, 0},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(Stmts, ControlFlow) {
    const ErrorCase cases[] = {
        {"break\n", "'break' outside a loop", 1, 1},
        {"continue\n", "'continue' outside a loop", 1, 1},
        {"if true:\n    break\n", "'break' outside a loop", 2, 5},
        {"while true:\n    break\n", "", 0, 0},
        {"fn f(xs: List[Int]) -> Void:\n    for x in xs:\n        if x > 1:\n            continue\n", "", 0, 0},
        {"while true:\n    break\nbreak\n", "'break' outside a loop", 3, 1},
        {"return 1\n", "'return' outside a function", 1, 1},
        {"fn f() -> Int:\n    return\n", "this function returns Int — 'return' needs a value", 2, 5},
        {"fn f() -> Void:\n    return\n", "", 0, 0},
        {"fn f() -> Void:\n    return 1\n", "expected Void, found Int", 2, 12},
        {"if 1:\n    print(\"a\")\n", "condition must be Bool, found Int" + kTruthiness, 1, 4},
        {"if true:\n    print(\"a\")\nelif \"x\":\n    print(\"b\")\n", "condition must be Bool, found Text" + kTruthiness,
         3, 6},
        {"let xs = [1]\nwhile xs:\n    break\n", "condition must be Bool, found List[Int]" + kTruthiness, 2, 7},
        {"if false:\n    print(\"a\")\nelse:\n    let n = 1 + \"b\"\n", "expected Int, found Text", 4, 17},
        // Each branch has its own scope.
        {"if true:\n    let a = 1\nprint(\"{a}\")\n", "unknown name 'a'", 3, 9},
        {"if true:\n    let a = 1\nelse:\n    let a = 2\nlet a = 3\n", "", 0, 0},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(Stmts, ForLoops) {
    const ErrorCase cases[] = {
        {"for c in \"abc\":\n    let t: Text = c\n", "", 0, 0},
        {"let b = \"a\".to_bytes()\nfor x in b:\n    let n: Int = x\n", "", 0, 0},
        {"let m = {\"a\": 1}\nfor k in m:\n    let t: Text = k\n", "", 0, 0},
        {"let s = {1, 2}\nfor v in s:\n    let n: Int = v\n", "", 0, 0},
        {"for x in [[1]]:\n    let n: Int = x\n", "expected Int, found List[Int]", 2, 18},
        {"for x in 5:\n    print(\"a\")\n",
         "'for' iterates List, Set, Map (its keys), Text, or Bytes values, found Int", 1, 10},
        {"fn f() -> Int = 1\nfor f in [1]:\n    print(\"x\")\n",
         "'f' is already a top-level function — pick another name", 2, 1},
        // The loop variable and the body share one scope.
        {"for x in [1]:\n    let x = 2\n",
         "'x' is already declared in this scope — QUELLIN has no same-scope shadowing; use a new name (or 'mut' if you "
         "want to reassign)",
         2, 5},
        {"for x in [1]:\n    print(\"{x}\")\nlet x = \"done\"\n", "", 0, 0},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(Stmts, Match) {
    const ErrorCase cases[] = {
        {"fn f() -> Void = print(\"x\")\nmatch f():\n    case _:\n        print(\"a\")\n",
         "cannot match on a Void value — this expression produces no value", 2, 7},
        {"let n = 1\nmatch n:\n    case x if 1:\n        print(\"a\")\n    case _:\n        print(\"b\")\n",
         "a guard must be Bool, found Int" + kTruthiness, 3, 15},
        {"let b = true\nmatch b:\n    case true:\n        print(\"t\")\n",
         "this match on Bool is not exhaustive — cover both 'case true:' and 'case false:' or finish with a 'case _:' "
         "arm",
         2, 1},
        {"let n = 1\nmatch n:\n    case k if k > 0:\n        print(\"pos\")\n    case _:\n        print(\"other\")\n", "",
         0, 0},
        // The pattern's bindings and the arm body share one scope, which ends with the arm.
        {"let n = 1\nmatch n:\n    case k:\n        let k = 2\n",
         "'k' is already declared in this scope — QUELLIN has no same-scope shadowing; use a new name (or 'mut' if you "
         "want to reassign)",
         4, 9},
        {"let n = 1\nmatch n:\n    case k:\n        print(\"{k}\")\nlet k = 3\n", "", 0, 0},
        {"let n = 1\nmatch n:\n    case 1:\n        let a = 1\n    case a:\n        print(\"{a}\")\n", "", 0, 0},
        {"let n = 1\nmatch n:\n    case 1:\n        print(1)\n    case _:\n        print(\"b\")\n",
         "expected Text, found Int", 4, 15},
    };
    for (const auto& c : cases) expect_check(c);
}

// After a failed check, every scope, loop counter and bracketing is back as it was before the statement.
TEST(Stmts, StateIsRestoredAfterAnError) {
    const char* sources[] = {
        "test \"t\":\n    let a = 1\n    a = 2\n",
        "while true:\n    if true:\n        let z = 1 + \"a\"\n",
        "for x in [1]:\n    while true:\n        let y: Text = x\n",
        "let f = fn(x: Int) -> Int:\n    while true:\n        return \"a\"\n",
        "let g = fn(x: Int) -> Int = x + \"a\"\n",
        "let n = 1\nmatch n:\n    case k:\n        let q = k + \"a\"\n",
    };
    for (const char* source : sources) {
        SCOPED_TRACE(source);
        auto program = parse(source);
        ASSERT_TRUE(program) << program.error().message;
        Checker checker("main");
        bool failed = false;
        for (const ast::Stmt& stmt : program->stmts) {
            if (!checker.check_stmt(stmt)) {
                failed = true;
                break;
            }
        }
        EXPECT_TRUE(failed);
        EXPECT_EQ(checker.scopes.size(), 1u);
        EXPECT_TRUE(checker.outer_scopes.empty());
        EXPECT_TRUE(checker.lambda_bases.empty());
        EXPECT_FALSE(checker.ret.has_value());
        EXPECT_FALSE(checker.in_test);
        EXPECT_EQ(checker.loop_depth, 0u);
    }
}

}  // namespace
}  // namespace quellin::typeck
