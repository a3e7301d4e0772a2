#include "oxengine/image/prefault.h"

#include <cstdint>
#include <sys/mman.h>
#include <system_error>
#include <unistd.h>

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23 // Linux 5.14
#endif

oxPrefaultPages::oxPrefaultPages(void* data, size_t bytes)
{
    if (!data || bytes < MIN_BYTES)
        return;
    const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    // Whole pages inside the buffer only: the partial ones at both ends
    // belong to the allocator's bookkeeping too.
    const uintptr_t start = (uintptr_t(data) + page - 1) & ~(page - 1);
    const uintptr_t end = (uintptr_t(data) + bytes) & ~(page - 1);
    if (end <= start)
        return;
    try {
        m_thread = std::thread([this, start, end] {
            constexpr uintptr_t CHUNK = uintptr_t(8) << 20;
            for (uintptr_t at = start; at < end && !m_stop.load(std::memory_order_relaxed); at += CHUNK) {
                const uintptr_t n = end - at < CHUNK ? end - at : CHUNK;
                if (madvise(reinterpret_cast<void*>(at), n, MADV_POPULATE_WRITE) != 0)
                    return; // not supported here, or out of memory: the writes fault as usual
            }
        });
    } catch (const std::system_error&) {
        // No thread to spare: the decoder faults the pages in itself.
    }
}

oxPrefaultPages::~oxPrefaultPages()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}
