// Seeding xoshiro256** streams with SplitMix64, as their authors publish them.
#include "analyses/RandomStream.h"

namespace orvalis {
namespace {

std::uint64_t splitMix64(std::uint64_t& x)
{
    std::uint64_t z = (x += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

} // namespace

RandomStream::RandomStream(std::uint64_t seed, std::uint64_t stream)
{
    // Mix the stream number into the seed through SplitMix64 so neighbouring
    // trials get unrelated states.
    std::uint64_t mixer = seed;
    const std::uint64_t base = splitMix64(mixer);
    std::uint64_t x = base ^ (stream * 0xd1342543de82ef95ULL + 0x2545f4914f6cdd1dULL);
    for (std::uint64_t& word : m_state) {
        word = splitMix64(x);
    }
}

} // namespace orvalis
