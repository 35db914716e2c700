#pragma once
// How the server process keeps the memory it frees.

#include <cstddef>

namespace quellin::lsp {

// Every edit builds and frees about as much memory as the one before it: the text, its tokens, its
// syntax trees and the checker's tables. By default the C library hands large blocks and the freed
// top of the heap back to the system after each edit, and the next edit then pays a page fault for
// every page it touches again, which on a virtual machine can cost as much as the check itself. Called
// once at start-up, this keeps blocks of up to 32 MiB in the heap and up to 256 MiB of freed memory
// at its top for reuse. The peak resident memory is unchanged; the memory held between edits stays
// at that peak. Elsewhere than glibc it does nothing.
void keep_freed_memory();

// Free memory kept beyond this is given back when give_back_free_memory is called.
inline constexpr std::size_t kKeptFreeMemory = std::size_t{8} << 20;

// Gives the heap's free memory back to the system when there is more of it than kKeptFreeMemory and
// more than the memory in use, which is about what the next checks of what is still open build again;
// returns whether it did. Giving back a large heap takes milliseconds, and the next check pays a page
// fault for each page it touches again, so the server calls this only once the answer to a close, or
// to an edit that shrank a document, is written: when what is open has become smaller. Elsewhere than
// glibc it does nothing.
bool give_back_free_memory();

}  // namespace quellin::lsp
