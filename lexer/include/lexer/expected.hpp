#pragma once
// A small result type: every stage returns its value or its one error.

#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

namespace quellin {

template <class E>
struct Unexpected {
    E error;
};

template <class E>
Unexpected<std::decay_t<E>> unexpected(E&& e) {
    return Unexpected<std::decay_t<E>>{std::forward<E>(e)};
}

template <class T, class E>
class [[nodiscard]] Expected {
public:
    Expected(T value) : v_(std::in_place_index<0>, std::move(value)) {}
    template <class G>
    Expected(Unexpected<G> e) : v_(std::in_place_index<1>, std::move(e.error)) {}

    bool has_value() const { return v_.index() == 0; }
    explicit operator bool() const { return has_value(); }

    T& value() & { return std::get<0>(v_); }
    const T& value() const& { return std::get<0>(v_); }
    T&& value() && { return std::get<0>(std::move(v_)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    E& error() & { return std::get<1>(v_); }
    const E& error() const& { return std::get<1>(v_); }
    E&& error() && { return std::get<1>(std::move(v_)); }

private:
    std::variant<T, E> v_;
};

template <class E>
class [[nodiscard]] Expected<void, E> {
public:
    Expected() = default;
    template <class G>
    Expected(Unexpected<G> e) : err_(std::move(e.error)) {}

    bool has_value() const { return !err_.has_value(); }
    explicit operator bool() const { return has_value(); }

    E& error() & { return *err_; }
    const E& error() const& { return *err_; }
    E&& error() && { return std::move(*err_); }

private:
    std::optional<E> err_;
};

}  // namespace quellin

#define QN_CONCAT_INNER(a, b) a##b
#define QN_CONCAT(a, b) QN_CONCAT_INNER(a, b)

// Evaluates an Expected<void, E>-like expression and returns its error from the enclosing function.
#define QN_TRY(expr)                                                        \
    do {                                                                    \
        auto&& qn_try_result_ = (expr);                                     \
        if (!qn_try_result_) return ::quellin::unexpected(std::move(qn_try_result_).error()); \
    } while (0)

// Declares `decl` from the value of an Expected expression, or returns its error.
#define QN_TRY_ASSIGN(decl, expr) QN_TRY_ASSIGN_IMPL(QN_CONCAT(qn_try_tmp_, __LINE__), decl, expr)
#define QN_TRY_ASSIGN_IMPL(tmp, decl, expr)                              \
    auto tmp = (expr);                                                   \
    if (!tmp) return ::quellin::unexpected(std::move(tmp).error());      \
    decl = std::move(tmp).value()
