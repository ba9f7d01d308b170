#pragma once
// Byte and pixel counts computed from sizes a file states: every reader sizes
// its buffers through this one check, so a header's numbers can neither wrap
// around nor ask for more than the reader allows.

#include <cstdint>
#include <optional>

namespace tessarin {

// a * b * c + add, or nothing when that overflows 64 bits or is over `limit`
// (by default what one allocation can be here).
constexpr std::optional<uint64_t> CheckedSize(uint64_t a, uint64_t b, uint64_t c = 1,
                                              uint64_t add = 0, uint64_t limit = SIZE_MAX) {
    uint64_t product = 0;
    if (__builtin_mul_overflow(a, b, &product) || __builtin_mul_overflow(product, c, &product) ||
        __builtin_add_overflow(product, add, &product) || product > limit)
        return std::nullopt;
    return product;
}

}  // namespace tessarin
