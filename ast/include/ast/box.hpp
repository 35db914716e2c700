#pragma once
// An owned child with value semantics: copying a Box copies what it holds. The child lives in the
// arena it was made in (see arena.hpp), or on the heap when it was made without one, as a copy always
// is; the Box remembers which, so that it frees only what the heap gave it.

#include <cstdint>
#include <new>
#include <utility>

#include "ast/arena.hpp"

namespace quellin::ast {

template <class T>
class Box {
public:
    Box(T value) : Box(std::in_place, std::move(value)) {}  // NOLINT: implicit by design
    // Makes the value in its place from `args`, without a temporary to move from: on the heap, or in
    // `arena`.
    template <class... Args>
    explicit Box(std::in_place_t, Args&&... args) : Box(nullptr, std::forward<Args>(args)...) {}
    template <class... Args>
    Box(Arena& arena, std::in_place_t, Args&&... args) : Box(&arena, std::forward<Args>(args)...) {}
    Box(const Box& other) : Box(std::in_place, other.get()) {}
    Box(Box&& other) noexcept : bits_(std::exchange(other.bits_, 0)) {}
    Box& operator=(const Box& other) {
        if (this != &other) *this = Box(other);
        return *this;
    }
    Box& operator=(Box&& other) noexcept {
        if (this != &other) {
            release();
            bits_ = std::exchange(other.bits_, 0);
        }
        return *this;
    }
    ~Box() { release(); }

    T& operator*() { return get(); }
    const T& operator*() const { return get(); }
    T* operator->() { return ptr(); }
    const T* operator->() const { return ptr(); }
    T& get() { return *ptr(); }
    const T& get() const { return *ptr(); }

private:
    static constexpr std::uintptr_t kInArena = 1;

    template <class... Args>
    Box(Arena* arena, Args&&... args) {
        static_assert(alignof(T) > 1, "the low bit of the pointer marks arena memory");
        void* const memory = arena != nullptr ? arena->allocate(sizeof(T), alignof(T)) : ::operator new(sizeof(T));
        try {
            ::new (memory) T(std::forward<Args>(args)...);
        } catch (...) {
            if (arena == nullptr) ::operator delete(memory);
            throw;
        }
        bits_ = reinterpret_cast<std::uintptr_t>(memory) | (arena != nullptr ? kInArena : 0);
    }

    T* ptr() const { return reinterpret_cast<T*>(bits_ & ~kInArena); }
    void release() noexcept {
        if (bits_ == 0) return;
        T* const p = ptr();
        p->~T();
        if ((bits_ & kInArena) == 0) ::operator delete(p);
        bits_ = 0;
    }

    std::uintptr_t bits_ = 0;
};

}  // namespace quellin::ast
