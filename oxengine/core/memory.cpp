#include "oxengine/core/memory.h"

#include <cstdio>
#include <cstdlib> // defines __GLIBC__ on glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

bool oxReuseLargeAllocations()
{
#if defined(__GLIBC__)
    // Served from the heap up to 1 GiB; free memory at the heap's top is
    // given back beyond 128 MiB (room for the buffers of a screen-sized
    // picture and its neighbours, not for a whole huge one kept after it has
    // gone); one arena, because the other arenas cannot grow past 64 MiB and
    // map larger buffers afresh every time.
    return mallopt(M_MMAP_THRESHOLD, 1 << 30) == 1 && mallopt(M_TRIM_THRESHOLD, 128 << 20) == 1 &&
           mallopt(M_ARENA_MAX, 1) == 1;
#else
    return false;
#endif
}

void oxReleaseFreeMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

uint64_t oxAvailableMemory()
{
    std::FILE* f = std::fopen("/proc/meminfo", "r");
    if (!f)
        return 0;
    char line[256];
    unsigned long long kilobytes = 0;
    while (std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "MemAvailable: %llu kB", &kilobytes) == 1)
            break;
    std::fclose(f);
    return uint64_t(kilobytes) * 1024;
}
