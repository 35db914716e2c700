#include "lsp/memory.hpp"

#include <gtest/gtest.h>

#include <cstdlib>

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

}  // namespace
}  // namespace quellin::lsp
