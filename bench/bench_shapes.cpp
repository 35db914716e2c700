// Pathological shapes, parsed and checked separately: a very wide exhaustive match, records that hold
// each other by value in long chains, and nesting and operator chains at the largest size the parser
// accepts (found by bisection at start-up, so the suite follows the parser's bounds).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <string>

#include "gen/generate.hpp"
#include "parser/parser.hpp"
#include "typeck/check.hpp"

namespace {

using namespace quellin;
using Maker = std::function<std::string(uint32_t)>;

bool checks_clean(const std::string& text) {
    auto program = parse(text);
    return program && typeck::check_program(*program);
}

// The largest size up to `hi` whose program checks clean, assuming every smaller size does too;
// 0 when even size 1 fails.
uint32_t largest_accepted(const Maker& make, uint32_t hi) {
    uint32_t lo = 0;
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo + 1) / 2;
        if (checks_clean(make(mid))) {
            lo = mid;
        } else {
            hi = mid - 1;
        }
    }
    return lo;
}

void register_shape(const std::string& name, const Maker& make, uint32_t size) {
    const std::string text = make(size);
    const auto lines = static_cast<double>(gen::count_lines(text));
    const std::string label = name + "/" + std::to_string(size);

    benchmark::RegisterBenchmark(("Parse/" + label).c_str(), [text, lines](benchmark::State& state) {
        for (auto _ : state) {
            auto program = parse(text);
            if (!program) state.SkipWithError(program.error().message.c_str());
            benchmark::DoNotOptimize(program);
        }
        state.counters["lines"] = lines;
    })->Unit(benchmark::kMicrosecond);

    benchmark::RegisterBenchmark(("Check/" + label).c_str(), [text, lines](benchmark::State& state) {
        auto program = parse(text);
        if (!program) {
            state.SkipWithError(program.error().message.c_str());
            return;
        }
        for (auto _ : state) {
            auto checked = typeck::check_program(*program);
            if (!checked) state.SkipWithError(checked.error().message.c_str());
            benchmark::DoNotOptimize(checked);
        }
        state.counters["lines"] = lines;
    })->Unit(benchmark::kMicrosecond);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    const Maker wide = [](uint32_t n) { return gen::wide_enum_program(n); };
    const Maker chain = [](uint32_t n) { return gen::value_chain_program(n, 1); };
    const Maker ladder = [](uint32_t n) { return gen::value_chain_program(n, 2); };
    const Maker blocks = [](uint32_t n) { return gen::nested_blocks_program(n); };
    const Maker parens = [](uint32_t n) { return gen::nested_parens_program(n); };
    const Maker ops = [](uint32_t n) { return gen::operator_chain_program(n); };

    for (const uint32_t n : {100u, 1000u}) {
        register_shape("WideEnum", wide, n);
        register_shape("ValueChain", chain, n);
        register_shape("ValueLadder", ladder, n);
    }
    const uint32_t deepest_blocks = largest_accepted(blocks, 2048);
    const uint32_t deepest_parens = largest_accepted(parens, 2048);
    const uint32_t longest_chain = largest_accepted(ops, 8192);
    std::printf("largest accepted: %u nested blocks, %u nested parentheses, %u operator terms\n",
                deepest_blocks, deepest_parens, longest_chain);
    register_shape("NestedBlocks", blocks, deepest_blocks);
    register_shape("NestedParens", parens, deepest_parens);
    register_shape("OperatorChain", ops, longest_chain);

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
