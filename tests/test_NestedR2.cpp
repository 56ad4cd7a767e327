// Complete cases, correlation determinants and NestedR2: refusals, edge cases, and the fast sums against the per-pair
// reference.
#include "ReferenceBootstrap.h"
#include "TestData.h"

#include "analyses/Bootstrap.h"
#include "analyses/CompleteCases.h"
#include "analyses/RequestCheck.h"
#include "analyses/Descriptives.h"
#include "analyses/NestedR2.h"
#include "analyses/RandomStream.h"
#include "analyses/TrialLanes.h"
#include "data/DataSet.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numeric>
#include <random>
#include <optional>

namespace orvalis {
namespace {

constexpr float M = MissingValue;

BootstrapRequest request(std::optional<std::int32_t> dv, std::vector<std::int32_t> predictors,
                         std::vector<std::int32_t> added)
{
    BootstrapRequest r;
    r.DependentVariable = dv;
    r.PredictorList = std::move(predictors);
    r.AddedList = std::move(added);
    return r;
}

template <typename T>
std::string refusal(const Outcome<T>& outcome)
{
    return outcome.ok() ? std::string("(accepted)") : outcome.refusal().message;
}

TEST(CompleteCases, RefusalsInTheirOrder)
{
    const DataSet data = test::tableOf({{1, 2, 3}, {4, 5, 6}, {7, 8, 10}});
    const std::string noAdded = "There is no added predictor: the full model needs at least one.";
    const std::string noDependent = "There is no dependent variable.";
    const std::string tooMany =
        "Too many explanatory variables are included in the full model. The maximum number is 12.";
    const std::string tooFew = "There is an insufficient number of observations with complete data.";
    std::vector<std::int32_t> twelve(11, 2);

    // The request alone, before any work (the window's OK), in the documented order.
    const struct {
        BootstrapRequest request;
        std::string refusal;
    } checks[] = {
        {request(std::nullopt, {}, {}), noAdded},
        {request(1, {2}, {}), noAdded},
        {request(std::nullopt, {}, {2}), noDependent},
        {request(std::nullopt, twelve, {2, 3}), noDependent},
        {request(1, twelve, {2, 3}), tooMany},
        {request(1, {2}, {3, 2}), "Var 2 is used in two roles: predictor and added predictor."},
        {request(1, {2}, {3}), "(accepted)"},
    };
    for (const auto& c : checks) {
        EXPECT_EQ(refusal(CheckBootstrapRequest(c.request, data)), c.refusal);
        // The collection refuses the same, so no unchecked request is collected.
        if (c.refusal != "(accepted)") {
            EXPECT_EQ(refusal(CollectCompleteCases(c.request, data)), c.refusal);
        }
    }
    const DataSet wide =
        test::tableOf({{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}, {2, 1, 4, 3, 6, 5, 8, 7, 10, 9, 12, 11, 1}});
    const std::vector<std::int32_t> eleven = {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    EXPECT_EQ(refusal(CollectCompleteCases(request(1, eleven, {13}), wide)), "(accepted)"); // 12 is allowed

    const DataSet one = test::tableOf({{1, 2}, {M, 3}, {4, M}});
    EXPECT_EQ(refusal(CollectCompleteCases(request(1, {}, {2}), one)), tooFew);
    const DataSet two = test::tableOf({{1, 2}, {M, 3}, {4, 5}});
    EXPECT_EQ(refusal(CollectCompleteCases(request(1, {}, {2}), two)), "(accepted)");
}

// A variable beyond the data is refused before anything else, by the bootstrap
// and the descriptives alike, instead of being read as a column of zeros (or
// of no data at all before the first import).
TEST(CompleteCases, VariablesOutsideTheDataAreRefusedFirst)
{
    const DataSet data = test::tableOf({{1, 2}, {3, 4}, {5, 7}});
    const std::string seven = "Var 7 is not in the data (it has 2 variables)";
    for (const BootstrapRequest& r :
         {request(1, {}, {7}), request(7, {}, {2}), request(1, {7}, {2}), request(std::nullopt, {7}, {}),
          request(1, std::vector<std::int32_t>(12, 2), {7})}) {
        const Outcome<CaseMatrix> outcome = CollectCompleteCases(r, data);
        ASSERT_FALSE(outcome.ok());
        EXPECT_EQ(outcome.refusal().message, seven);
        EXPECT_EQ(outcome.refusal().reason, Refusal::Reason::NotInData);
        EXPECT_EQ(refusal(RunBootstrap(r, data, 1)), seven);
    }
    EXPECT_EQ(refusal(CollectCompleteCases(request(0, {}, {2}), data)),
              "Var 0 is not in the data (it has 2 variables)");
    EXPECT_EQ(refusal(CollectCompleteCases(request(1, {}, {2}), DataSet())),
              "Var 1 is not in the data (it has 0 variables)");

    EXPECT_EQ(refusal(ComputeDescriptives(data, {2, 3, 1})), "Var 3 is not in the data (it has 2 variables)");
    EXPECT_EQ(ComputeDescriptives(data, {3}).refusal().reason, Refusal::Reason::NotInData);
    EXPECT_EQ(refusal(ComputeDescriptives(DataSet(), {1})), "Var 1 is not in the data (it has 0 variables)");
    EXPECT_TRUE(ComputeDescriptives(data, {2, 1}).ok());
}

TEST(CompleteCases, CopiesTheCasesOfTheVariablesInPlay)
{
    const DataSet data = test::tableOf({
        {1, 10, 100, M}, // missing only in variable 4, not in the request: kept
        {2, M, 200, 7},  // missing predictor: dropped
        {3, 30, 300, 8},
        {M, 40, 400, 9}, // missing dependent variable: dropped
        {5, 50, 500, M},
    });
    const auto outcome = CollectCompleteCases(request(3, {1}, {2}), data);
    ASSERT_TRUE(outcome.ok()) << outcome.refusal().message;
    const CaseMatrix& cases = *outcome;
    ASSERT_EQ(cases.NumComplete, 3);
    ASSERT_EQ(cases.columns, 3);
    // Each column less its first value (every difference is exact here).
    const float expected[4][3] = {{0, 0, 0}, {0, 0, 0}, {200, 2, 20}, {400, 4, 40}};
    for (std::int32_t r = 0; r <= 3; ++r) {
        for (std::int32_t c = 0; c < 3; ++c) {
            EXPECT_EQ(cases.at(r, c), expected[r][c]) << r << ", " << c;
        }
    }
    EXPECT_EQ(cases.shift[0], 100.0f);
    EXPECT_EQ(cases.shift[1], 1.0f);
    EXPECT_EQ(cases.shift[2], 10.0f);

    // A column whose differences would not be exact in single precision is
    // kept as it is: its spread is about its size, so nothing cancels.
    const DataSet mixed = test::tableOf({{4e6f, 1}, {4e6f + 1, 2}, {0.1f, 4}});
    const CaseMatrix kept = *CollectCompleteCases(request(2, {}, {1}), mixed);
    EXPECT_EQ(kept.shift[1], 0.0f);
    EXPECT_EQ(kept.at(3, 1), 0.1f);
    EXPECT_EQ(kept.shift[0], 1.0f);
}

// Determinant by cofactor expansion: a different method from the elimination.
double cofactorDeterminant(const std::vector<std::vector<double>>& m)
{
    const std::size_t size = m.size();
    if (size == 1) {
        return m[0][0];
    }
    double det = 0;
    for (std::size_t j = 0; j < size; ++j) {
        std::vector<std::vector<double>> minor;
        for (std::size_t i = 1; i < size; ++i) {
            std::vector<double> row;
            for (std::size_t k = 0; k < size; ++k) {
                if (k != j) {
                    row.push_back(m[i][k]);
                }
            }
            minor.push_back(row);
        }
        det += (j % 2 == 0 ? 1 : -1) * m[0][j] * cofactorDeterminant(minor);
    }
    return det;
}

CorrMatrix matrixOf(const std::vector<std::vector<double>>& block, std::int32_t at)
{
    CorrMatrix C{};
    for (std::size_t i = 0; i < block.size(); ++i) {
        for (std::size_t j = 0; j < block.size(); ++j) {
            C[i + static_cast<std::size_t>(at)][j + static_cast<std::size_t>(at)] = block[i][j];
        }
    }
    return C;
}

TEST(CorrDeterminant, SmallBlocksAndEliminationCases)
{
    CorrMatrix C{};
    C[3][3] = 1;
    EXPECT_EQ(CorrDeterminant(C, 3, 3), 1.0);
    EXPECT_EQ(CorrDeterminant(C, 1, 0), 1.0); // empty block
    C[1][1] = C[2][2] = 1;
    C[1][2] = C[2][1] = 0.5;
    EXPECT_EQ(CorrDeterminant(C, 1, 2), 0.75);
    // A constant column has a zero diagonal and no correlations: a block
    // holding it has determinant 0, whatever its size.
    C[2][2] = 0;
    C[1][2] = C[2][1] = 0;
    EXPECT_EQ(CorrDeterminant(C, 2, 2), 0.0);
    EXPECT_EQ(CorrDeterminant(C, 1, 2), 0.0);

    struct Case {
        const char* name;
        std::vector<std::vector<double>> block;
        double expected; // by hand
    };
    const Case cases[] = {
        {"identity", {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, 1.0},
        {"all 0.5", {{1, 0.5, 0.5}, {0.5, 1, 0.5}, {0.5, 0.5, 1}}, 0.5},
        {"two equal columns", {{1, 1, 0.5}, {1, 1, 0.5}, {0.5, 0.5, 1}}, 0.0},
        // A zero pivot exchanged with the nearest column to its right, flipping the sign.
        {"zero pivot", {{0, 0, 1, 0}, {0, 1, 0, 0}, {1, 0, 0, 0}, {0, 0, 0, 1}}, -1.0},
        {"zero pivot with no way out", {{0, 0, 0}, {0, 1, 0.5}, {0, 0.5, 1}}, 0.0},
        {"permutation", {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}}, 1.0},
    };
    for (const Case& c : cases) {
        const auto hi = static_cast<std::int32_t>(c.block.size()) + 1;
        const CorrMatrix matrix = matrixOf(c.block, 2);
        EXPECT_EQ(CorrDeterminant(matrix, 2, hi), c.expected) << c.name;
        EXPECT_EQ(cofactorDeterminant(c.block), c.expected) << c.name;
    }

    // Random correlation-like matrices agree with the cofactor expansion.
    std::mt19937 random(5);
    std::uniform_real_distribution<double> off(-0.6, 0.6);
    for (int round = 0; round < 50; ++round) {
        const std::size_t size = 3 + static_cast<std::size_t>(round % 5);
        std::vector<std::vector<double>> block(size, std::vector<double>(size, 1.0));
        for (std::size_t i = 0; i < size; ++i) {
            for (std::size_t j = i + 1; j < size; ++j) {
                block[i][j] = block[j][i] = off(random) / static_cast<double>(size);
            }
        }
        const CorrMatrix matrix = matrixOf(block, 0);
        const CorrMatrix copy = matrix;
        const double det = CorrDeterminant(matrix, 0, static_cast<std::int32_t>(size) - 1);
        EXPECT_NEAR(det, cofactorDeterminant(block), 1e-12);
        EXPECT_EQ(matrix, copy); // left unchanged
    }
}

// A case matrix of n rows and K + 1 columns filled by fill(row, column).
template <typename Fill>
CaseMatrix makeCases(std::int32_t n, std::int32_t K, Fill fill)
{
    CaseMatrix cases;
    cases.NumComplete = n;
    cases.columns = K + 1;
    cases.cells.assign(static_cast<std::size_t>(n + 1) * static_cast<std::size_t>(K + 1), 0.0f);
    for (std::int32_t r = 1; r <= n; ++r) {
        for (std::int32_t c = 0; c <= K; ++c) {
            cases.cells[static_cast<std::size_t>(r * (K + 1) + c)] = fill(r, c);
        }
    }
    return cases;
}

NestedR2Result referenceOf(const CaseMatrix& cases, const std::vector<std::int32_t>& rows, std::int32_t p,
                           std::int32_t q)
{
    const auto n = static_cast<std::int32_t>(rows.size());
    reference::SampleMatrix sample(rows.size() + 1);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        reference::copyRow(cases, rows[i], sample[i + 1]);
    }
    return reference::nestedR2(sample, n, p, q);
}

void expectIdentical(const NestedR2Result& fast, const NestedR2Result& slow, const std::string& what)
{
    EXPECT_EQ(fast.valid, slow.valid) << what;
    ASSERT_EQ(fast.reduced.has_value(), slow.reduced.has_value()) << what;
    ASSERT_EQ(fast.full.has_value(), slow.full.has_value()) << what;
    const double undefined = -1.0;
    const double fastReduced = fast.reduced.value_or(undefined);
    const double slowReduced = slow.reduced.value_or(undefined);
    const double fastFull = fast.full.value_or(undefined);
    const double slowFull = slow.full.value_or(undefined);
    EXPECT_EQ(std::memcmp(&fastReduced, &slowReduced, sizeof(double)), 0)
        << what << " " << fastReduced << " vs " << slowReduced;
    EXPECT_EQ(std::memcmp(&fastFull, &slowFull, sizeof(double)), 0) << what << " " << fastFull << " vs " << slowFull;
}

TEST(NestedR2, OnePassSumsMatchThePerPairReferenceBitForBit)
{
    std::mt19937 random(17);
    std::normal_distribution<float> normal(0.0f, 1.0f);
    for (std::int32_t K = 1; K <= 12; ++K) {
        for (const std::int32_t n : {2, 3, 7, 50, 333}) {
            // Data with large offsets so that rounding in the sums matters.
            const CaseMatrix cases = makeCases(n, K, [&](std::int32_t, std::int32_t c) {
                return 1000.0f * static_cast<float>(c) + 10.0f * normal(random);
            });
            for (std::int32_t p = 0; p < K; ++p) {
                const std::int32_t q = K - p;
                std::vector<std::int32_t> identity(static_cast<std::size_t>(n));
                std::iota(identity.begin(), identity.end(), 1);
                expectIdentical(NestedR2(cases, nullptr, n, p, q), referenceOf(cases, identity, p, q),
                                "K " + std::to_string(K) + " n " + std::to_string(n) + " observed");
                std::vector<std::int32_t> rows(static_cast<std::size_t>(n));
                for (std::int32_t& r : rows) {
                    r = std::uniform_int_distribution<std::int32_t>(1, n)(random);
                }
                expectIdentical(NestedR2(cases, rows.data(), n, p, q), referenceOf(cases, rows, p, q),
                                "K " + std::to_string(K) + " n " + std::to_string(n) + " resampled");
            }
        }
    }
}

// The sums of one resample drawn from a copy of stream, added one row at a
// time in the plain way; the copy is left where the draws leave it.
SampleSums plainSums(const CaseMatrix& cases, RandomStream& stream)
{
    SampleSums sums;
    for (std::int32_t i = 0; i < cases.NumComplete; ++i) {
        const std::int32_t r = stream.drawCase(cases.NumComplete);
        for (std::int32_t a = 0; a < cases.columns; ++a) {
            const double x = cases.at(r, a);
            sums.sum[a] += x;
            for (std::int32_t b = a; b < cases.columns; ++b) {
                sums.cross[a][b] += x * static_cast<double>(cases.at(r, b));
            }
        }
    }
    return sums;
}

void expectSameSums(const SampleSums& lane, const SampleSums& plain, std::int32_t columns, const std::string& what)
{
    for (std::int32_t a = 0; a < columns; ++a) {
        EXPECT_EQ(std::memcmp(&lane.sum[a], &plain.sum[a], sizeof(double)), 0) << what << " sum " << a;
        for (std::int32_t b = a; b < columns; ++b) {
            EXPECT_EQ(std::memcmp(&lane.cross[a][b], &plain.cross[a][b], sizeof(double)), 0)
                << what << " cross " << a << " " << b;
            EXPECT_EQ(std::memcmp(&lane.cross[b][a], &plain.cross[a][b], sizeof(double)), 0)
                << what << " cross " << b << " " << a;
        }
    }
}

// Every side-by-side kernel this processor runs, for 2 to 13 columns, odd
// sample sizes below, at and past a block of rows, and every number of trials
// up to its lanes: each trial's sums and its stream's state afterwards, bit
// for bit. A stream whose first draw is u = 0 draws again in its own lane only.
TEST(TrialLanes, EveryKernelGivesEachTrialThePlainSums)
{
    std::mt19937 random(29);
    std::normal_distribution<float> normal(0.0f, 1.0f);
    int kernelsRun = 0;
    for (const TrialKernel kernel : {TrialKernel::OneAtATime, TrialKernel::Avx2, TrialKernel::Avx512}) {
        if (!kernelSupported(kernel)) {
            continue;
        }
        ++kernelsRun;
        const int lanes = trialsSideBySide(kernel);
        for (std::int32_t K = 1; K <= 12; ++K) {
            for (const std::int32_t n : {1, 15, 17, 333}) {
                const CaseMatrix cases = makeCases(n, K, [&](std::int32_t, std::int32_t c) {
                    return 1000.0f * static_cast<float>(c) + 10.0f * normal(random);
                });
                for (int count = 1; count <= lanes; ++count) {
                    TrialWorkspace work(kernel, n);
                    std::vector<RandomStream>& streams = work.streams;
                    for (int k = 0; k < count; ++k) {
                        streams.emplace_back(static_cast<std::uint64_t>(K * 1000 + n), static_cast<std::uint64_t>(k));
                    }
                    if (count == lanes && lanes > 1) {
                        streams[1] = RandomStream::fromState(0x1234, 0, 0x5678, 0x9abc); // first draw: u = 0
                    }
                    std::vector<RandomStream> copies = streams;
                    ASSERT_TRUE(AccumulateTrialSums(kernel, cases, work, {}));
                    const std::vector<SampleSums>& sums = work.sums;
                    for (int k = 0; k < count; ++k) {
                        const std::string what = std::string(kernelName(kernel)) + " K " + std::to_string(K) + " n "
                                                 + std::to_string(n) + " count " + std::to_string(count) + " lane "
                                                 + std::to_string(k);
                        expectSameSums(sums[k], plainSums(cases, copies[k]), K + 1, what);
                        for (int w = 0; w < 4; ++w) {
                            EXPECT_EQ(streams[k].stateWord(w), copies[k].stateWord(w)) << what;
                        }
                    }
                }
            }
        }
    }
    EXPECT_GE(kernelsRun, 1); // one at a time runs everywhere
}

// A stop request made before the call leaves the sums unset and says so.
TEST(TrialLanes, StopRequestEndsTheSums)
{
    const TrialKernel kernel = resolveKernel(TrialKernel::Best);
    if (kernel == TrialKernel::OneAtATime) {
        GTEST_SKIP() << "this processor runs neither side-by-side kernel";
    }
    const CaseMatrix cases = makeCases(1000, 2, [](std::int32_t r, std::int32_t c) { return float(r * (c + 1)); });
    std::stop_source stop;
    stop.request_stop();
    TrialWorkspace work(kernel, cases.NumComplete);
    work.streams.emplace_back(1, 1);
    work.sums[0].sum[0] = 42.0;
    EXPECT_FALSE(AccumulateTrialSums(kernel, cases, work, stop.get_token()));
    EXPECT_EQ(work.sums[0].sum[0], 42.0);
}

TEST(NestedR2, ConstantAndDuplicatedColumnsMatchTheReference)
{
    std::mt19937 random(23);
    std::uniform_real_distribution<float> uniform(-5.0f, 5.0f);
    const std::int32_t n = 40;
    for (std::int32_t K = 2; K <= 12; ++K) {
        // Column 1 constant, column 2 a copy of column K, column 0 a copy of column 1's neighbour.
        std::vector<std::vector<float>> values(static_cast<std::size_t>(n + 1), std::vector<float>(13));
        for (auto& row : values) {
            for (float& v : row) {
                v = std::round(uniform(random) * 4.0f) / 4.0f;
            }
            row[1] = 3.25f;
            row[2] = row[static_cast<std::size_t>(K)];
        }
        const CaseMatrix cases = makeCases(n, K, [&](std::int32_t r, std::int32_t c) {
            return values[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
        });
        for (std::int32_t p = 0; p < K; ++p) {
            std::vector<std::int32_t> rows(static_cast<std::size_t>(n));
            for (std::int32_t& r : rows) {
                r = std::uniform_int_distribution<std::int32_t>(1, n)(random);
            }
            expectIdentical(NestedR2(cases, rows.data(), n, p, K - p), referenceOf(cases, rows, p, K - p),
                            "K " + std::to_string(K) + " p " + std::to_string(p));
        }
    }
}

TEST(NestedR2, EdgeCases)
{
    // y = x1 + noise-free pattern; x2 independent of both.
    const std::vector<std::vector<float>> data = {{1, 1, 5}, {2, 2, 3}, {4, 3, 5}, {3, 4, 3}, {6, 5, 4}};
    const CaseMatrix cases = makeCases(5, 2, [&](std::int32_t r, std::int32_t c) {
        return data[static_cast<std::size_t>(r - 1)][static_cast<std::size_t>(c)];
    });
    // p = 0: the reduced R^2 is exactly 0.
    const NestedR2Result none = NestedR2(cases, nullptr, 5, 0, 1);
    EXPECT_EQ(none.reduced, 0.0);
    EXPECT_TRUE(none.valid);
    // p = 1: the reduced R^2 is the squared correlation of y and x1. By hand:
    // y = 1,2,4,3,6 and x1 = 1..5 give r = 11 / sqrt(14.8 * 10), r^2 = 121 / 148.
    const NestedR2Result one = NestedR2(cases, nullptr, 5, 1, 1);
    EXPECT_NEAR(*one.reduced, 121.0 / 148.0, 1e-15);
    EXPECT_TRUE(one.valid);

    // A constant predictor depends on the intercept: the models holding it have
    // no R^2 and the sample is invalid. A constant dependent variable has none.
    const CaseMatrix constant = makeCases(5, 2, [&](std::int32_t r, std::int32_t c) {
        return c == 2 ? 7.0f : data[static_cast<std::size_t>(r - 1)][static_cast<std::size_t>(c)];
    });
    const NestedR2Result flat = NestedR2(constant, nullptr, 5, 1, 1);
    EXPECT_FALSE(flat.valid);
    EXPECT_FALSE(flat.full.has_value());
    EXPECT_NEAR(*flat.reduced, 121.0 / 148.0, 1e-15);
    const CaseMatrix flatY = makeCases(5, 2, [&](std::int32_t r, std::int32_t c) {
        return c == 0 ? 3.0f : data[static_cast<std::size_t>(r - 1)][static_cast<std::size_t>(c)];
    });
    const NestedR2Result noVariance = NestedR2(flatY, nullptr, 5, 1, 1);
    EXPECT_FALSE(noVariance.valid || noVariance.reduced || noVariance.full);

    // The same variable as predictor and added predictor: determinant 0, invalid.
    const CaseMatrix same = makeCases(5, 2, [&](std::int32_t r, std::int32_t c) {
        return data[static_cast<std::size_t>(r - 1)][static_cast<std::size_t>(c == 2 ? 1 : c)];
    });
    const NestedR2Result twice = NestedR2(same, nullptr, 5, 1, 1);
    EXPECT_FALSE(twice.valid);
    EXPECT_FALSE(twice.full.has_value());
    EXPECT_NEAR(*twice.reduced, 121.0 / 148.0, 1e-15);

    // The dependent variable as its own predictor: R^2 of 1.
    const CaseMatrix self =
        makeCases(5, 1, [&](std::int32_t r, std::int32_t) { return data[static_cast<std::size_t>(r - 1)][0]; });
    const NestedR2Result mirror = NestedR2(self, nullptr, 5, 0, 1);
    EXPECT_TRUE(mirror.valid);
    EXPECT_EQ(mirror.full, 1.0);
}

} // namespace
} // namespace orvalis
