// TrialLanes: the side-by-side trial kernel for AVX2 and AVX-512, and the
// choice among the kernels at run time.
#include "analyses/TrialLanes.h"

#include "analyses/CaseMatrix.h"
#include "analyses/RandomStream.h"
#include "common/Cpu.h"
#include "common/RuntimeErrors.h"

#include <cstring>
#include <utility>

// The AVX2 and AVX-512 kernels are compiled in regions of their own where
// the build dispatches (common/Cpu.h); elsewhere the trials run one at a time.
#ifdef ORVALIS_X86_DISPATCH
#include <immintrin.h>
#endif

// The kernels' vector helpers are always inlined, so the warning that passing
// a vector by value changes the calling convention does not apply; and GCC 12
// takes the deliberately undefined vector inside some AVX-512 intrinsics for an
// uninitialised variable.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wpsabi"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace orvalis {
namespace {

#ifdef ORVALIS_X86_DISPATCH

// The most trials any kernel computes side by side.
constexpr int MaxLanes = 8;
// Rows drawn, fetched and added per block.
constexpr int BlockRows = 16;
// Case matrices larger than this are fetched a block ahead.
constexpr std::size_t PrefetchAbove = std::size_t{1} << 20;
// Rows between two looks at the stop request.
constexpr std::int32_t StopCheckRows = BlockRows * 4096;

// The lanes whose draw was u = 0 draw again, as RandomStream::drawCase does
// (once in about 2^53 draws). Baseline code, called from both kernels.
[[gnu::noinline]] void redrawZeros(std::uint64_t (&state)[4][MaxLanes], std::int64_t (&rows)[MaxLanes], int lanes,
                                   std::int32_t n)
{
    for (int k = 0; k < lanes; ++k) {
        if (rows[k] == 0) {
            RandomStream stream = RandomStream::fromState(state[0][k], state[1][k], state[2][k], state[3][k]);
            rows[k] = stream.drawCase(n);
            for (int w = 0; w < 4; ++w) {
                state[w][k] = stream.stateWord(w);
            }
        }
    }
}

[[noreturn, gnu::noinline]] void badColumns(std::int32_t columns)
{
    checkSubscript(columns, 2, MaxColumns, "sample columns");
    throw InvalidOperationError("sample columns");
}

#pragma GCC push_options
#pragma GCC target("avx2,fma")
namespace avx2 {

constexpr int Lanes = 4;
typedef double VD __attribute__((vector_size(32)));
typedef std::uint64_t VU __attribute__((vector_size(32)));
typedef std::int64_t VS __attribute__((vector_size(32)));

[[gnu::always_inline]] inline VD madd(VD a, VD b, VD c)
{
    return (VD)_mm256_fmadd_pd((__m256d)a, (__m256d)b, (__m256d)c);
}

[[gnu::always_inline]] inline VD toDouble(VU v)
{
    const VU high = (v >> 32) | 0x4530000000000000u;
    const VU low = (v & 0xFFFFFFFFu) | 0x4330000000000000u;
    return ((VD)high - 0x1.0p84) + ((VD)low - 0x1.0p52);
}

[[gnu::always_inline]] inline bool anyZero(VS v)
{
    return !_mm256_testz_si256((__m256i)(v == 0), (__m256i)(v == 0));
}

[[gnu::always_inline]] inline VS rowOffsets(VS rows, int columns)
{
    return (VS)_mm256_mul_epu32((__m256i)rows, _mm256_set1_epi64x(columns));
}

// Each lane's row, widened to double and turned four columns at a time so
// that x[a] holds column a of every lane. Masked loads read no cell past a
// row's last column.
template <int Columns>
[[gnu::always_inline]] inline void loadRow(const float* cells, VS offsets, VD (&x)[Columns])
{
#pragma GCC unroll 4
    for (int first = 0; first < Columns; first += 4) {
        const int width = Columns - first < 4 ? Columns - first : 4;
        const __m128i mask = _mm_set_epi32(width > 3 ? -1 : 0, width > 2 ? -1 : 0, width > 1 ? -1 : 0, -1);
        __m256d r[4];
#pragma GCC unroll 4
        for (int k = 0; k < Lanes; ++k) {
            r[k] = _mm256_cvtps_pd(_mm_maskload_ps(cells + offsets[k] + first, mask));
        }
        const __m256d t0 = _mm256_unpacklo_pd(r[0], r[1]); // columns 0 and 2 of rows 0 and 1
        const __m256d t1 = _mm256_unpackhi_pd(r[0], r[1]); // columns 1 and 3
        const __m256d t2 = _mm256_unpacklo_pd(r[2], r[3]);
        const __m256d t3 = _mm256_unpackhi_pd(r[2], r[3]);
        const __m256d c[4] = {_mm256_permute2f128_pd(t0, t2, 0x20), _mm256_permute2f128_pd(t1, t3, 0x20),
                              _mm256_permute2f128_pd(t0, t2, 0x31), _mm256_permute2f128_pd(t1, t3, 0x31)};
#pragma GCC unroll 4
        for (int a = first; a < first + width; ++a) {
            x[a] = (VD)c[a - first];
        }
    }
}

#include "analyses/TrialLanesKernel.inc"

} // namespace avx2
#pragma GCC pop_options

#pragma GCC push_options
#pragma GCC target("avx512f,avx512dq,avx512vl")
namespace avx512 {

constexpr int Lanes = 8;
typedef double VD __attribute__((vector_size(64)));
typedef std::uint64_t VU __attribute__((vector_size(64)));
typedef std::int64_t VS __attribute__((vector_size(64)));

[[gnu::always_inline]] inline VD madd(VD a, VD b, VD c)
{
    return (VD)_mm512_fmadd_pd((__m512d)a, (__m512d)b, (__m512d)c);
}

[[gnu::always_inline]] inline VD toDouble(VU v)
{
    return (VD)_mm512_cvtepu64_pd((__m512i)v);
}

[[gnu::always_inline]] inline bool anyZero(VS v)
{
    return _mm512_cmpeq_epi64_mask((__m512i)v, _mm512_setzero_si512()) != 0;
}

[[gnu::always_inline]] inline VS rowOffsets(VS rows, int columns)
{
    return (VS)_mm512_mul_epu32((__m512i)rows, _mm512_set1_epi64(columns));
}

// Transposes eight rows of eight doubles: x[c] lane k = row k's element c.
[[gnu::always_inline]] inline void transpose8(const __m512d (&r)[8], __m512d (&x)[8])
{
    __m512d t[8];
    for (int k = 0; k < 8; k += 2) {
        t[k] = _mm512_unpacklo_pd(r[k], r[k + 1]);
        t[k + 1] = _mm512_unpackhi_pd(r[k], r[k + 1]);
    }
    // u[0]: columns 0 and 4 of rows 0-3; u[1]: 2 and 6; u[2]: 1 and 5; u[3]: 3 and 7; u[4..7] rows 4-7.
    __m512d u[8];
    for (int h = 0; h < 8; h += 4) {
        u[h] = _mm512_shuffle_f64x2(t[h], t[h + 2], 0x88);
        u[h + 1] = _mm512_shuffle_f64x2(t[h], t[h + 2], 0xDD);
        u[h + 2] = _mm512_shuffle_f64x2(t[h + 1], t[h + 3], 0x88);
        u[h + 3] = _mm512_shuffle_f64x2(t[h + 1], t[h + 3], 0xDD);
    }
    x[0] = _mm512_shuffle_f64x2(u[0], u[4], 0x88);
    x[4] = _mm512_shuffle_f64x2(u[0], u[4], 0xDD);
    x[2] = _mm512_shuffle_f64x2(u[1], u[5], 0x88);
    x[6] = _mm512_shuffle_f64x2(u[1], u[5], 0xDD);
    x[1] = _mm512_shuffle_f64x2(u[2], u[6], 0x88);
    x[5] = _mm512_shuffle_f64x2(u[2], u[6], 0xDD);
    x[3] = _mm512_shuffle_f64x2(u[3], u[7], 0x88);
    x[7] = _mm512_shuffle_f64x2(u[3], u[7], 0xDD);
}

// Each lane's row, widened to double and turned so that x[a] holds column a
// of every lane. Masked loads read no cell past a row's last column.
template <int Columns>
[[gnu::always_inline]] inline void loadRow(const float* cells, VS offsets, VD (&x)[Columns])
{
    __m512d r[8];
    __m512d c[8];
    // Eight columns at a time.
#pragma GCC unroll 4
    for (int first = 0; first < Columns; first += 8) {
        const int width = Columns - first < 8 ? Columns - first : 8;
#pragma GCC unroll 8
        for (int k = 0; k < Lanes; ++k) {
            r[k] = _mm512_cvtps_pd(
                _mm256_maskz_loadu_ps(static_cast<__mmask8>((1u << width) - 1), cells + offsets[k] + first));
        }
        transpose8(r, c);
#pragma GCC unroll 8
        for (int a = 0; a < width; ++a) {
            x[first + a] = (VD)c[a];
        }
    }
}

#include "analyses/TrialLanesKernel.inc"

} // namespace avx512
#pragma GCC pop_options

#endif

} // namespace

