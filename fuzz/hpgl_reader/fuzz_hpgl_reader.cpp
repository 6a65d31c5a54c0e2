// Any bytes through the HPGL reader: no crash, finite points only.
#include "platform/hpgl/hpgl.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

static void check(const HpglRecord *record)
{
    int n = 0;
    for (const HpglNode *node = record->head; node; node = node->next, ++n)
        if (!std::isfinite(node->x) || !std::isfinite(node->y))
            std::abort();
    if (n != record->count)
        std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool ready = init_HPGL();
    (void)ready;
    read_HPGL_data(reinterpret_cast<const char *>(data), static_cast<long long>(size), &check);
    return 0;
}
