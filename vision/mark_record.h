#pragma once

#include <cstdint>

// One registration mark: the caller fills minD/maxD of the first record with
// the accepted diameter range; the finder fills x, y, d of each mark found.
struct MarkRecord
{
    int32_t minD = 0;
    int32_t maxD = 0;
    int32_t x = 0;
    int32_t y = 0;
    int32_t d = 0;
};
