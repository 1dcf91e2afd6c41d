// Size arithmetic on untrusted dimensions: products and sums that report an
// overflow instead of wrapping.
#pragma once

#include <cstdint>
#include <optional>

namespace platform {

inline std::optional<std::uint64_t> checked_mul(std::uint64_t a, std::uint64_t b) {
    std::uint64_t r;
    if (__builtin_mul_overflow(a, b, &r)) return std::nullopt;
    return r;
}

inline std::optional<std::uint64_t> checked_add(std::uint64_t a, std::uint64_t b) {
    std::uint64_t r;
    if (__builtin_add_overflow(a, b, &r)) return std::nullopt;
    return r;
}

// n1·n2·n3 for positive dimensions, nothing on overflow.
inline std::optional<std::uint64_t> checked_volume(std::int64_t n1, std::int64_t n2, std::int64_t n3) {
    if (n1 <= 0 || n2 <= 0 || n3 <= 0) return std::nullopt;
    auto p = checked_mul(static_cast<std::uint64_t>(n1), static_cast<std::uint64_t>(n2));
    if (!p) return std::nullopt;
    return checked_mul(*p, static_cast<std::uint64_t>(n3));
}

}  // namespace platform
