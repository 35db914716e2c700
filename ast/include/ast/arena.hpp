#pragma once
// Memory for the nodes of one syntax tree. A tree is built once, never changed and dropped whole, so
// its nodes are carved in order from large blocks that are released together with the tree, instead
// of being allocated and freed one by one.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

namespace quellin::ast {

class Arena {
public:
    Arena() = default;
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;
    ~Arena();

    // `size` bytes aligned to `align` (at most alignof(std::max_align_t)), valid until the arena dies.
    void* allocate(std::size_t size, std::size_t align);
    // Gives back what `allocate` returned for `size` bytes; a list that grows gives back its old
    // storage this way. A large request, which had a block of its own, is released at once; a small
    // one is kept for the next request of the same size.
    void deallocate(void* p, std::size_t size, std::size_t align) noexcept {
        if (size == 0) size = 1;
        if (size >= kOwnBlockFrom) {
            release_own_block(p);
        } else if (align <= kSlotAlign) {
            auto* slot = static_cast<FreeSlot*>(p);
            FreeSlot*& head = free_[size_class(size)];
            slot->next = head;
            head = slot;
        }
    }

private:
    static constexpr std::size_t kBlockBytes = 16 * 1024;
    // Larger requests get a block of their own, so a big one never wastes the rest of a block.
    static constexpr std::size_t kOwnBlockFrom = kBlockBytes / 4;

    struct FreeSlot {
        FreeSlot* next;
    };
    // Every allocation is aligned at least this much, so any slot can hold a FreeSlot and serve any
    // request of its class with no stricter alignment.
    static constexpr std::size_t kSlotAlign = alignof(FreeSlot);
    // Sizes of 1 to kSlotAlign bytes are class 0, and so on; every size from 1 to below kOwnBlockFrom
    // has one.
    static constexpr std::size_t size_class(std::size_t size) { return (size - 1) / kSlotAlign; }

    void* allocate_slow(std::size_t size, std::size_t align);
    void* new_block(std::size_t bytes);
    void release_own_block(void* p) noexcept;

    std::vector<void*> blocks_;
    // Given-back small slots by size class: a list's storage grows by doubling, so its old storage
    // fits the next list of the same length.
    FreeSlot* free_[kOwnBlockFrom / kSlotAlign] = {};
    char* next_ = nullptr;
    char* end_ = nullptr;
};

inline void* Arena::allocate(std::size_t size, std::size_t align) {
    // An empty request still gets its own slot: it may be given back, and a slot is written then.
    if (size == 0) size = 1;
    if (align < kSlotAlign) align = kSlotAlign;
    if (size < kOwnBlockFrom && align == kSlotAlign) {
        if (FreeSlot*& head = free_[size_class(size)]; head != nullptr) {
            FreeSlot* const slot = head;
            head = slot->next;
            return slot;
        }
    }
    const auto at = reinterpret_cast<std::uintptr_t>(next_);
    const std::uintptr_t aligned = (at + (align - 1)) & ~static_cast<std::uintptr_t>(align - 1);
    if (size < kOwnBlockFrom && next_ != nullptr && aligned + size <= reinterpret_cast<std::uintptr_t>(end_)) {
        next_ = reinterpret_cast<char*>(aligned + size);
        return reinterpret_cast<void*>(aligned);
    }
    return allocate_slow(size, align);
}

// A standard allocator over an arena, or over the heap when made without one: the lists inside a
// syntax tree use it, and the parser gives each list it fills the tree's arena. Moving a list takes its
// allocator along; a copy of a list is on the heap, since it may outlive the arena of the original.
template <class T>
class ArenaAllocator {
public:
    using value_type = T;
    using propagate_on_container_move_assignment = std::true_type;
    using propagate_on_container_swap = std::true_type;

    ArenaAllocator() noexcept : arena_(nullptr) {}
    explicit ArenaAllocator(Arena* arena) noexcept : arena_(arena) {}
    template <class U>
    ArenaAllocator(const ArenaAllocator<U>& other) noexcept : arena_(other.arena_) {}  // NOLINT: rebinding

    T* allocate(std::size_t n) {
        if (arena_ == nullptr) return std::allocator<T>().allocate(n);
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
        return static_cast<T*>(arena_->allocate(n * sizeof(T), alignof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept {
        if (arena_ == nullptr) {
            std::allocator<T>().deallocate(p, n);
        } else {
            arena_->deallocate(p, n * sizeof(T), alignof(T));
        }
    }
    ArenaAllocator select_on_container_copy_construction() const { return ArenaAllocator(); }

    friend bool operator==(const ArenaAllocator& a, const ArenaAllocator& b) { return a.arena_ == b.arena_; }

private:
    template <class U>
    friend class ArenaAllocator;
    Arena* arena_;
};

// The list type of syntax-tree nodes.
template <class T>
using Vec = std::vector<T, ArenaAllocator<T>>;

}  // namespace quellin::ast
