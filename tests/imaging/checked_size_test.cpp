#include "imaging/checked_size.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "imaging/dib_image.h"

namespace tessarin {
namespace {

TEST(CheckedSizeTest, GivesTheSizeOrNothingAtEveryOverflowAndLimit) {
    struct Case {
        uint64_t a, b, c, add, limit;
        std::optional<uint64_t> want;
    };
    constexpr uint64_t kMax = UINT64_MAX;
    const std::vector<Case> cases = {
        {640, 480, 3, 0, kMax, 921600},
        {0, kMax, kMax, 7, kMax, 7},
        {uint64_t{1} << 32, uint64_t{1} << 32, 1, 0, kMax, std::nullopt},  // a * b wraps
        {uint64_t{1} << 32, uint64_t{1} << 31, 2, 0, kMax, std::nullopt},  // ... * c wraps
        {kMax, 1, 1, 1, kMax, std::nullopt},                               // + add wraps
        {kMax / 3, 3, 1, 0, kMax, kMax / 3 * 3},
        {1000, 1000, 1, 0, 1000000, 1000000},  // the limit itself is allowed
        {1000, 1000, 1, 1, 1000000, std::nullopt},
        // A header's 0xFFFFFFFF x 0xFFFFFFFF at 32 bits a pixel.
        {0xFFFFFFFF, 0xFFFFFFFF, 4, 0, kMaxRasterBytes, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CheckedSize(c.a, c.b, c.c, c.add, c.limit), c.want)
            << c.a << " * " << c.b << " * " << c.c << " + " << c.add << " <= " << c.limit;
    // A DIB row of the widest width and depth a header can state still has
    // its stride; one past what 64 bits hold has none.
    EXPECT_EQ(DibStride(INT32_MAX, 32), uint64_t{INT32_MAX} * 4);
    EXPECT_EQ(DibStride(INT64_MAX, 32), 0u);
}

}  // namespace
}  // namespace tessarin
