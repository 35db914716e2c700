#include "ast/arena.hpp"

#include <cstdlib>
#include <iterator>
#include <new>

namespace quellin::ast {

thread_local Arena* Arena::current_ = nullptr;

Arena::~Arena() {
    for (void* block : blocks_) std::free(block);
}

void* Arena::allocate_slow(const std::size_t size, const std::size_t align) {
    if (size >= kOwnBlockFrom) {
        // malloc's blocks are aligned for any fundamental type, which is all a node needs.
        void* own = std::malloc(size);
        if (own == nullptr) throw std::bad_alloc();
        blocks_.push_back(own);
        return own;
    }
    void* block = std::malloc(kBlockBytes);
    if (block == nullptr) throw std::bad_alloc();
    blocks_.push_back(block);
    next_ = static_cast<char*>(block);
    end_ = next_ + kBlockBytes;
    return allocate(size, align);
}

void Arena::release_own_block(void* const p) noexcept {
    // The block given back is almost always one of the latest: a list frees its old storage right
    // after taking a larger block.
    for (auto it = blocks_.rbegin(); it != blocks_.rend(); ++it) {
        if (*it == p) {
            std::free(p);
            blocks_.erase(std::next(it).base());
            return;
        }
    }
}

}  // namespace quellin::ast
