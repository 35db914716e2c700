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
        SeededChoices choices(seed);
        ReuseDifferential world(choices);
        ASSERT_TRUE(world.ok());
        for (int step = 0; step < kSteps; ++step) {
            const std::optional<std::string> difference = world.step(choices);
            ASSERT_FALSE(difference) << "step " << step << ": " << *difference << "\nlast steps:" << last_steps(world);
        }
        const std::optional<std::string> left = world.close_all();
        ASSERT_FALSE(left) << *left << "\nlast steps:" << last_steps(world);
        seen += world.seen();
    }
    std::printf("own errors %llu, other files' errors %llu, loaded %llu of which clean %llu, hover texts %llu, "
                "results held %llu, trees taken over %llu, results taken over %llu\n",
                static_cast<unsigned long long>(seen.own_errors), static_cast<unsigned long long>(seen.other_file_errors),
                static_cast<unsigned long long>(seen.loaded), static_cast<unsigned long long>(seen.clean_with_imports),
                static_cast<unsigned long long>(seen.hover_texts), static_cast<unsigned long long>(seen.results_held),
                static_cast<unsigned long long>(seen.trees_taken), static_cast<unsigned long long>(seen.results_taken));
    // The runs met every kind of answer; a good share of the programs loaded came out clean; and the
    // reusing server took trees and results over often, so the answers compared were reuse's.
    EXPECT_GT(seen.own_errors, kSeeds * 5);
    EXPECT_GT(seen.other_file_errors, kSeeds * 5);
    EXPECT_GT(seen.clean_with_imports * 4, seen.loaded);
    EXPECT_GT(seen.clean_with_imports, kSeeds * 3);
    EXPECT_GT(seen.hover_texts, kSeeds * 3);
    EXPECT_GT(seen.results_held, kSeeds * kSteps / 2);
    EXPECT_GT(seen.trees_taken, seen.loaded);
    EXPECT_GT(seen.results_taken, seen.loaded / 2);
}

}  // namespace
}  // namespace quellin::lsp::testing
