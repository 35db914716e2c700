// The instances and calls that inference of type arguments records, and the bound on the size of
// inferred types. The messages of generic calls and constructions are file tests:
// typeck/tests/files/generics_*.qn.
#include <gtest/gtest.h>

#include "check/checker.hpp"
#include "check_helpers.hpp"

namespace quellin::typeck {
namespace {

using testing::ErrorCase;
using testing::expect_check;
using testing::expect_ok;
using testing::Sources;

const std::string kTooLarge =
    "this type grows too large (more than 4096 characters) — add type annotations or simplify the generic nesting";

// Checks a program that must pass and returns its tables.
CheckInfo info_of(const Sources& sources) {
    std::vector<ModuleInput> inputs;
    for (const auto& [name, source] : sources) {
        auto parsed = parse(source);
        EXPECT_TRUE(parsed.has_value()) << source;
        if (!parsed) return {};
        inputs.emplace_back(name, std::make_shared<const ast::Program>(std::move(parsed).value()));
    }
    auto info = check_modules_info(inputs);
    EXPECT_TRUE(info.has_value()) << (info ? "" : info.error().error.message);
    return info ? std::move(info).value() : CheckInfo{};
}

TEST(Generics, RecordsCallsAndInstances) {
    const CheckInfo local = info_of({{"main",
                                      "fn first[T](xs: List[T]) -> T = xs[0]\nlet a = first([1, 2])\n"
                                      "record Pair[A, B]:\n    first: A\n    second: B\n"
                                      "let p = Pair(first: 1, second: \"a\")\n"}});
    const auto call = local.calls.find({"main", 2, 9});
    ASSERT_NE(call, local.calls.end());
    EXPECT_EQ(call->second, (CallInst{"first", {Type::int_()}, std::nullopt}));
    const auto pair = local.instances.find("Pair[Int, Text]");
    ASSERT_NE(pair, local.instances.end());
    EXPECT_EQ(pair->second, (Instance{"Pair", {Type::int_(), Type::text()}}));

    const CheckInfo imported = info_of({{"util", "/// First.\npub fn first[T](xs: List[T]) -> T = xs[0]\n"},
                                        {"main", "import util\nlet a: Text = util.first([\"x\"])\n"}});
    const auto module_call = imported.calls.find({"main", 2, 15});
    ASSERT_NE(module_call, imported.calls.end());
    EXPECT_EQ(module_call->second, (CallInst{"first", {Type::text()}, std::string("util")}));
}

// The server never reads the table of generic calls, so a checker fills it only when told to.
TEST(Generics, CallsAreRecordedOnlyWhenAsked) {
    const auto program = parse("fn first[T](xs: List[T]) -> T = xs[0]\nlet a = first([1, 2])\n");
    ASSERT_TRUE(program.has_value());
    const Apis no_imports;
    for (const bool asked : {false, true}) {
        Checker c("main");
        c.record_generic_calls = asked;
        ASSERT_TRUE(c.install_imports(*program, no_imports));
        ASSERT_TRUE(c.collect_types(*program));
        ASSERT_TRUE(c.collect_fns(*program));
        for (const ast::Stmt& stmt : program->stmts) ASSERT_TRUE(c.check_stmt(stmt));
        EXPECT_EQ(c.generic_calls.size(), asked ? 1u : 0u) << asked;
    }
}

// A record whose name has `length` characters, a generic function and generic types that wrap it.
std::string long_name_program(size_t length, const std::string& use) {
    const std::string name(length, 'R');
    return "record " + name + ":\n    v: Int\n" + "fn wrap[T](x: T) -> List[T] = [x]\n" +
           "record Box[T]:\n    item: T\nenum Holder[T]:\n    Held(value: T)\n" + "let r = " + name + "(v: 1)\n" + use +
           "\n";
}

TEST(Generics, InferredTypesAreBounded) {
    // List[R] adds 6 characters to the name, Box[R] 5 and Holder[R] 8: each is tried exactly at the
    // bound and one character past it.
    const ErrorCase cases[] = {
        {long_name_program(4090, "let w = wrap(r)"), "", 0, 0},
        {long_name_program(4091, "let w = wrap(r)"), kTooLarge, 9, 9},
        {long_name_program(4091, "let b = Box(item: r)"), "", 0, 0},
        {long_name_program(4092, "let b = Box(item: r)"), kTooLarge, 9, 9},
        {long_name_program(4088, "let h = Holder.Held(value: r)"), "", 0, 0},
        {long_name_program(4089, "let h = Holder.Held(value: r)"), kTooLarge, 9, 9},
    };
    for (const auto& c : cases) expect_check(c);
}

TEST(Generics, SelfPairingNestingStopsAtTheBound) {
    // Each level doubles the type: Tuple[Int, Int] is 15 characters, the ninth level 6135.
    std::string call = "1";
    for (int i = 0; i < 30; ++i) call = "dup(" + call + ")";
    expect_check(
        ErrorCase{"fn dup[T](x: T) -> Tuple[T, T] = (x, x)\nlet d = " + call + "\n", kTooLarge, 2, 9 + 4 * (30 - 9)});

    // The same with a generic record: Pair[Int, Int] is 14 characters, the eighth level 5624.
    std::string src = "record Pair[A, B]:\n    first: A\n    second: B\nlet p0 = Pair(first: 1, second: 1)\n";
    for (int i = 1; i <= 12; ++i) {
        const std::string prev = std::string("p") + std::to_string(i - 1);
        src += "let p" + std::to_string(i) + " = Pair(first: " + prev + ", second: " + prev + ")\n";
    }
    expect_check(ErrorCase{src, kTooLarge, 12, 10});
}

}  // namespace
}  // namespace quellin::typeck

namespace quellin::typeck {
namespace {

using testing::check_source;
using testing::expect_ok;

// Types can also double without a generic call: a tuple of a value with itself, bound again and again.
std::string doubling_tuples(int levels) {
    std::string src = "fn main() -> Void:\n    let t0 = 1\n";
    for (int i = 1; i <= levels; ++i) {
        src += "    let t" + std::to_string(i) + " = (t" + std::to_string(i - 1) + ", t" + std::to_string(i - 1) + ")\n";
    }
    return src;
}

TEST(TypeSize, TuplesOfThemselvesStopAtTheLimit) {
    // Level 8 prints in 3063 characters; level 9 would need 6135.
    expect_ok(doubling_tuples(8));
    const std::optional<TypeError> error = check_source(doubling_tuples(40));
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->message,
              "this type grows too large (more than 4096 characters) — add type annotations or simplify the generic "
              "nesting");
    EXPECT_EQ(error->span.line, 11u);
    EXPECT_EQ(error->span.col, 14u);
}

}  // namespace
}  // namespace quellin::typeck
