// The main of the in-process suites. The server process keeps the memory it frees for the next edit
// (lsp::keep_freed_memory), and so does this one, so that an iteration costs what an edit costs the
// server rather than the page faults of memory handed back and taken again.

#include <benchmark/benchmark.h>

#include "lsp/memory.hpp"

int main(int argc, char** argv) {
    quellin::lsp::keep_freed_memory();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
