#include "lsp/memory.hpp"

// Any C library header says which C library this is.
#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace quellin::lsp {

namespace {

// glibc's largest mmap threshold on 64-bit systems; larger settings are refused.
constexpr int kLargestHeapBlock = 32 << 20;
constexpr int kKeptFreeTop = 256 << 20;

}  // namespace

void keep_freed_memory() {
#if defined(__GLIBC__)
    // Either setting alone also ends glibc's own adjustment of the other, so both are set.
    (void)mallopt(M_MMAP_THRESHOLD, kLargestHeapBlock);
    (void)mallopt(M_TRIM_THRESHOLD, kKeptFreeTop);
#endif
}

bool give_back_free_memory() {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 33))
    const struct mallinfo2 heap = mallinfo2();
    if (heap.fordblks <= kKeptFreeMemory || heap.fordblks <= heap.uordblks + heap.hblkhd) return false;
    return malloc_trim(0) != 0;
#else
    return false;
#endif
}

}  // namespace quellin::lsp
