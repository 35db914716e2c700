#include "lsp/memory.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUELLIN_TEST_OWN_ALLOCATOR 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define QUELLIN_TEST_OWN_ALLOCATOR 1
#endif

namespace quellin::lsp {
namespace {

TEST(KeepFreedMemory, LargeBlocksComeFromTheHeapAndStayThereOnceFreed) {
#if !defined(__GLIBC__) || defined(QUELLIN_TEST_OWN_ALLOCATOR)
    GTEST_SKIP() << "the setting applies to glibc's allocator only";
#else
    // A block the size of a large document's token array: far above the C library's default threshold
    // for mapping blocks of their own (128 KiB), so it shows whether the setting took effect.
    constexpr std::size_t kBlock = std::size_t{4} << 20;
    keep_freed_memory();
    const std::size_t mapped_before = mallinfo2().hblkhd;
    void* const block = std::malloc(kBlock);
    ASSERT_NE(block, nullptr);
    static_cast<volatile char*>(block)[kBlock - 1] = 1;
    EXPECT_EQ(mallinfo2().hblkhd, mapped_before) << "the block was mapped on its own";
    std::free(block);
    // Freed at the top of the heap, it is kept for the next request rather than given back.
    EXPECT_GE(mallinfo2().fordblks, kBlock);
#endif
}

#if defined(__GLIBC__) && !defined(QUELLIN_TEST_OWN_ALLOCATOR)
// Resident bytes of this process.
std::size_t resident_bytes() {
    std::ifstream statm("/proc/self/statm");
    std::size_t size = 0;
    std::size_t resident = 0;
    statm >> size >> resident;
    return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

// Blocks of `count` × 256 KiB, every page touched.
std::vector<void*> touched_blocks(const std::size_t count) {
    constexpr std::size_t kBlock = std::size_t{256} << 10;
    std::vector<void*> blocks;
    for (std::size_t i = 0; i < count; ++i) {
        auto* const block = static_cast<char*>(std::malloc(kBlock));
        if (block == nullptr) break;
        for (std::size_t at = 0; at < kBlock; at += 4096) block[at] = 1;
        blocks.push_back(block);
    }
    return blocks;
}
#endif

TEST(GiveBackFreeMemory, OnlyWhenFreeMemoryExceedsTheBoundAndWhatIsInUse) {
#if !defined(__GLIBC__) || defined(QUELLIN_TEST_OWN_ALLOCATOR)
    GTEST_SKIP() << "the setting applies to glibc's allocator only";
#else
    keep_freed_memory();
    (void)give_back_free_memory();
    // 64 MiB in use and 32 MiB free: kept, for the next check to build again.
    std::vector<void*> kept = touched_blocks(256);
    std::vector<void*> freed = touched_blocks(128);
    for (void* block : freed) std::free(block);
    EXPECT_FALSE(give_back_free_memory());
    // Now 96 MiB free and none of it in use: given back.
    for (void* block : kept) std::free(block);
    const std::size_t before = resident_bytes();
    EXPECT_TRUE(give_back_free_memory());
    EXPECT_LT(resident_bytes() + (std::size_t{64} << 20), before);
#endif
}

}  // namespace
}  // namespace quellin::lsp
