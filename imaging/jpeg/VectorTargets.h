#pragma once
// Hot loops of the encoder are built twice on x86-64, for AVX2 and for the baseline, and the
// loader picks the one the processor runs. Both give the same results: the wider vectors perform
// the same IEEE and integer operations (no fused multiply-add: fma is not part of the target).
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define ORVANTA_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#define ORVANTA_HAS_AVX2_KERNEL 1
#else
#define ORVANTA_VECTOR_CLONES
#define ORVANTA_HAS_AVX2_KERNEL 0
#endif
