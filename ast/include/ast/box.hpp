#pragma once
// An owned, heap-allocated child with value semantics: copying a Box copies what it holds.

#include <memory>
#include <utility>

namespace quellin::ast {

template <class T>
class Box {
public:
    Box(T value) : p_(std::make_unique<T>(std::move(value))) {}  // NOLINT: implicit by design
    // Makes the value in its place from `args`, without a temporary to move from.
    template <class... Args>
    explicit Box(std::in_place_t, Args&&... args) : p_(std::make_unique<T>(std::forward<Args>(args)...)) {}
    Box(const Box& other) : p_(std::make_unique<T>(*other.p_)) {}
    Box(Box&&) noexcept = default;
    Box& operator=(const Box& other) {
        if (this != &other) p_ = std::make_unique<T>(*other.p_);
        return *this;
    }
    Box& operator=(Box&&) noexcept = default;
    ~Box() = default;

    T& operator*() { return *p_; }
    const T& operator*() const { return *p_; }
    T* operator->() { return p_.get(); }
    const T* operator->() const { return p_.get(); }
    T& get() { return *p_; }
    const T& get() const { return *p_; }

private:
    std::unique_ptr<T> p_;
};

}  // namespace quellin::ast
