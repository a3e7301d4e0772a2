// Wider-register copies of the hot loops of the image model.
#pragma once

// OX_TARGET_CLONES makes the compiler emit an AVX2 copy of a function beside
// the baseline one and pick one when the program loads. Both do the same
// arithmetic (no fused multiply-add), so results are identical. The loader's
// choice runs before ThreadSanitizer is ready, so its builds do without.
#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define OX_NO_TARGET_CLONES 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define OX_NO_TARGET_CLONES 1
#endif

#if defined(__x86_64__) && defined(__GNUC__) && !defined(OX_NO_TARGET_CLONES)
#define OX_TARGET_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define OX_TARGET_CLONES
#endif
