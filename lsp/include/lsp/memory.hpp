#pragma once
// How the server process keeps the memory it frees.

namespace quellin::lsp {

// Every edit builds and frees about as much memory as the one before it: the text, its tokens, its
// syntax trees and the checker's tables. By default the C library hands large blocks and the freed
// top of the heap back to the system after each edit, and the next edit then pays a page fault for
// every page it touches again, which on a virtual machine can cost as much as the check itself. Called
// once at start-up, this keeps blocks of up to 32 MiB in the heap and up to 256 MiB of freed memory
// at its top for reuse. The peak resident memory is unchanged; the memory held between edits stays
// at that peak. Elsewhere than glibc it does nothing.
void keep_freed_memory();

}  // namespace quellin::lsp
