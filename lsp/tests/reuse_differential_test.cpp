// A server that takes work over from earlier checks answers every message exactly as one that checks
// from scratch, over long random sequences of edits, file changes on disk, opens, closes and hovers;
// and once every document is closed it holds nothing for reuse. Longer runs: fuzz/fuzz_reuse.cpp.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "reuse_differential.hpp"

namespace quellin::lsp::testing {
namespace {

std::string last_steps(const ReuseDifferential& world) {
    std::string out;
    const auto& log = world.log();
    for (std::size_t i = log.size() > 12 ? log.size() - 12 : 0; i < log.size(); ++i) out += "\n  " + log[i];
    return out;
}

TEST(ReuseDifferential, AnswersAsFromScratchAndHoldsNothingOnceAllIsClosed) {
    constexpr uint64_t kSeeds = 40;
    constexpr int kSteps = 150;
    ReuseDifferential::Seen seen;
    for (uint64_t seed = 1; seed <= kSeeds; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        ReuseDifferential world;
        ASSERT_TRUE(world.ok());
        SeededChoices choices(seed);
        for (int step = 0; step < kSteps; ++step) {
            const std::optional<std::string> difference = world.step(choices);
            ASSERT_FALSE(difference) << "step " << step << ": " << *difference << "\nlast steps:" << last_steps(world);
        }
        const std::optional<std::string> left = world.close_all();
        ASSERT_FALSE(left) << *left << "\nlast steps:" << last_steps(world);
        seen.own_errors += world.seen().own_errors;
        seen.other_file_errors += world.seen().other_file_errors;
        seen.clean_with_imports += world.seen().clean_with_imports;
        seen.hover_texts += world.seen().hover_texts;
        seen.results_held += world.seen().results_held;
    }
    // The runs met every kind of answer, and held imported modules' results for many of their steps.
    EXPECT_GT(seen.own_errors, kSeeds * 5);
    EXPECT_GT(seen.other_file_errors, kSeeds * 5);
    EXPECT_GT(seen.clean_with_imports, kSeeds * 3);
    EXPECT_GT(seen.hover_texts, kSeeds / 2);
    EXPECT_GT(seen.results_held, kSeeds * kSteps / 2);
    std::printf("own errors %llu, other files' errors %llu, clean with imports %llu, hover texts %llu, results held %llu\n",
                static_cast<unsigned long long>(seen.own_errors), static_cast<unsigned long long>(seen.other_file_errors),
                static_cast<unsigned long long>(seen.clean_with_imports), static_cast<unsigned long long>(seen.hover_texts),
                static_cast<unsigned long long>(seen.results_held));
}

}  // namespace
}  // namespace quellin::lsp::testing
