// Long runs of the reuse differential (lsp/tests/reuse_differential.hpp): the input's bytes choose the
// steps, changes on disk and messages, that a server taking work over from earlier checks and one
// checking from scratch both go through; any difference in their answers, or work held for reuse
// beyond what the latest checks of open documents used, or after every document is closed, traps.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "reuse_differential.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    quellin::lsp::testing::ByteChoices choices(data, size);
    quellin::lsp::testing::ReuseDifferential world(choices);
    if (!world.ok()) return 0;
    while (!choices.exhausted()) {
        if (const auto difference = world.step(choices)) {
            std::fprintf(stderr, "%s\n", difference->c_str());
            __builtin_trap();
        }
    }
    if (const auto left = world.close_all()) {
        std::fprintf(stderr, "%s\n", left->c_str());
        __builtin_trap();
    }
    return 0;
}
