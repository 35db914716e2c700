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

}  // namespace quellin::lsp
