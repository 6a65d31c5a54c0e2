#include "app/print/cdr_job_record.h"

std::array<std::uint8_t, CdrJobRecord::kSize> CdrJobRecord::bytes() const
{
    std::array<std::uint8_t, kSize> out{};
    const std::int32_t words[] = {firstWord, pageCount, thirdWord, fourthWord, fifthWord};
    int at = 0;
    for (const std::int32_t word : words) {
        const auto value = static_cast<std::uint32_t>(word);
        for (int shift = 0; shift < 32; shift += 8)
            out[at++] = static_cast<std::uint8_t>(value >> shift);
    }
    return out;
}
