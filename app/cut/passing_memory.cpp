#include "app/cut/passing_memory.h"

#include <malloc.h>

#include <cstdlib>
#include <mutex>

void giveBackPassingMemory()
{
    // The thresholds are the whole process's: callers take turns.
    static std::mutex turns;
    const std::lock_guard<std::mutex> lock(turns);
    constexpr int kMmapMax = 32 * 1024 * 1024;
    mallopt(M_TRIM_THRESHOLD, 0);
    // Over the size whose free trims the heap; volatile, or the compiler
    // drops the pair.
    void *volatile block = std::malloc(96 * 1024);
    std::free(block);
    malloc_trim(0);
    mallopt(M_MMAP_THRESHOLD, kMmapMax);
    mallopt(M_TRIM_THRESHOLD, 2 * kMmapMax);
}
