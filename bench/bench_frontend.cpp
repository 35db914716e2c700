// The checking pipeline stage by stage on generated programs: lexing, parsing (which lexes), checking
// an already parsed program, the three together, and loading plus checking a 100-module program from
// disk. Every benchmark reports lines per second.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "gen/generate.hpp"
#include "gen/temp_dir.hpp"
#include "lexer/lexer.hpp"
#include "modules/modules.hpp"
#include "parser/parser.hpp"
#include "typeck/check.hpp"

namespace {

using namespace quellin;

std::string program_of(const benchmark::State& state) {
    return gen::generate_program(static_cast<uint32_t>(state.range(0)));
}

void report_lines(benchmark::State& state, uint64_t lines) {
    state.counters["lines/s"] =
        benchmark::Counter(static_cast<double>(lines * state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Lex(benchmark::State& state) {
    const std::string text = program_of(state);
    for (auto _ : state) {
        auto tokens = tokenize(text);
        if (!tokens) state.SkipWithError("lex error");
        benchmark::DoNotOptimize(tokens);
    }
    report_lines(state, static_cast<uint64_t>(state.range(0)));
}

void BM_Parse(benchmark::State& state) {
    const std::string text = program_of(state);
    for (auto _ : state) {
        auto program = parse(text);
        if (!program) state.SkipWithError("parse error");
        benchmark::DoNotOptimize(program);
    }
    report_lines(state, static_cast<uint64_t>(state.range(0)));
}

void BM_Check(benchmark::State& state) {
    auto program = parse(program_of(state));
    if (!program) {
        state.SkipWithError("parse error");
        return;
    }
    for (auto _ : state) {
        auto checked = typeck::check_program(*program);
        if (!checked) state.SkipWithError("type error");
        benchmark::DoNotOptimize(checked);
    }
    report_lines(state, static_cast<uint64_t>(state.range(0)));
}

// What a change to a document without imports costs before the server builds its reply. The server
// keeps the new tree for hover and frees the one it replaces only after replying, so freeing the tree
// is left out of the timed part here.
void BM_ParseAndCheck(benchmark::State& state) {
    const std::string text = program_of(state);
    for (auto _ : state) {
        auto program = parse(text);
        if (!program || !typeck::check_program(*program)) state.SkipWithError("not clean");
        state.PauseTiming();
        { const auto freed = std::move(program); }
        state.ResumeTiming();
    }
    report_lines(state, static_cast<uint64_t>(state.range(0)));
}

BENCHMARK(BM_Lex)->Arg(1'000)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Parse)->Arg(1'000)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Check)->Arg(1'000)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseAndCheck)->Arg(1'000)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

// A module graph written into a temporary directory that is removed with it.
class GraphOnDisk {
public:
    GraphOnDisk(uint32_t modules, uint32_t lines)
        : root_(gen::write_files(dir_.path(), gen::generate_module_graph(modules, lines))) {}
    const std::filesystem::path& root() const { return root_; }

private:
    gen::TempDir dir_;
    std::filesystem::path root_;
};

std::vector<typeck::ModuleInput> inputs_of(std::vector<Module> modules) {
    std::vector<typeck::ModuleInput> inputs;
    inputs.reserve(modules.size());
    for (Module& m : modules) inputs.emplace_back(std::move(m.name), std::move(m.program));
    return inputs;
}

void BM_LoadModules(benchmark::State& state) {
    const auto modules = static_cast<uint32_t>(state.range(0));
    const auto lines = static_cast<uint32_t>(state.range(1));
    const GraphOnDisk graph(modules, lines);
    for (auto _ : state) {
        auto loaded = load_modules_with_stdlib(graph.root(), std::nullopt);
        if (!loaded) state.SkipWithError(loaded.error().message.c_str());
        benchmark::DoNotOptimize(loaded);
    }
    report_lines(state, uint64_t{modules} * lines);
}

void BM_CheckModules(benchmark::State& state) {
    const auto modules = static_cast<uint32_t>(state.range(0));
    const auto lines = static_cast<uint32_t>(state.range(1));
    const GraphOnDisk graph(modules, lines);
    auto loaded = load_modules_with_stdlib(graph.root(), std::nullopt);
    if (!loaded) {
        state.SkipWithError(loaded.error().message.c_str());
        return;
    }
    const auto inputs = inputs_of(std::move(*loaded));
    for (auto _ : state) {
        auto checked = typeck::check_modules(inputs);
        if (!checked) state.SkipWithError(checked.error().error.message.c_str());
        benchmark::DoNotOptimize(checked);
    }
    report_lines(state, uint64_t{modules} * lines);
}

// What a change to the entry file of a module graph costs: everything is read from disk again.
void BM_LoadAndCheckModules(benchmark::State& state) {
    const auto modules = static_cast<uint32_t>(state.range(0));
    const auto lines = static_cast<uint32_t>(state.range(1));
    const GraphOnDisk graph(modules, lines);
    for (auto _ : state) {
        auto loaded = load_modules_with_stdlib(graph.root(), std::nullopt);
        if (!loaded || !typeck::check_modules(inputs_of(std::move(*loaded)))) state.SkipWithError("not clean");
    }
    report_lines(state, uint64_t{modules} * lines);
}

BENCHMARK(BM_LoadModules)->Args({100, 500})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckModules)->Args({100, 500})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAndCheckModules)->Args({100, 500})->Unit(benchmark::kMillisecond);

}  // namespace
