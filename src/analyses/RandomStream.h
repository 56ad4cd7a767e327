// Uniform random numbers for the bootstrap: xoshiro256** streams keyed by (seed, trial).
#pragma once

#include <cstdint>

namespace orvalis {

// xoshiro256** 1.0 (Blackman and Vigna), its 256-bit state filled by SplitMix64.
// Each bootstrap trial gets its own stream, derived from the run's seed and the
// trial number, so trials can run on any thread in any order and a seed always
// gives the same resamples.
class RandomStream {
public:
    RandomStream(std::uint64_t seed, std::uint64_t stream);

    // A generator in the given 256-bit state (not all zero).
    static RandomStream fromState(std::uint64_t s0, std::uint64_t s1, std::uint64_t s2, std::uint64_t s3)
    {
        RandomStream stream(0, 0);
        stream.m_state[0] = s0;
        stream.m_state[1] = s1;
        stream.m_state[2] = s2;
        stream.m_state[3] = s3;
        return stream;
    }

    // The state words, for drawing several streams side by side (see TrialLanes).
    std::uint64_t stateWord(int i) const { return m_state[i]; }

    std::uint64_t next()
    {
        const std::uint64_t result = rotl(m_state[1] * 5, 7) * 9;
        const std::uint64_t t = m_state[1] << 17;
        m_state[2] ^= m_state[0];
        m_state[3] ^= m_state[1];
        m_state[1] ^= m_state[2];
        m_state[0] ^= m_state[3];
        m_state[2] ^= t;
        m_state[3] = rotl(m_state[3], 45);
        return result;
    }

    // A uniform value in [0, 1) with 53-bit resolution: (next() >> 11) * 2^-53.
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

    // A case number in 1..n: ceiling(u * n) for a uniform u, drawing again in
    // the one case (u = 0) that would give 0. n must be at least 1.
    std::int32_t drawCase(std::int32_t n)
    {
        for (;;) {
            const std::int32_t r = caseFor(uniform(), n);
            if (r >= 1) {
                return r;
            }
        }
    }

    // ceiling(u * n) in double: 0 only for u = 0, at most n for any u < 1.
    // Written with a truncation, which is exact here (0 <= u * n <= n), since
    // std::ceil is a library call on baseline x86-64.
    static std::int32_t caseFor(double u, std::int32_t n)
    {
        const double x = u * static_cast<double>(n);
        auto r = static_cast<std::int32_t>(x);
        if (static_cast<double>(r) < x) {
            ++r;
        }
        return r;
    }

private:
    static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

    std::uint64_t m_state[4];
};

} // namespace orvalis