const char* kernelName(TrialKernel kernel)
{
    switch (kernel) {
    case TrialKernel::Best:
        return "best";
    case TrialKernel::OneAtATime:
        return "one at a time";
    case TrialKernel::Avx2:
        return "AVX2, 4 lanes";
    case TrialKernel::Avx512:
        return "AVX-512, 8 lanes";
    }
    return "?";
}

bool kernelSupported(TrialKernel kernel)
{
    switch (kernel) {
    case TrialKernel::Best:
    case TrialKernel::OneAtATime:
        return true;
    case TrialKernel::Avx2:
        return cpu::hasAvx2Fma();
    case TrialKernel::Avx512:
        return cpu::hasAvx512();
    }
    return false;
}

TrialKernel resolveKernel(TrialKernel kernel)
{
    if (kernel != TrialKernel::Best) {
        return kernel;
    }
    for (const TrialKernel fastest : {TrialKernel::Avx512, TrialKernel::Avx2}) {
        if (kernelSupported(fastest)) {
            return fastest;
        }
    }
    return TrialKernel::OneAtATime;
}

int trialsSideBySide(TrialKernel kernel)
{
    switch (resolveKernel(kernel)) {
    case TrialKernel::Avx512:
        return 8;
    case TrialKernel::Avx2:
        return 4;
    default:
        return 1;
    }
}

