// Dominance analysis: every subset's R^2 by one Cholesky factor extended a unit at a time, the Shapley weights,
// and their intervals from the trials of the full model against the covariates.
#include "analyses/Dominance.h"

#include "analyses/BootstrapDetails.h"
#include "analyses/CoefficientDraws.h"
#include "analyses/RequestCheck.h"
#include "analyses/RunNestedModels.h"
#include "common/RuntimeErrors.h"
#include "data/DataSet.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>

namespace orvalis {
namespace {

constexpr double NotANumber = std::numeric_limits<double>::quiet_NaN();

// The Cholesky factor L of the correlations of the predictors in the model so
// far (rows 0..size-1, in the order they entered) and z = L^-1 r_y, so that
// the model's R^2 is z'z. A column enters in O(size^2); leaving is undoing.
struct Factor {
    const CorrMatrix& C;
    std::array<std::array<double, MaxColumns>, MaxColumns> L{};
    std::array<double, MaxColumns> z{};
    std::array<std::int32_t, MaxColumns> column{};
    std::int32_t size = 0;
    double r2 = 0.0;

    explicit Factor(const CorrMatrix& correlations) : C(correlations) {}

    // False when column j's tolerance on the columns in the model is below DependenceTolerance.
    bool enter(std::int32_t j)
    {
        const auto uj = static_cast<std::size_t>(j);
        auto& row = L[static_cast<std::size_t>(size)];
        double squares = 0.0;
        double projection = 0.0;
        for (std::int32_t a = 0; a < size; ++a) {
            const auto ua = static_cast<std::size_t>(a);
            double value = C[static_cast<std::size_t>(column[ua])][uj];
            for (std::int32_t b = 0; b < a; ++b) {
                value -= L[ua][static_cast<std::size_t>(b)] * row[static_cast<std::size_t>(b)];
            }
            value /= L[ua][ua];
            row[ua] = value;
            squares += value * value;
            projection += value * z[ua];
        }
        const double pivot = C[uj][uj] - squares;
        if (!(pivot >= DependenceTolerance)) {
            return false;
        }
        const double diagonal = std::sqrt(pivot);
        row[static_cast<std::size_t>(size)] = diagonal;
        const double zj = (C[0][uj] - projection) / diagonal;
        z[static_cast<std::size_t>(size)] = zj;
        column[static_cast<std::size_t>(size)] = j;
        r2 += zj * zj;
        ++size;
        return true;
    }
};

// Enters the units after `last` in turn, each on top of the model `mask`, and
// records every subset's R^2 depth first; a unit that cannot enter leaves its
// subsets NaN. False when one could not.
bool walk(Factor& factor, const std::vector<DominanceUnit>& units, std::uint32_t mask, std::size_t first,
          std::vector<double>& r2)
{
    bool all = true;
    for (std::size_t u = first; u < units.size(); ++u) {
        const std::int32_t size = factor.size;
        const double before = factor.r2;
        bool entered = true;
        for (const std::int32_t j : units[u].columns) {
            if (!factor.enter(j)) {
                entered = false;
                break;
            }
        }
        const std::uint32_t with = mask | (1u << u);
        if (entered) {
            r2[with] = factor.r2;
            all = walk(factor, units, with, u + 1, r2) && all;
        } else {
            all = false;
        }
        factor.size = size;
        factor.r2 = before;
    }
    return all;
}

} // namespace

bool SubsetR2(const CorrMatrix& C, std::int32_t covariates, const std::vector<DominanceUnit>& units,
              std::vector<double>& r2)
{
    std::fill(r2.begin(), r2.end(), NotANumber);
    if (C[0][0] == 0.0) {
        return false; // a constant dependent variable
    }
    Factor factor(C);
    for (std::int32_t j = 1; j <= covariates; ++j) {
        if (!factor.enter(j)) {
            return false;
        }
    }
    r2[0] = factor.r2;
    return walk(factor, units, 0u, 0, r2);
}

DominanceStatistics DominanceOf(const std::vector<double>& r2, std::int32_t m)
{
    DominanceStatistics s;
    const auto units = static_cast<std::size_t>(m);
    const std::uint32_t full = (1u << m) - 1u;
    s.covariatesR2 = r2[0];
    s.fullR2 = r2[full];
    s.general.assign(units, 0.0);
    s.share.assign(units, 0.0);
    s.conditional.assign(units, std::vector<double>(units, 0.0));
    s.complete.assign(units, std::vector<int>(units, 0));
    s.sr2.assign(units, 0.0);
    // The models of k other units: C(m - 1, k) of them.
    std::vector<double> models(units, 0.0);
    for (std::uint32_t mask = 0; mask <= full; ++mask) {
        if ((mask & 1u) == 0) {
            models[static_cast<std::size_t>(std::popcount(mask))] += 1.0;
        }
    }
    for (std::size_t u = 0; u < units; ++u) {
        const std::uint32_t bit = 1u << u;
        for (std::uint32_t mask = 0; mask <= full; ++mask) {
            if ((mask & bit) == 0) {
                s.conditional[u][static_cast<std::size_t>(std::popcount(mask))] += r2[mask | bit] - r2[mask];
            }
        }
        for (std::size_t k = 0; k < units; ++k) {
            s.conditional[u][k] /= models[k];
            s.general[u] += s.conditional[u][k];
        }
        s.general[u] /= static_cast<double>(m);
        s.sr2[u] = s.fullR2 - r2[full & ~bit];
    }
    const double explained = s.fullR2 - s.covariatesR2;
    for (std::size_t u = 0; u < units; ++u) {
        s.share[u] = s.general[u] / explained;
    }
    for (std::size_t a = 0; a < units; ++a) {
        for (std::size_t b = a + 1; b < units; ++b) {
            const std::uint32_t bitA = 1u << a;
            const std::uint32_t bitB = 1u << b;
            bool more = true;
            bool less = true;
            for (std::uint32_t mask = 0; mask <= full; ++mask) {
                if ((mask & (bitA | bitB)) == 0) {
                    const double withA = r2[mask | bitA];
                    const double withB = r2[mask | bitB];
                    more = more && withA > withB;
                    less = less && withA < withB;
                }
            }
            s.complete[a][b] = more ? 1 : (less ? -1 : 0);
            s.complete[b][a] = -s.complete[a][b];
        }
    }
    return s;
}

Status CheckDominanceRequest(const DominanceRequest& request, const DataSet& dataSet)
{
    std::vector<std::int32_t> all = request.Units;
    if (request.DependentVariable) {
        all.push_back(*request.DependentVariable);
    }
    for (const DominanceGroup& group : request.Groups) {
        all.insert(all.end(), group.variables.begin(), group.variables.end());
    }
    all.insert(all.end(), request.Covariates.begin(), request.Covariates.end());
    all.insert(all.end(), request.Categorical.begin(), request.Categorical.end());
    for (const auto& [v, category] : request.ReferenceCategory) {
        all.push_back(v);
    }
    if (const Status inData = checkVariablesInData(all, dataSet); !inData.ok()) {
        return inData.refusal();
    }
    if (!request.DependentVariable) {
        return analysisRefusal("There is no dependent variable.");
    }
    const std::int32_t dv = *request.DependentVariable;
    if (dataSet.isCategorical(dv)) {
        return analysisRefusal(namedVariable(dv, dataSet)
                               + " is a text variable; a regression's dependent variable "
                                 "must be numeric.");
    }
    const auto units = static_cast<std::int32_t>(request.Units.size() + request.Groups.size());
    if (units < MinUnits || units > MaxUnits) {
        return analysisRefusal("A dominance analysis compares " + std::to_string(MinUnits) + " to "
                               + std::to_string(MaxUnits) + " units (predictors or groups), and there are "
                               + std::to_string(units) + ".");
    }
    std::set<std::string> names;
    for (const DominanceGroup& group : request.Groups) {
        if (group.name.empty() || group.variables.empty()) {
            return analysisRefusal("A group needs a name and at least one variable.");
        }
        if (!names.insert(group.name).second) {
            return analysisRefusal("Two groups are named " + group.name + ".");
        }
        // The reports name a group by its name and a predictor by its variable's: the two must differ.
        if (variableNamed(dataSet, group.name).ok()) {
            return analysisRefusal("A group is named " + group.name
                                   + ", as a variable is; give the group another name.");
        }
    }
    // A variable plays one role, once.
    std::map<std::int32_t, std::string> role{{dv, "the dependent variable"}};
    auto claim = [&](std::int32_t v, const std::string& as) -> Status {
        const auto [at, added] = role.emplace(v, as);
        if (!added) {
            return analysisRefusal(at->second == as
                                       ? namedVariable(v, dataSet) + " is given twice as " + as + "."
                                       : namedVariable(v, dataSet) + " is both " + at->second + " and " + as + ".");
        }
        return Done{};
    };
    for (const std::int32_t v : request.Units) {
        if (const Status claimed = claim(v, "a unit"); !claimed.ok()) {
            return claimed;
        }
    }
    for (const DominanceGroup& group : request.Groups) {
        for (const std::int32_t v : group.variables) {
            if (const Status claimed = claim(v, "in the group " + group.name); !claimed.ok()) {
                return claimed;
            }
        }
    }
    for (const std::int32_t v : request.Covariates) {
        if (const Status claimed = claim(v, "a covariate"); !claimed.ok()) {
            return claimed;
        }
    }
    std::vector<std::int32_t> predictors;
    for (const auto& [v, as] : role) {
        if (v != dv) {
            predictors.push_back(v);
        }
    }
    std::int32_t columns = 0;
    if (const Status categorical = checkCategoricalPredictors(dv, predictors, request.Categorical,
                                                              request.ReferenceCategory, dataSet, columns);
        !categorical.ok()) {
        return categorical;
    }
    if (columns > MaxColumns - 1) {
        return analysisRefusal("The full model has " + std::to_string(columns)
                               + " predictor columns (a categorical variable counts one column less than its "
                                 "categories), and at most "
                               + std::to_string(MaxColumns - 1) + " are allowed.");
    }
    return Done{};
}

namespace {

Refusal fault(const std::string& message)
{
    return analysisRefusal(message, Refusal::Reason::Fault);
}

Outcome<DominanceResult> runDominance(const DominanceRequest& request, const DataSet& dataSet, std::uint64_t seed,
                                      const RunControl& control, unsigned threads, TrialKernel kernel)
{
    if (const Status checked = CheckDominanceRequest(request, dataSet); !checked.ok()) {
        return checked.refusal();
    }
    DominanceResult result;
    result.request = request;
    result.VariableNames = dataSet.VariableNames();
    result.Seed = seed;
    result.CasesRead = dataSet.NumCases();

    // The covariates' columns, then each unit's: a predictor's own, then each group's.
    std::vector<std::int32_t> predictors = request.Covariates;
    predictors.insert(predictors.end(), request.Units.begin(), request.Units.end());
    for (const DominanceGroup& group : request.Groups) {
        predictors.insert(predictors.end(), group.variables.begin(), group.variables.end());
    }
    const std::map<std::int32_t, CategoricalView> views =
        categoricalPredictors(predictors, request.Categorical, dataSet);
    auto append = [&](std::int32_t v) {
        const auto view = views.find(v);
        return appendPredictorColumns(result.columns, v, view == views.end() ? nullptr : &view->second,
                                      referenceCategory(request.ReferenceCategory, v));
    };
    for (const std::int32_t v : request.Covariates) {
        result.covariateColumns += append(v);
    }
    auto addUnit = [&](std::string name, const std::vector<std::int32_t>& variables) {
        DominanceUnit unit;
        unit.name = std::move(name);
        unit.variables = variables;
        for (const std::int32_t v : variables) {
            const auto first = static_cast<std::int32_t>(result.columns.size()) + 1;
            const std::int32_t added = append(v);
            for (std::int32_t c = first; c < first + added; ++c) {
                unit.columns.push_back(c);
            }
        }
        result.units.push_back(std::move(unit));
    };
    for (const std::int32_t v : request.Units) {
        addUnit({}, {v});
    }
    for (const DominanceGroup& group : request.Groups) {
        addUnit(group.name, group.variables);
    }
    for (const auto& [v, view] : views) {
        result.Categories[v] = view.labels;
    }
    Outcome<CaseMatrix> collected = collectPredictorColumns(*request.DependentVariable, result.columns, dataSet);
    if (!collected.ok()) {
        return collected.refusal();
    }
    const CaseMatrix& cases = *collected;
    result.CompleteCases = cases.NumComplete;
    const auto m = static_cast<std::int32_t>(result.units.size());
    const auto K = static_cast<std::int32_t>(result.columns.size());

    // The observed sample's subsets.
    std::vector<double> r2(std::size_t{1} << m);
    {
        SampleSums sums;
        AccumulateSums(cases, nullptr, cases.NumComplete, sums);
        CorrMatrix C{};
        CorrelationsFromSums(sums, cases.NumComplete, K, C);
        if (!SubsetR2(C, result.covariateColumns, result.units, r2)) {
            if (C[0][0] == 0.0) {
                return analysisRefusal("The dependent variable has no variance in the complete cases.");
            }
            return analysisRefusal("In the complete cases some model of the units has predictors that are linearly "
                                   "dependent (a tolerance below 1e-8), so not every subset has an R^2.");
        }
        result.observed = DominanceOf(r2, m);
    }

    // The full model against the covariates, through the pair's run; each trial's subsets beside it.
    BootstrapResult& model = result.model;
    model.request.DependentVariable = request.DependentVariable;
    model.request.PredictorList = request.Covariates;
    for (const DominanceUnit& unit : result.units) {
        model.request.AddedList.insert(model.request.AddedList.end(), unit.variables.begin(), unit.variables.end());
    }
    model.request.NumTrials = request.NumTrials;
    model.request.Level = request.Level;
    model.request.Details = request.Details;
    model.VariableNames = result.VariableNames;
    model.Seed = seed;
    model.CasesRead = result.CasesRead;
    model.CompleteCases = result.CompleteCases;
    const auto width = static_cast<std::size_t>(m) + static_cast<std::size_t>(m * m);
    std::vector<double> values((static_cast<std::size_t>(request.NumTrials) + 1) * width, NotANumber);
    std::vector<unsigned char> valid(static_cast<std::size_t>(request.NumTrials) + 1, 0);
    const TrialHook hook = [&](std::int32_t t, const CorrMatrix& C) {
        thread_local std::vector<double> subsets;
        subsets.resize(std::size_t{1} << m);
        if (!SubsetR2(C, result.covariateColumns, result.units, subsets)) {
            return;
        }
        const DominanceStatistics s = DominanceOf(subsets, m);
        double* out = &values[static_cast<std::size_t>(t) * width];
        std::copy(s.general.begin(), s.general.end(), out);
        for (std::size_t a = 0; a < static_cast<std::size_t>(m); ++a) {
            for (std::size_t b = 0; b < static_cast<std::size_t>(m); ++b) {
                out[static_cast<std::size_t>(m) + a * static_cast<std::size_t>(m) + b] = s.complete[a][b];
            }
        }
        valid[static_cast<std::size_t>(t)] = 1;
    };
    std::vector<std::string> columnNames{variableNumber(*request.DependentVariable)};
    for (const PredictorColumn& column : result.columns) {
        columnNames.push_back(column.category == 0 ? variableNumber(column.variable)
                                                   : indicatorName(column, dataSet.VariableName(column.variable),
                                                                   result.Categories[column.variable]));
    }
    std::vector<BootstrapResult> results{model};
    const std::vector<NestedModel> models{{result.covariateColumns, K - result.covariateColumns, true, {}}};
    const RunSettings settings{seed, request.NumTrials, request.Details, control, threads, kernel, &hook};
    if (const std::optional<Refusal> refused = RunNestedModels(cases, models, columnNames, settings, results)) {
        return *refused;
    }
    result.model = std::move(results.front());

    // The valid trials' weights and shares, in trial order.
    std::vector<double> weights;
    std::vector<double> shares;
    result.completeShare.assign(static_cast<std::size_t>(m), std::vector<double>(static_cast<std::size_t>(m), 0.0));
    result.generalShare = result.completeShare;
    for (std::int32_t t = 1; t <= request.NumTrials; ++t) {
        if (valid[static_cast<std::size_t>(t)] == 0) {
            continue;
        }
        ++result.NumValid;
        const double* in = &values[static_cast<std::size_t>(t) * width];
        double sum = 0.0;
        for (std::int32_t u = 0; u < m; ++u) {
            sum += in[u];
        }
        for (std::int32_t u = 0; u < m; ++u) {
            weights.push_back(in[u]);
            shares.push_back(in[u] / sum);
        }
        for (std::size_t a = 0; a < static_cast<std::size_t>(m); ++a) {
            for (std::size_t b = 0; b < static_cast<std::size_t>(m); ++b) {
                result.completeShare[a][b] +=
                    in[static_cast<std::size_t>(m) + a * static_cast<std::size_t>(m) + b] > 0.0;
                result.generalShare[a][b] += in[a] > in[b];
            }
        }
    }
    if (result.NumValid > 0) {
        for (auto* table : {&result.completeShare, &result.generalShare}) {
            for (std::vector<double>& row : *table) {
                for (double& share : row) {
                    share /= static_cast<double>(result.NumValid);
                }
            }
        }
    }
    // With the details, the BCa limits: one jackknife of every weight and share.
    std::vector<std::optional<double>> accelerations;
    if (request.Details) {
        // Every case left out refits every subset: a stop request ends it (the rest return at once).
        bool stopped = false;
        accelerations = JackknifeAccelerations(
            cases, K, 2 * static_cast<std::size_t>(m),
            [&](const CorrMatrix& C, double* out) {
                if (stopped || control.stop.stop_requested()) {
                    stopped = true;
                    return false;
                }
                thread_local std::vector<double> subsets;
                subsets.resize(std::size_t{1} << m);
                if (!SubsetR2(C, result.covariateColumns, result.units, subsets)) {
                    return false;
                }
                const DominanceStatistics s = DominanceOf(subsets, m);
                std::copy(s.general.begin(), s.general.end(), out);
                std::copy(s.share.begin(), s.share.end(), out + m);
                return true;
            },
            0);
        if (stopped) {
            return analysisRefusal("The bootstrap was stopped.", Refusal::Reason::Stopped);
        }
    }
    const auto units = static_cast<std::size_t>(m);
    const std::vector<std::optional<double>> none;
    const std::vector<std::optional<double>> generalAcceleration =
        accelerations.empty() ? none
                              : std::vector<std::optional<double>>(
                                  accelerations.begin(), accelerations.begin() + static_cast<std::ptrdiff_t>(units));
    const std::vector<std::optional<double>> shareAcceleration =
        accelerations.empty() ? none
                              : std::vector<std::optional<double>>(
                                  accelerations.begin() + static_cast<std::ptrdiff_t>(units), accelerations.end());
    for (const auto& [draws, observed, acceleration, percentile, bca] :
         {std::tuple{&weights, &result.observed.general, &generalAcceleration, &result.generalPercentile,
                     &result.generalBCa},
          std::tuple{&shares, &result.observed.share, &shareAcceleration, &result.sharePercentile, &result.shareBCa}}) {
        for (const ResampledLimits& limits :
             ResampledLimitsOf(*draws, units, request.Level, *observed, *acceleration)) {
            percentile->push_back(limits.percentile);
            if (request.Details) {
                bca->push_back(limits.bca.value_or(ResampledInterval{}));
            }
        }
    }
    return result;
}

} // namespace

Outcome<DominanceResult> RunDominance(const DominanceRequest& request, const DataSet& dataSet, std::uint64_t seed,
                                      const RunControl& control, unsigned threads, TrialKernel kernel)
{
    try {
        return runDominance(request, dataSet, seed, control, threads, kernel);
    } catch (const std::bad_alloc&) {
        return analysisRefusal("There is not enough memory for the dominance analysis.", Refusal::Reason::OutOfMemory);
    } catch (const RuntimeError& error) {
        return fault(std::string("A numerical fault stopped the dominance analysis: ") + error.what());
    }
}

} // namespace orvalis
