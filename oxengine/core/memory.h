// How the process keeps memory it has freed.
#pragma once

#include <cstdint>

// Pictures come and go in buffers of tens to hundreds of megabytes (decoded
// pixels, and a software renderer's textures). By default such buffers go
// back to the kernel when freed and the next picture gets fresh pages, whose
// first touch costs a page fault per 4 KiB: as long as copying the picture
// several times. After this call large buffers stay in the heap, shared by
// all threads, so that the next picture reuses pages already mapped. The
// price is memory: freed buffers of other sizes stay resident too, so the
// peak while flipping through pictures is up to twice as high; callers give
// it back in pauses with oxReleaseFreeMemory.
// Call once at start, before other threads run. Returns false when the
// allocator refused (the program works as before then).
bool oxReuseLargeAllocations();

// Gives the free memory the heap keeps back to the system, for a pause in
// which no picture is coming. Does nothing where there is no such heap.
void oxReleaseFreeMemory();

// The memory the system can give without swapping (MemAvailable of
// /proc/meminfo), in bytes; 0 when it is not known.
uint64_t oxAvailableMemory();