TrialWorkspace::TrialWorkspace(TrialKernel kernel, std::int32_t cases)
{
    const auto lanes = static_cast<std::size_t>(trialsSideBySide(kernel));
    streams.reserve(lanes);
    sums.resize(lanes);
    if (lanes == 1) {
        rows.resize(static_cast<std::size_t>(cases));
    }
}

bool AccumulateTrialSums(TrialKernel kernel, const CaseMatrix& cases, TrialWorkspace& work,
                         [[maybe_unused]] const std::stop_token& stop)
{
    const int count = static_cast<int>(work.streams.size());
    if (count < 1 || count > static_cast<int>(work.sums.size())) {
        throw InvalidOperationError("trial group");
    }
    switch (resolveKernel(kernel)) {
#ifdef ORVALIS_X86_DISPATCH
    case TrialKernel::Avx512:
        return avx512::trialSums(cases, work.streams.data(), count, work.sums.data(), stop);
    case TrialKernel::Avx2:
        return avx2::trialSums(cases, work.streams.data(), count, work.sums.data(), stop);
#endif
    case TrialKernel::OneAtATime:
        break;
    default:
        throw InvalidOperationError("trial kernel");
    }
    // One trial after another: draw the sample's rows, then its sums in one
    // pass, vectorised across the sums.
    const std::int32_t n = cases.NumComplete;
    if (work.rows.size() < static_cast<std::size_t>(n)) {
        throw InvalidOperationError("trial workspace");
    }
    for (int k = 0; k < count; ++k) {
        RandomStream& stream = work.streams[static_cast<std::size_t>(k)];
        for (std::int32_t i = 0; i < n; ++i) {
            work.rows[static_cast<std::size_t>(i)] = stream.drawCase(n);
        }
        AccumulateSums(cases, work.rows.data(), n, work.sums[static_cast<std::size_t>(k)]);
    }
    return true;
}

} // namespace orvalis
