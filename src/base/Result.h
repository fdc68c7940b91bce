// What a function that can fail returns: its value, or the Failure that kept it from one. Shaped
// like std::expected<T, Failure>, so that a move to C++23 only renames it; unlike std::expected a
// Failure converts to a failed Result without std::unexpected.
//
// value() and error() may only be called on the side that is there: asking a failed Result for
// its value is a fault of the caller (it throws std::bad_variant_access), not a failure to report.
#pragma once

#include "base/Failure.h"

#include <optional>
#include <utility>
#include <variant>

namespace kuvrion {

template <class T> class [[nodiscard]] Result {
public:
    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Result(Failure failure) : m_state(std::in_place_index<1>, std::move(failure)) {}

    bool has_value() const { return m_state.index() == 0; }
    explicit operator bool() const { return has_value(); }

    T& value() & { return std::get<0>(m_state); }
    const T& value() const& { return std::get<0>(m_state); }
    T&& value() && { return std::get<0>(std::move(m_state)); }
    const Failure& error() const { return std::get<1>(m_state); }

    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

private:
    std::variant<T, Failure> m_state;
};

// The result of an operation that gives nothing but success or its failure.
template <> class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Failure failure) : m_failure(std::move(failure)) {}

    bool has_value() const { return !m_failure; }
    explicit operator bool() const { return has_value(); }

    const Failure& error() const { return m_failure.value(); }

private:
    std::optional<Failure> m_failure;
};

} // namespace kuvrion
