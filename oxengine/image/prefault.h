// Faulting in the pages of a large new image on a second thread while a
// decoder fills its rows. The first write to each fresh page costs a page
// fault in which the kernel clears it; for a 400 MB picture that is a good
// part of the decoding time. Done ahead of the decoder on another core it
// overlaps with the decoding instead of adding to it.
//
// Only the kernel touches the memory (madvise MADV_POPULATE_WRITE), which
// keeps the pages' contents and orders itself with the decoder's writes.
// Where the system lacks it, nothing happens.
#pragma once

#include <atomic>
#include <cstddef>
#include <thread>

class oxPrefaultPages {
public:
    // Buffers smaller than this are left to fault in as they are written.
    static constexpr size_t MIN_BYTES = size_t(16) << 20;

    oxPrefaultPages(void* data, size_t bytes);
    // Stops at the next chunk and waits for the thread.
    ~oxPrefaultPages();
    oxPrefaultPages(const oxPrefaultPages&) = delete;
    oxPrefaultPages& operator=(const oxPrefaultPages&) = delete;

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
