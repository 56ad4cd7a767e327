// Power by the noncentral F (Boost.Math); populations by Eigen's Cholesky; the width plan on the bootstrap engine,
// data sets spread over threads, each bootstrapped on one.
#include "analyses/Planning.h"

#include "analyses/CompleteCases.h"
#include "analyses/RunNestedModels.h"
#include "analyses/RandomStream.h"
#include "analyses/RequestCheck.h"
#include "common/NumberText.h"
#include "common/ParallelFor.h"
#include "common/TextEscape.h"

#include <Eigen/Cholesky>
#include <Eigen/Dense>
#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/non_central_f.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>
#include <sstream>

namespace orvalis {
namespace {

constexpr std::int32_t LargestSample = 10'000'000;

Refusal planRefusal(std::string message)
{
    return analysisRefusal(std::move(message));
}

Refusal modelSizeRefusal()
{
    return planRefusal("The model needs 0 or more reduced-model predictors, 1 or more added ones, and at most "
                       + formatInteger(MaxColumns - 1) + " in all.");
}

// Standard normal deviates from a stream, two per pair of uniforms (Box and Muller).
class NormalDraws {
public:
    explicit NormalDraws(RandomStream stream) : m_stream(stream) {}
    double operator()()
    {
        if (m_spare) {
            m_spare = false;
            return m_next;
        }
        const double u1 = 1.0 - m_stream.uniform(); // in (0, 1]
        const double u2 = m_stream.uniform();
        const double radius = std::sqrt(-2.0 * std::log(u1));
        const double angle = 2.0 * std::numbers::pi * u2;
        m_next = radius * std::sin(angle);
        m_spare = true;
        return radius * std::cos(angle);
    }

private:
    RandomStream m_stream;
    double m_next = 0.0;
    bool m_spare = false;
};

Eigen::MatrixXd matrixOf(const std::vector<std::vector<double>>& rows)
{
    const auto k = static_cast<Eigen::Index>(rows.size());
    Eigen::MatrixXd m(k, k);
    for (Eigen::Index i = 0; i < k; ++i) {
        for (Eigen::Index j = 0; j < k; ++j) {
            m(i, j) = rows[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
        }
    }
    return m;
}

// rho^2 of the dependent variable (index 0) on predictors 1..k of a correlation matrix.
double squaredMultiple(const Eigen::MatrixXd& R, Eigen::Index k)
{
    if (k == 0) {
        return 0.0;
    }
    const Eigen::MatrixXd Sxx = R.block(1, 1, k, k);
    const Eigen::VectorXd rxy = R.block(1, 0, k, 1);
    return rxy.dot(Sxx.llt().solve(rxy));
}

// What one data set of the width plan gave.
struct DataSetOutcome {
    bool ran = false;
    double width = 0.0;
    double modifiedWidth = 0.0;
    bool covered = false;
    bool modifiedCovered = false;
    bool lowerZero = false;
};

} // namespace

const char* noncentralityName(Noncentrality convention)
{
    return convention == Noncentrality::Pwr ? "R pwr: lambda = f^2 (u + v + 1)" : "G*Power: lambda = f^2 N";
}

std::int32_t smallestSample(const PowerQuestion& question)
{
    return question.p + question.q + 2;
}

Status CheckPowerQuestion(const PowerQuestion& question)
{
    if (question.p < 0 || question.q < 1 || question.p + question.q > MaxColumns - 1) {
        return modelSizeRefusal();
    }
    if (!(question.f2 > 0.0) || !std::isfinite(question.f2)) {
        return planRefusal("The effect must be above 0: a change in R^2 above 0 with a full-model R^2 below 1, or an "
                           "f^2 above 0.");
    }
    if (!(question.alpha > 0.0 && question.alpha < 1.0)) {
        return planRefusal("Alpha must lie between 0 and 1.");
    }
    return Done{};
}

std::optional<PowerAnswer> powerAt(const PowerQuestion& question, std::int32_t n)
{
    if (!CheckPowerQuestion(question).ok() || n < smallestSample(question)) {
        return std::nullopt;
    }
    PowerAnswer answer;
    answer.n = n;
    answer.df1 = question.q;
    answer.df2 = n - question.p - question.q - 1;
    answer.lambda = question.f2 * static_cast<double>(question.convention == Noncentrality::Pwr ? n - question.p : n);
    try {
        const boost::math::fisher_f_distribution<double> central(answer.df1, answer.df2);
        answer.criticalF = boost::math::quantile(boost::math::complement(central, question.alpha));
        const boost::math::non_central_f_distribution<double> alternative(answer.df1, answer.df2, answer.lambda);
        answer.power = boost::math::cdf(boost::math::complement(alternative, answer.criticalF));
    } catch (const std::exception&) {
        return std::nullopt;
    }
    return answer;
}

std::optional<PowerAnswer> sampleForPower(const PowerQuestion& question, double target)
{
    if (!(target > 0.0 && target < 1.0)) {
        return std::nullopt;
    }
    std::int32_t low = smallestSample(question);
    std::optional<PowerAnswer> at = powerAt(question, low);
    if (!at) {
        return std::nullopt;
    }
    if (at->power >= target) {
        return at;
    }
    // Double until the power reaches the target, then bisect: low falls short, high reaches it.
    std::int32_t high = low;
    for (;;) {
        high = high > LargestSample / 2 ? LargestSample : high * 2;
        at = powerAt(question, high);
        if (!at) {
            return std::nullopt;
        }
        if (at->power >= target) {
            break;
        }
        if (high == LargestSample) {
            return std::nullopt;
        }
        low = high;
    }
    std::optional<PowerAnswer> best = at;
    while (high - low > 1) {
        const std::int32_t middle = low + (high - low) / 2;
        const std::optional<PowerAnswer> m = powerAt(question, middle);
        if (!m) {
            return std::nullopt;
        }
        if (m->power >= target) {
            high = middle;
            best = m;
        } else {
            low = middle;
        }
    }
    return best;
}

std::vector<PowerAnswer> powerCurve(const PowerQuestion& question, std::int32_t from, std::int32_t to,
                                    std::int32_t step)
{
    std::vector<PowerAnswer> points;
    for (std::int64_t n = from; step > 0 && n <= to; n += step) {
        // A sample below the smallest the test has is left out.
        if (const std::optional<PowerAnswer> at = powerAt(question, static_cast<std::int32_t>(n))) {
            points.push_back(*at);
        }
    }
    return points;
}

Outcome<Population> populationFromMatrix(std::int32_t p, std::int32_t q, std::vector<std::vector<double>> matrix)
{
    const std::size_t k = static_cast<std::size_t>(p) + static_cast<std::size_t>(q) + 1;
    if (p < 0 || q < 1 || p + q > MaxColumns - 1) {
        return modelSizeRefusal();
    }
    if (matrix.size() != k) {
        return planRefusal("The correlation matrix has " + formatInteger(static_cast<std::int64_t>(matrix.size()))
                           + " rows; the dependent variable and " + formatInteger(p + q) + " predictors need "
                           + formatInteger(static_cast<std::int64_t>(k)) + ".");
    }
    for (std::size_t i = 0; i < k; ++i) {
        if (matrix[i].size() != k) {
            return planRefusal("Row " + formatInteger(static_cast<std::int64_t>(i) + 1)
                               + " of the correlation matrix has "
                               + formatInteger(static_cast<std::int64_t>(matrix[i].size())) + " values; it needs "
                               + formatInteger(static_cast<std::int64_t>(k)) + ".");
        }
        for (std::size_t j = 0; j < k; ++j) {
            const double v = matrix[i][j];
            if (!std::isfinite(v) || std::abs(v) > 1.0 || (i == j && std::abs(v - 1.0) > 1e-9)
                || std::abs(v - matrix[j][i]) > 1e-9) {
                return planRefusal("The correlation matrix must be symmetric with 1 on its diagonal and every value "
                                   "from -1 to 1; row "
                                   + formatInteger(static_cast<std::int64_t>(i) + 1) + ", column "
                                   + formatInteger(static_cast<std::int64_t>(j) + 1) + " is not.");
            }
        }
        matrix[i][i] = 1.0;
    }
    const Eigen::MatrixXd R = matrixOf(matrix);
    const Eigen::LLT<Eigen::MatrixXd> llt(R);
    if (llt.info() != Eigen::Success || llt.matrixL().toDenseMatrix().diagonal().minCoeff() < 1e-6) {
        return planRefusal("The correlation matrix is not positive definite: no population has these correlations.");
    }
    Population population;
    population.p = p;
    population.q = q;
    population.correlations = std::move(matrix);
    population.reducedR2 = squaredMultiple(R, p);
    population.fullR2 = squaredMultiple(R, p + q);
    return population;
}

Outcome<Population> populationFromStructure(std::int32_t p, std::int32_t q, double r, double reducedR2, double change)
{
    const std::int32_t k = p + q;
    if (p < 0 || q < 1 || k > MaxColumns - 1) {
        return modelSizeRefusal();
    }
    if (!(r < 1.0 && r > -1.0 / static_cast<double>(std::max(1, k - 1)))) {
        return planRefusal("A common intercorrelation of " + formatDouble(r) + " is impossible for " + formatInteger(k)
                           + " predictors: it must lie above -1/(k - 1) and below 1.");
    }
    if (!(reducedR2 >= 0.0 && change > 0.0 && reducedR2 + change < 1.0) || (p == 0 && reducedR2 != 0.0)) {
        return planRefusal("The reduced-model R^2 must be from 0 (exactly 0 without reduced-model predictors) and the "
                           "change above 0, with their sum below 1.");
    }
    Eigen::MatrixXd Sxx = Eigen::MatrixXd::Constant(k, k, r);
    Sxx.diagonal().setOnes();
    const Eigen::MatrixXd S = Sxx.inverse();
    // Each reduced-model predictor correlates a with y, each added one b:
    // the reduced rho^2 is p a^2 / (1 + (p - 1) r); the full one is quadratic in b.
    const double a = p == 0 ? 0.0 : std::sqrt(reducedR2 * (1.0 + (p - 1) * r) / p);
    Eigen::VectorXd ea = Eigen::VectorXd::Zero(k);
    Eigen::VectorXd eb = Eigen::VectorXd::Zero(k);
    ea.head(p).setOnes();
    eb.tail(q).setOnes();
    const double A = eb.dot(S * eb);
    const double B = 2.0 * a * ea.dot(S * eb);
    const double C = a * a * ea.dot(S * ea) - (reducedR2 + change);
    const double discriminant = B * B - 4.0 * A * C;
    if (!(A > 0.0) || discriminant < 0.0) {
        return planRefusal("No correlation of the added predictors with the dependent variable gives this change.");
    }
    const double b = (-B + std::sqrt(discriminant)) / (2.0 * A);
    std::vector<std::vector<double>> matrix(static_cast<std::size_t>(k) + 1,
                                            std::vector<double>(static_cast<std::size_t>(k) + 1, r));
    for (std::size_t i = 0; i <= static_cast<std::size_t>(k); ++i) {
        matrix[i][i] = 1.0;
    }
    for (std::int32_t j = 1; j <= k; ++j) {
        const double c = j <= p ? a : b;
        matrix[0][static_cast<std::size_t>(j)] = c;
        matrix[static_cast<std::size_t>(j)][0] = c;
    }
    Outcome<Population> population = populationFromMatrix(p, q, std::move(matrix));
    if (!population.ok()) {
        return planRefusal("No population has these values: the correlations they need ("
                           + formatDouble(roundHalfEven(a, 4)) + " for each reduced-model predictor, "
                           + formatDouble(roundHalfEven(b, 4)) + " for each added one) are not positive definite.");
    }
    return population;
}

Outcome<std::vector<std::vector<double>>> parseCorrelationMatrix(const std::string& text)
{
    std::vector<std::vector<double>> rows;
    std::istringstream lines(text);
    std::string line;
    std::int32_t number = 0;
    while (std::getline(lines, line)) {
        ++number;
        std::replace_if(
            line.begin(), line.end(), [](char c) { return c == ',' || c == ';' || c == '\t' || c == '\r'; }, ' ');
        const std::size_t first = line.find_first_not_of(' ');
        if (first == std::string::npos || line[first] == '#') {
            continue;
        }
        std::vector<double> row;
        std::istringstream fields(line);
        std::string field;
        while (fields >> field) {
            // from_chars, not stod: a German locale must not change what a number is.
            double value = 0.0;
            const char* begin = field.data() + (field.size() > 1 && field[0] == '+' ? 1 : 0);
            const char* const end = field.data() + field.size();
            const auto [stop, error] = std::from_chars(begin, end, value);
            if (error != std::errc() || stop != end || !std::isfinite(value)) {
                return planRefusal("Line " + formatInteger(number) + " of the correlation matrix has \""
                                   + escapeControlCharacters(field) + "\", which is not a number.");
            }
            row.push_back(value);
        }
        rows.push_back(std::move(row));
    }
    if (rows.empty()) {
        return planRefusal("The correlation matrix is empty.");
    }
    return rows;
}

Status CheckWidthQuestion(const WidthQuestion& question)
{
    const Population& population = question.population;
    if (population.correlations.size() != static_cast<std::size_t>(population.p + population.q + 1)) {
        return planRefusal("The population has no correlation matrix.");
    }
    if (question.sampleSizes.empty()) {
        return planRefusal("There is no sample size to simulate.");
    }
    for (const std::int32_t n : question.sampleSizes) {
        if (n < population.p + population.q + 3 || n > 1'000'000) {
            return planRefusal("A sample of " + formatInteger(n) + " cases cannot be planned: with "
                               + formatInteger(population.p + population.q) + " predictors it needs at least "
                               + formatInteger(population.p + population.q + 3) + " cases (and at most 1,000,000).");
        }
    }
    if (question.dataSets < 1 || question.dataSets > 10'000) {
        return planRefusal("The data sets per sample size must be from 1 to 10,000.");
    }
    if (question.trials < 1 || question.trials > 100'000) {
        return planRefusal("The bootstrap trials must be from 1 to 100,000.");
    }
    if (!(question.targetWidth > 0.0) || !std::isfinite(question.targetWidth)) {
        return planRefusal("The target width must be above 0.");
    }
    if (!(question.assurance > 0.0 && question.assurance < 1.0)) {
        return planRefusal("The assurance must lie between 0 and 1.");
    }
    return Done{};
}

double quantileOf(const std::vector<double>& sorted, double p)
{
    if (sorted.empty()) {
        return 0.0;
    }
    const double h = (static_cast<double>(sorted.size()) - 1.0) * p;
    const auto low = static_cast<std::size_t>(std::floor(h));
    const std::size_t high = std::min(low + 1, sorted.size() - 1);
    return sorted[low] + (h - static_cast<double>(low)) * (sorted[high] - sorted[low]);
}

double quantileError(const std::vector<double>& sorted, double p)
{
    if (sorted.size() < 2) {
        return 0.0;
    }
    const double s = std::sqrt(p * (1.0 - p) / static_cast<double>(sorted.size()));
    const double low = std::max(0.0, p - s);
    const double high = std::min(1.0, p + s);
    return (quantileOf(sorted, high) - quantileOf(sorted, low)) / 2.0;
}

Outcome<WidthPlan> RunWidthPlan(const WidthQuestion& question, const RunControl& control, unsigned threads)
{
    if (const Status checked = CheckWidthQuestion(question); !checked.ok()) {
        return checked.refusal();
    }
    const Population& population = question.population;
    const std::int32_t p = population.p;
    const std::int32_t q = population.q;
    const std::int32_t columns = p + q + 1;
    const double trueChange = population.fullR2 - population.reducedR2;
    const Eigen::MatrixXd L = matrixOf(population.correlations).llt().matrixL();
    const std::size_t sizes = question.sampleSizes.size();
    const std::size_t total = sizes * static_cast<std::size_t>(question.dataSets);
    std::vector<DataSetOutcome> outcomes;
    try {
        if (total > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
            throw std::bad_alloc();
        }
        outcomes.resize(total);
    } catch (const std::bad_alloc&) {
        return analysisRefusal("There is not enough memory for the plan.", Refusal::Reason::OutOfMemory);
    }
    std::vector<std::string> columnNames;
    for (std::int32_t c = 0; c < columns; ++c) {
        columnNames.push_back("Var " + formatInteger(c + 1));
    }

    // Data set index + 1 draws its cases from the stream (seed, 2 (index + 1)) and its bootstrap's seed from
    // (seed, 2 (index + 1) + 1), so the plan is the same for any thread count. One case matrix per worker.
    const PoolShape shape{threads, std::numeric_limits<std::size_t>::max(), 1};
    const auto count = static_cast<std::int32_t>(total);
    std::vector<CaseMatrix> workerCases(poolWorkers(count, shape));
    std::vector<std::optional<Refusal>> failures(workerCases.size());
    auto dataSet = [&](const IndexRange& range) {
        const auto index = static_cast<std::size_t>(range.begin);
        CaseMatrix& cases = workerCases[range.worker];
        cases.columns = columns;
        Eigen::VectorXd z(columns);
        const std::int32_t n = question.sampleSizes[index / static_cast<std::size_t>(question.dataSets)];
        const auto d = static_cast<std::uint64_t>(index) + 1; // the data set's number
        NormalDraws normal(RandomStream(question.seed, 2 * d));
        cases.NumComplete = n;
        cases.cells.assign(static_cast<std::size_t>(n + 1) * static_cast<std::size_t>(columns), 0.0f);
        cases.shift.fill(0.0f);
        for (std::int32_t i = 1; i <= n; ++i) {
            for (std::int32_t c = 0; c < columns; ++c) {
                z(c) = normal();
            }
            const Eigen::VectorXd v = L * z;
            float* row = cases.cells.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(columns);
            for (std::int32_t c = 0; c < columns; ++c) {
                row[c] = static_cast<float>(v(c));
            }
        }
        const std::uint64_t bootstrapSeed =
            RandomStream(question.seed, 2 * d + 1).next() & static_cast<std::uint64_t>(INT64_MAX);
        std::vector<BootstrapResult> results(1);
        BootstrapResult& result = results.front();
        result.request.NumTrials = question.trials;
        result.request.Level = question.level;
        result.CompleteCases = n;
        result.CasesRead = n;
        const RunControl inner{{}, control.stop};
        const RunSettings settings{bootstrapSeed, question.trials, false, inner, 1, TrialKernel::Best, nullptr};
        std::optional<Refusal> refused;
        try {
            refused = RunNestedModels(cases, {{p, q, true, {}}}, columnNames, settings, results);
        } catch (const std::bad_alloc&) {
            refused = analysisRefusal("There is not enough memory for the plan.", Refusal::Reason::OutOfMemory);
        } catch (const std::exception& error) {
            refused = analysisRefusal(std::string("A numerical fault stopped the plan: ") + error.what(),
                                      Refusal::Reason::Fault);
        }
        if (refused) {
            if (refused->reason == Refusal::Reason::Refused) {
                return RangeEnd::Done; // this data set's R^2 is undefined: it is left out
            }
            if (refused->reason == Refusal::Reason::Stopped) {
                return RangeEnd::Stopped;
            }
            failures[range.worker] = std::move(refused);
            return RangeEnd::Failed;
        }
        const Interval* traditional = result.interval(IntervalKind::Traditional);
        const Interval* modified = result.interval(IntervalKind::Modified);
        DataSetOutcome& outcome = outcomes[index];
        if (traditional != nullptr && modified != nullptr && traditional->lower && modified->lower) {
            outcome.ran = true;
            outcome.width = *traditional->upper - *traditional->lower;
            outcome.modifiedWidth = *modified->upper - *modified->lower;
            outcome.covered = *traditional->lower <= trueChange && trueChange <= *traditional->upper;
            outcome.modifiedCovered = *modified->lower <= trueChange && trueChange <= *modified->upper;
            outcome.lowerZero = result.FValue && result.ModifiedLowerIsZero;
        }
        return RangeEnd::Done;
    };
    // A data set that runs out of memory (for its cases) ends the plan with that refusal.
    PoolResult ran;
    try {
        ran = parallelFor(count, shape, control, dataSet);
    } catch (const std::bad_alloc&) {
        return analysisRefusal("There is not enough memory for the plan.", Refusal::Reason::OutOfMemory);
    }
    if (ran.failed()) {
        return *failures[ran.failedWorker];
    }
    if (ran.stopped) {
        return analysisRefusal("The plan was stopped.", Refusal::Reason::Stopped);
    }

    WidthPlan plan;
    plan.question = question;
    for (std::size_t s = 0; s < sizes; ++s) {
        std::vector<double> widths;
        std::vector<double> modifiedWidths;
        WidthRow row;
        row.n = question.sampleSizes[s];
        std::int32_t covered = 0;
        std::int32_t modifiedCovered = 0;
        std::int32_t lowerZero = 0;
        for (std::int32_t k = 0; k < question.dataSets; ++k) {
            const DataSetOutcome& o =
                outcomes[s * static_cast<std::size_t>(question.dataSets) + static_cast<std::size_t>(k)];
            if (!o.ran) {
                continue;
            }
            widths.push_back(o.width);
            modifiedWidths.push_back(o.modifiedWidth);
            covered += o.covered ? 1 : 0;
            modifiedCovered += o.modifiedCovered ? 1 : 0;
            lowerZero += o.lowerZero ? 1 : 0;
        }
        row.dataSets = static_cast<std::int32_t>(widths.size());
        std::sort(widths.begin(), widths.end());
        std::sort(modifiedWidths.begin(), modifiedWidths.end());
        row.medianWidth = quantileOf(widths, 0.5);
        row.assuranceWidth = quantileOf(widths, question.assurance);
        row.medianModifiedWidth = quantileOf(modifiedWidths, 0.5);
        row.assuranceModifiedWidth = quantileOf(modifiedWidths, question.assurance);
        row.assuranceWidthError = quantileError(widths, question.assurance);
        row.assuranceModifiedWidthError = quantileError(modifiedWidths, question.assurance);
        row.nearTarget = std::abs(row.assuranceWidth - question.targetWidth) <= row.assuranceWidthError;
        row.modifiedNearTarget =
            std::abs(row.assuranceModifiedWidth - question.targetWidth) <= row.assuranceModifiedWidthError;
        if (row.dataSets > 0) {
            const double ran = row.dataSets;
            row.coverage = covered / ran;
            row.modifiedCoverage = modifiedCovered / ran;
            row.lowerZero = lowerZero / ran;
            if (!plan.smallestTraditional && row.assuranceWidth <= question.targetWidth) {
                plan.smallestTraditional = row.n;
            }
            if (!plan.smallestModified && row.assuranceModifiedWidth <= question.targetWidth) {
                plan.smallestModified = row.n;
            }
        }
        plan.rows.push_back(row);
    }
    return plan;
}

} // namespace orvalis
