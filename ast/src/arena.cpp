#include "ast/arena.hpp"

#include <cstdlib>
#include <iterator>
#include <new>

namespace quellin::ast {

Arena::~Arena() {
    for (void* block : blocks_) std::free(block);
}

void* Arena::new_block(const std::size_t bytes) {
    // The slot is made first, so that a failure to record the block cannot lose it.
    blocks_.push_back(nullptr);
    void* const block = std::malloc(bytes);
    if (block == nullptr) {
        blocks_.pop_back();
        throw std::bad_alloc();
    }
    blocks_.back() = block;
    return block;
}

void* Arena::allocate_slow(const std::size_t size, const std::size_t align) {
    // malloc's blocks are aligned for any fundamental type, which is all a node needs.
    if (size >= kOwnBlockFrom) return new_block(size);
    next_ = static_cast<char*>(new_block(kBlockBytes));
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
