// The common layer: number text (general forms, rounding halves to even), the version, the worker pool.
#include "common/NumberText.h"
#include "common/ParallelFor.h"
#include "common/RuntimeErrors.h"
#include "common/Version.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cfloat>
#include <chrono>
#include <clocale>
#include <cmath>
#include <limits>
#include <mutex>
#include <new>
#include <thread>
#include <utility>
#include <vector>

#include <unistring/version.h>

namespace orvalis {
namespace {

struct FloatCase {
    float value;
    const char* text;
};

TEST(NumberText, FloatGeneralForm)
{
    const FloatCase cases[] = {
        {0.0f, "0"},
        {-0.0f, "0"},
        {3.5f, "3.5"},
        {-2.0f, "-2"},
        {0.1f, "0.1"},
        {0.25f, "0.25"},
        {-0.25f, "-0.25"},
        {100.0f, "100"},
        {1000000.0f, "1000000"},
        {1234567.0f, "1234567"},
        {9999999.0f, "9999999"},
        {10000000.0f, "1E+07"},
        {12345678.0f, "1.234568E+07"},
        // Exact ties at the 8th digit go to even.
        {12345675.0f, "1.234568E+07"},
        {12345665.0f, "1.234566E+07"},
        {123456.625f, "123456.6"},
        {123456.75f, "123456.8"},
        {1.0f / 3.0f, "0.3333333"},
        {-2.0f / 3.0f, "-0.6666667"},
        {0.0001f, "0.0001"},
        {0.000123456789f, "0.0001234568"},
        {0.00001f, "1E-05"},
        {0.0000123f, "1.23E-05"},
        {FLT_MAX, "3.402823E+38"},
        {-FLT_MAX, "-3.402823E+38"},
        {FLT_MIN, "1.175494E-38"},
        {39.86346f, "39.86346"},
        {9.9999999f, "10"},
        {1.9999999f, "2"}, // 1.99999988...: the rounding carries
        {9999999.5f, "1E+07"},
    };
    for (const FloatCase& c : cases) {
        EXPECT_EQ(formatFloat(c.value), c.text) << "value " << c.value;
    }
}

struct DoubleCase {
    double value;
    const char* text;
};

TEST(NumberText, DoubleGeneralForm)
{
    const DoubleCase cases[] = {
        {0.0, "0"},
        {-0.0, "0"},
        {0.1 + 0.2, "0.3"},
        {1.0 / 3.0, "0.333333333333333"},
        {-0.25, "-0.25"},
        {3.0, "3"},
        {1.581, "1.581"},
        {123456.625, "123456.625"},
        {999999999999999.0, "999999999999999"},
        {1e15, "1E+15"},
        {123456789012345678.0, "1.23456789012346E+17"},
        {1e100, "1E+100"},
        {-1.5e-100, "-1.5E-100"},
        {0.0001, "0.0001"},
        {0.00001, "1E-05"},
        {0.12346, "0.12346"},
        {0.1234567, "0.1234567"},
    };
    for (const DoubleCase& c : cases) {
        EXPECT_EQ(formatDouble(c.value), c.text) << "value " << c.value;
    }
}

TEST(NumberText, IntegersArePlainDigits)
{
    EXPECT_EQ(formatInteger(0), "0");
    EXPECT_EQ(formatInteger(-17), "-17");
    EXPECT_EQ(formatInteger(2147483647), "2147483647");
    EXPECT_EQ(formatInteger(-9223372036854775807LL - 1), "-9223372036854775808");
}

TEST(NumberText, RoundDoubleHalvesToEven)
{
    struct Case {
        double value;
        int decimals;
        double expected;
    };
    const Case cases[] = {
        {0.125, 2, 0.12}, // exact tie, even neighbour below
        {0.375, 2, 0.38}, // exact tie, even neighbour above
        {2.5, 0, 2.0},
        {3.5, 0, 4.0},
        {-2.5, 0, -2.0},
        {-0.375, 2, -0.38},
        {2.675, 2, 2.67}, // held as 2.67499999999999982236431605997495353221893310546875
        {1.005, 2, 1.0},  // held just below 1.005
        {0.1234567, 5, 0.12346},
        {0.25, 5, 0.25},
        {123456.625, 3, 123456.625},
        {123456.6875, 3, 123456.688},
        {1e20, 3, 1e20},
        {0.00004, 4, 0.0},
        {0.00005, 4, 0.0001}, // held as 5.00000000000000023960868011929e-05, above the tie
    };
    for (const Case& c : cases) {
        EXPECT_EQ(roundHalfEven(c.value, c.decimals), c.expected) << c.value << " to " << c.decimals;
    }
}

TEST(NumberText, RoundFloatStaysFloatNearestToTheDecimal)
{
    struct Case {
        float value;
        int decimals;
        float expected;
    };
    const Case cases[] = {
        {0.0123456f, 5, 0.01235f},  {12.34567f, 3, 12.346f}, {0.125f, 2, 0.12f}, {0.375f, 2, 0.38f}, {2.5f, 0, 2.0f},
        {0.0495f, 3, 0.049f}, // float 0.0495 is 0.04949999898..., below the tie
        {0.0505f, 3, 0.051f}, // float 0.0505 is 0.05050000175..., above the tie
        {39.863461f, 5, 39.86346f},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(roundHalfEven(c.value, c.decimals), c.expected) << c.value << " to " << c.decimals;
    }
    EXPECT_EQ(formatFloat(roundHalfEven(12.34567f, 3)), "12.346");
    EXPECT_EQ(formatFloat(roundHalfEven(0.0123456f, 5)), "0.01235");
    EXPECT_EQ(formatDouble(roundHalfEven(0.1234567, 5)), "0.12346");
}

TEST(NumberText, NonFiniteValuesAreInvalidOperations)
{
    const float nanF = std::numeric_limits<float>::quiet_NaN();
    const double infD = std::numeric_limits<double>::infinity();
    EXPECT_THROW(formatFloat(nanF), InvalidOperationError);
    EXPECT_THROW(formatDouble(-infD), InvalidOperationError);
    EXPECT_THROW(roundHalfEven(nanF, 2), InvalidOperationError);
    EXPECT_THROW(roundHalfEven(infD, 2), InvalidOperationError);
}

TEST(NumberText, LocaleDoesNotChangeADigit)
{
    const char* locales[] = {"de_DE.UTF-8", "fr_FR.UTF-8", "de_DE", "C.UTF-8"};
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous != nullptr ? previous : "C";
    for (const char* name : locales) {
        if (std::setlocale(LC_ALL, name) == nullptr) {
            continue;
        }
        EXPECT_EQ(formatFloat(1234.5f), "1234.5") << name;
        EXPECT_EQ(formatDouble(-0.125), "-0.125") << name;
        EXPECT_EQ(roundHalfEven(2.345, 2), 2.35) << name;
    }
    std::setlocale(LC_ALL, saved.c_str());
}

// libunistring encodes its version as (major << 16) + (minor << 8) +
// subminor: Debian 12's 1.0 is 0x010000, which once showed as "256.0".
TEST(Version, UnistringVersionIsDecodedFromItsThreeBytes)
{
    const std::pair<int, const char*> cases[] = {
        {0x010000, "1.0"}, {0x010100, "1.1"}, {0x010201, "1.2.1"}, {0x000909, "0.9.9"}, {0x000009, "0.9"},
    };
    for (const auto& [encoded, text] : cases) {
        EXPECT_EQ(unistringVersionText(encoded), text) << encoded;
    }
    // The library this process loaded, as the About box and --version list it.
    std::string loaded = std::to_string(_libunistring_version / 65536);
    loaded += '.';
    loaded += std::to_string(_libunistring_version / 256 % 256);
    if (_libunistring_version % 256 != 0) {
        loaded += '.';
        loaded += std::to_string(_libunistring_version % 256);
    }
    bool listed = false;
    for (const LibraryVersion& library : coreLibraries()) {
        if (library.name == "GNU libunistring") {
            EXPECT_EQ(library.version, loaded);
            EXPECT_NE(library.version.substr(0, 3), "256");
            listed = true;
        }
    }
    EXPECT_TRUE(listed);
}

// Every index runs exactly once, whatever the thread count, the grain, and
// whether there are fewer indices than threads; every worker number is below
// poolWorkers, and the progress ends at the count, never going back.
TEST(ParallelFor, EveryIndexRunsOnceAndProgressEndsAtTheCount)
{
    struct Case {
        std::int32_t count;
        unsigned threads;
        std::int32_t grain;
    };
    const Case cases[] = {{0, 1, 1},   {0, 4, 1},   {1, 4, 1},    {3, 8, 1},    {7, 2, 3},
                          {100, 1, 1}, {100, 3, 4}, {1000, 4, 7}, {1000, 0, 1}, {5, 0, 16}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "count " << c.count << ", threads " << c.threads << ", grain " << c.grain);
        const PoolShape shape{c.threads, std::numeric_limits<std::size_t>::max(), c.grain};
        const unsigned workers = poolWorkers(c.count, shape);
        EXPECT_GE(workers, 1u);
        if (c.threads != 0) {
            EXPECT_LE(workers, c.threads);
        }
        std::vector<std::atomic<int>> runs(static_cast<std::size_t>(c.count));
        std::atomic<bool> workerInRange{true};
        std::mutex mutex;
        std::vector<std::int32_t> reports;
        const RunControl control{[&](std::int32_t done) {
                                     const std::lock_guard lock(mutex);
                                     reports.push_back(done);
                                 },
                                 {}};
        const PoolResult result = parallelFor(c.count, shape, control, [&](const IndexRange& range) {
            if (range.worker >= workers || range.end - range.begin > std::max(1, c.grain)) {
                workerInRange = false;
            }
            for (std::int32_t i = range.begin; i < range.end; ++i) {
                runs[static_cast<std::size_t>(i)].fetch_add(1);
            }
            return RangeEnd::Done;
        });
        EXPECT_FALSE(result.stopped);
        EXPECT_FALSE(result.failed());
        EXPECT_TRUE(workerInRange.load());
        for (std::int32_t i = 0; i < c.count; ++i) {
            EXPECT_EQ(runs[static_cast<std::size_t>(i)].load(), 1) << "index " << i;
        }
        ASSERT_FALSE(reports.empty());
        EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
        EXPECT_EQ(reports.back(), c.count);
    }
    // The thread-count rule: the caller's cap, and never more workers than ranges.
    EXPECT_EQ(poolWorkers(100, PoolShape{8, 3, 1}), 3u);
    EXPECT_EQ(poolWorkers(10, PoolShape{8, std::numeric_limits<std::size_t>::max(), 4}), 3u);
    EXPECT_EQ(poolWorkers(0, PoolShape{8, std::numeric_limits<std::size_t>::max(), 1}), 1u);
    EXPECT_EQ(poolWorkers(100, PoolShape{8, 0, 1}), 1u);
}

// The failure reported is the first in index order: index 2 fails only after
// index 7 has failed, and still wins. Indices after the first failure do not
// start; an exception thrown by a worker reaches the caller once every worker
// has stopped, and the earlier failure wins over it too.
TEST(ParallelFor, FirstFailureInIndexOrderAndExceptionsReachTheCaller)
{
    for (int round = 0; round < 5; ++round) {
        std::atomic<bool> laterFailed{false};
        std::vector<std::atomic<int>> runs(50);
        const PoolResult result =
            parallelFor(50, PoolShape{2, std::numeric_limits<std::size_t>::max(), 1}, {}, [&](const IndexRange& range) {
                runs[static_cast<std::size_t>(range.begin)].fetch_add(1);
                if (range.begin == 7) {
                    laterFailed = true;
                    return RangeEnd::Failed;
                }
                if (range.begin == 2) {
                    while (!laterFailed.load()) {
                        std::this_thread::yield();
                    }
                    // Give the pool time to record index 7's failure first.
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                    return RangeEnd::Failed;
                }
                return RangeEnd::Done;
            });
        ASSERT_TRUE(result.failed());
        EXPECT_EQ(result.failedAt, 2);
        EXPECT_FALSE(result.stopped);
        for (std::size_t i = 8; i < runs.size(); ++i) {
            EXPECT_EQ(runs[i].load(), 0) << "index " << i << " ran after the failure of index 7";
        }
    }

    // The thrown failure of index 3 reaches the caller; an earlier value failure wins over a later throw.
    for (const unsigned threads : {1u, 2u, 4u}) {
        EXPECT_THROW(parallelFor(40, PoolShape{threads, std::numeric_limits<std::size_t>::max(), 1}, {},
                                 [&](const IndexRange& range) {
                                     if (range.begin == 3) {
                                         throw std::bad_alloc();
                                     }
                                     if (range.begin == 9) {
                                         throw InvalidOperationError("a later failure");
                                     }
                                     return RangeEnd::Done;
                                 }),
                     std::bad_alloc);
        PoolResult earlier;
        EXPECT_NO_THROW(earlier = parallelFor(40, PoolShape{threads, std::numeric_limits<std::size_t>::max(), 1}, {},
                                              [&](const IndexRange& range) {
                                                  if (range.begin == 1) {
                                                      return RangeEnd::Failed;
                                                  }
                                                  if (range.begin == 5) {
                                                      throw std::bad_alloc();
                                                  }
                                                  return RangeEnd::Done;
                                              }));
        EXPECT_EQ(earlier.failedAt, 1);
    }
}

// A stop request leaves the remaining indices unrun, and so does a range that
// reports itself stopped; a stopped loop reports no final progress.
TEST(ParallelFor, StopLeavesTheRemainingIndicesUnrun)
{
    for (const unsigned threads : {1u, 3u}) {
        std::stop_source early;
        early.request_stop();
        std::atomic<int> ran{0};
        std::int32_t reported = -1;
        PoolResult result =
            parallelFor(100, PoolShape{threads, std::numeric_limits<std::size_t>::max(), 1},
                        {[&](std::int32_t done) { reported = done; }, early.get_token()}, [&](const IndexRange&) {
                            ran.fetch_add(1);
                            return RangeEnd::Done;
                        });
        EXPECT_TRUE(result.stopped);
        EXPECT_EQ(ran.load(), 0);
        EXPECT_EQ(reported, -1);

        std::stop_source during;
        std::vector<std::atomic<int>> runs(1000);
        std::atomic<int> enteredAfterStop{0};
        result = parallelFor(1000, PoolShape{threads, std::numeric_limits<std::size_t>::max(), 2},
                             {{}, during.get_token()}, [&](const IndexRange& range) {
                                 if (during.stop_requested()) {
                                     enteredAfterStop.fetch_add(1);
                                 }
                                 for (std::int32_t i = range.begin; i < range.end; ++i) {
                                     runs[static_cast<std::size_t>(i)].fetch_add(1);
                                 }
                                 if (range.begin == 10) {
                                     during.request_stop();
                                 }
                                 return RangeEnd::Done;
                             });
        EXPECT_TRUE(result.stopped);
        // A worker that took its range just before the request may still run it; nothing starts after that.
        EXPECT_LE(enteredAfterStop.load(), static_cast<int>(threads) - 1);
        int ranTotal = 0;
        for (const std::atomic<int>& r : runs) {
            EXPECT_LE(r.load(), 1);
            ranTotal += r.load();
        }
        EXPECT_LT(ranTotal, 1000);
    }

    // A range that reports itself stopped ends the loop as stopped (one thread: nothing after it runs).
    std::atomic<int> after{0};
    const PoolResult result =
        parallelFor(1000, PoolShape{1, std::numeric_limits<std::size_t>::max(), 1}, {}, [&](const IndexRange& range) {
            if (range.begin == 4) {
                return RangeEnd::Stopped;
            }
            if (range.begin > 4) {
                after.fetch_add(1);
            }
            return RangeEnd::Done;
        });
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(after.load(), 0);
}

} // namespace
} // namespace orvalis
