#pragma once

#include <array>
#include <cstdint>

// The job record handed to the print component: 84 bytes, five 32-bit
// words in little-endian byte order, then 64 reserved bytes of zero.
struct CdrJobRecord
{
    static constexpr int kSize = 84;

    std::int32_t firstWord = 1;
    std::int32_t pageCount = 0;
    std::int32_t thirdWord = 0;
    std::int32_t fourthWord = 8;
    std::int32_t fifthWord = 1;

    std::array<std::uint8_t, kSize> bytes() const;
};
