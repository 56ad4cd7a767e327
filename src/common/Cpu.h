// Processor-specific code in one place: the compile-time guards and the run-time checks.
#pragma once

// GCC on x86-64 builds functions for instruction sets beyond the baseline
// (`#pragma GCC target` regions and target_clones) and picks among them at
// run time. Other compilers (clang, for the fuzzing build) and other
// processors build the baseline code only, and run it everywhere.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define ORVALIS_X86_DISPATCH 1
#endif

// SSE2 is part of every x86-64 processor: code for it needs no run-time check.
#if defined(__SSE2__)
#define ORVALIS_SSE2 1
#endif

// Marks a function that is built twice, for the instruction set named and for
// the baseline, the loader picking one; nothing where there is no dispatch.
#ifdef ORVALIS_X86_DISPATCH
#define ORVALIS_CLONES_FOR(isa) __attribute__((target_clones(isa, "default")))
#else
#define ORVALIS_CLONES_FOR(isa)
#endif

namespace orvalis::cpu {

// Whether this processor runs AVX2 with fused multiply-add; false where the
// program has no code for it.
inline bool hasAvx2Fma()
{
#ifdef ORVALIS_X86_DISPATCH
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#else
    return false;
#endif
}

// Whether this processor runs AVX-512 F, DQ and VL; false where the program
// has no code for it.
inline bool hasAvx512()
{
#ifdef ORVALIS_X86_DISPATCH
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq")
           && __builtin_cpu_supports("avx512vl");
#else
    return false;
#endif
}

} // namespace orvalis::cpu
