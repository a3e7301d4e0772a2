// Spreading row work of the image operations over the cores.
#pragma once

#include <cstddef>
#include <functional>

// At most this many threads (the calling one included) work on one
// operation; 0 means one per core. Results never depend on it.
void oxSetImageThreads(unsigned count);
unsigned oxImageThreads();

// Runs work(begin, end) over [0, count) in contiguous parts, one per thread,
// when count × costPerItem is large enough to pay for the threads; otherwise
// in the calling thread. work returns false on failure (an exception counts
// as failure too); the result is true when every part succeeded.
bool oxParallelFor(size_t count, size_t costPerItem, const std::function<bool(size_t, size_t)>& work);
