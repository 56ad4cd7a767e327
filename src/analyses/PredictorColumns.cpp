// Predictor columns: the expansion of a categorical predictor into indicators, and their complete cases.
#include "analyses/PredictorColumns.h"

#include "analyses/RequestCheck.h"
#include "common/MissingValue.h"
#include "common/NumberText.h"
#include "common/TextEscape.h"
#include "data/DataSet.h"

#include <algorithm>
#include <cmath>

namespace orvalis {

std::string namedVariable(std::int32_t v, const DataSet& dataSet)
{
    const std::string& name = dataSet.VariableName(v);
    return variableNumber(v) + (name.empty() ? "" : " (" + escapeControlCharacters(name) + ")");
}

std::string productText(const ProductTerm& term, const DataSet& dataSet)
{
    return namedVariable(term.first, dataSet) + " * " + namedVariable(term.second, dataSet);
}

std::string indicatorName(const PredictorColumn& column, const std::string& name,
                          const std::vector<std::string>& labels)
{
    const auto index = static_cast<std::size_t>(column.category) - 1;
    return variableNumber(column.variable) + " (" + escapeControlCharacters(name) + (name.empty() ? "" : ": ")
           + escapeControlCharacters(index < labels.size() ? labels[index] : std::to_string(column.category)) + ")";
}

bool entersAsCategorical(std::int32_t v, const std::set<std::int32_t>& declared, const DataSet& dataSet)
{
    return dataSet.isCategorical(v) || declared.contains(v);
}

std::map<std::int32_t, CategoricalView> categoricalPredictors(const std::vector<std::int32_t>& predictors,
                                                              const std::set<std::int32_t>& declared,
                                                              const DataSet& dataSet)
{
    std::map<std::int32_t, CategoricalView> views;
    for (const std::int32_t v : predictors) {
        if (entersAsCategorical(v, declared, dataSet) && !views.contains(v)) {
            views.emplace(v, categoricalView(dataSet, v, static_cast<std::size_t>(MaxCategories)));
        }
    }
    return views;
}

std::int32_t referenceCategory(const std::map<std::int32_t, std::int32_t>& references, std::int32_t v)
{
    const auto found = references.find(v);
    return found != references.end() ? found->second : 1;
}

Status checkCategoricalPredictors(std::int32_t dependent, const std::vector<std::int32_t>& predictors,
                                  const std::set<std::int32_t>& declared,
                                  const std::map<std::int32_t, std::int32_t>& references, const DataSet& dataSet,
                                  std::int32_t& columns)
{
    if (declared.contains(dependent)) {
        return analysisRefusal(namedVariable(dependent, dataSet)
                               + " is the dependent variable; only a predictor can be declared categorical.");
    }
    std::vector<std::int32_t> sorted = predictors;
    std::sort(sorted.begin(), sorted.end());
    for (const auto& [v, category] : references) {
        if (!std::binary_search(sorted.begin(), sorted.end(), v) || !entersAsCategorical(v, declared, dataSet)) {
            return analysisRefusal("A reference category is given for " + namedVariable(v, dataSet)
                                   + ", which is not a categorical predictor of the model.");
        }
    }
    const std::map<std::int32_t, CategoricalView> views = categoricalPredictors(sorted, declared, dataSet);
    for (const std::int32_t v : sorted) {
        const auto view = views.find(v);
        if (view == views.end()) {
            ++columns;
            continue;
        }
        const auto categories = static_cast<std::int32_t>(view->second.size());
        // A text variable's categories are all known: the model's column count refuses too many.
        if (categories > MaxCategories && !dataSet.isCategorical(v)) {
            return analysisRefusal(namedVariable(v, dataSet) + " has more than " + std::to_string(MaxCategories)
                                   + " different values; a categorical predictor has at most "
                                   + std::to_string(MaxCategories) + " categories (" + std::to_string(MaxCategories - 1)
                                   + " indicator columns).");
        }
        if (categories < 2) {
            return analysisRefusal(namedVariable(v, dataSet)
                                   + " has one category, so it adds no indicator column to the model.");
        }
        const std::int32_t reference = referenceCategory(references, v);
        if (reference < 1 || reference > categories) {
            return analysisRefusal("The reference category " + std::to_string(reference) + " of "
                                   + namedVariable(v, dataSet) + " is not one of its " + std::to_string(categories)
                                   + " categories.");
        }
        columns += categories - 1;
    }
    return Done{};
}

std::int32_t appendPredictorColumns(std::vector<PredictorColumn>& columns, std::int32_t v, const CategoricalView* view,
                                    std::int32_t reference)
{
    if (view == nullptr) {
        columns.push_back({v, 0, 0.0f});
        return 1;
    }
    std::int32_t added = 0;
    const auto categories = static_cast<std::int32_t>(view->size());
    for (std::int32_t category = 1; category <= categories; ++category) {
        if (category != reference) {
            columns.push_back({v, category, view->values[static_cast<std::size_t>(category) - 1]});
            ++added;
        }
    }
    return added;
}

std::int32_t productColumnCount(std::int32_t firstColumns, std::int32_t secondColumns)
{
    return firstColumns * secondColumns;
}

std::int32_t appendProductColumns(std::vector<PredictorColumn>& columns, const ProductTerm& term,
                                  const CategoricalView* firstView, std::int32_t firstReference,
                                  const CategoricalView* secondView, std::int32_t secondReference)
{
    std::vector<PredictorColumn> firsts;
    std::vector<PredictorColumn> seconds;
    appendPredictorColumns(firsts, term.first, firstView, firstReference);
    appendPredictorColumns(seconds, term.second, secondView, secondReference);
    for (const PredictorColumn& a : firsts) {
        for (const PredictorColumn& b : seconds) {
            PredictorColumn product = a;
            product.byVariable = b.variable;
            product.byCategory = b.category;
            product.byValue = b.value;
            columns.push_back(product);
        }
    }
    return static_cast<std::int32_t>(firsts.size() * seconds.size());
}

namespace {

// A product's factor of one case: a numeric variable's value less the mean it
// is centred at (0 when it is not), or an indicator.
double factorValue(float cell, std::int32_t category, float value, double mean)
{
    return category == 0 ? static_cast<double>(cell) - mean : (cell == value ? 1.0 : 0.0);
}

// How much of its interaction a product of two numeric variables may lose when
// it is stored in single precision: the largest rounding of a case's product
// as a share of the spread of the product of the factors less their means
// (the part of the column that the main effects do not carry). Below it the
// noise rounding adds is far from the digits a report shows.
constexpr double ProductRoundingShare = 1e-3;

// The rounding of the products of a numeric by numeric column, and the spread
// of its factors' product taken about their means (Welford's running sums).
struct ProductRounding {
    double largest = 0.0;
    std::int64_t count = 0;
    double mean = 0.0;
    double squares = 0.0;

    void add(double stored, double formed, double aboutMeans)
    {
        largest = std::max(largest, std::fabs(stored - formed));
        ++count;
        const double delta = aboutMeans - mean;
        mean += delta / static_cast<double>(count);
        squares += delta * (aboutMeans - mean);
    }
    // A constant factor leaves no interaction to lose (the model refuses the column as dependent).
    bool losesInteraction() const
    {
        return squares > 0.0 && largest > ProductRoundingShare * std::sqrt(squares / static_cast<double>(count));
    }
};

} // namespace

Outcome<CaseMatrix> collectPredictorColumns(std::int32_t dependent, const std::vector<PredictorColumn>& columns,
                                            const DataSet& dataSet, const std::set<std::int32_t>& centred)
{
    // The cells a case reads: the dependent variable, each column's variable and a product's second one.
    std::vector<std::int32_t> read{dependent};
    for (const PredictorColumn& column : columns) {
        read.push_back(column.variable);
        if (column.isProduct()) {
            read.push_back(column.byVariable);
        }
    }
    std::sort(read.begin(), read.end());
    read.erase(std::unique(read.begin(), read.end()), read.end());

    // The complete cases, and the sums of the numeric variables a product takes (centred or not).
    std::vector<std::int32_t> complete;
    std::map<std::int32_t, double> means;
    for (const PredictorColumn& column : columns) {
        if (column.isProduct()) {
            if (column.category == 0) {
                means.emplace(column.variable, 0.0);
            }
            if (column.byCategory == 0) {
                means.emplace(column.byVariable, 0.0);
            }
        }
    }
    for (std::int32_t r = 1; r <= dataSet.NumCases(); ++r) {
        const bool isComplete =
            std::none_of(read.begin(), read.end(), [&](std::int32_t v) { return isMissing(dataSet.DataTable(r, v)); });
        if (isComplete) {
            complete.push_back(r);
            for (auto& [v, sum] : means) {
                sum += static_cast<double>(dataSet.DataTable(r, v));
            }
        }
    }
    if (complete.size() < 2) {
        return analysisRefusal("There is an insufficient number of observations with complete data.");
    }
    for (auto& [v, sum] : means) {
        sum /= static_cast<double>(complete.size());
    }
    auto meanOf = [&means, &centred](std::int32_t v) {
        const auto found = means.find(v);
        return found != means.end() && centred.contains(v) ? found->second : 0.0;
    };
    auto productName = [&dataSet](const PredictorColumn& column) {
        return productText({column.variable, column.byVariable}, dataSet);
    };
    std::vector<std::pair<double, double>> productMeans;
    for (const PredictorColumn& column : columns) {
        productMeans.emplace_back(column.isProduct() ? meanOf(column.variable) : 0.0,
                                  column.isProduct() ? meanOf(column.byVariable) : 0.0);
    }

    CaseMatrix matrix;
    matrix.columns = static_cast<std::int32_t>(columns.size()) + 1;
    matrix.NumComplete = static_cast<std::int32_t>(complete.size());
    const auto width = static_cast<std::size_t>(matrix.columns);
    matrix.cells.reserve(width * (complete.size() + 1));
    matrix.cells.assign(width, 0.0f); // row 0
    std::vector<float> row(width);
    std::vector<ProductRounding> rounding(width);
    for (const std::int32_t r : complete) {
        row[0] = dataSet.DataTable(r, dependent);
        for (std::size_t c = 1; c < width; ++c) {
            const PredictorColumn& column = columns[c - 1];
            const float value = dataSet.DataTable(r, column.variable);
            if (!column.isProduct()) {
                row[c] = column.category == 0 ? value : (value == column.value ? 1.0f : 0.0f);
                continue;
            }
            const float byCell = dataSet.DataTable(r, column.byVariable);
            const double first = factorValue(value, column.category, column.value, productMeans[c - 1].first);
            const double second = factorValue(byCell, column.byCategory, column.byValue, productMeans[c - 1].second);
            const double product = first * second;
            row[c] = static_cast<float>(product);
            if (!std::isfinite(row[c])) {
                return analysisRefusal("The product " + productName(column) + " of case " + formatInteger(r)
                                       + " is beyond the range of single precision (about 3.4E+38).");
            }
            if (column.category == 0 && column.byCategory == 0) {
                rounding[c].add(static_cast<double>(row[c]), product,
                                (static_cast<double>(value) - means.at(column.variable))
                                    * (static_cast<double>(byCell) - means.at(column.byVariable)));
            }
        }
        matrix.cells.insert(matrix.cells.end(), row.begin(), row.end());
    }
    // A product of variables far from 0 carries its interaction in digits that
    // single precision drops (1e6 + x times 1e6 + w is about 1e12, rounded to
    // 65536): the run would report the rounding as the interaction.
    for (std::size_t c = 1; c < width; ++c) {
        if (rounding[c].count > 0 && rounding[c].losesInteraction()) {
            return analysisRefusal("The product " + productName(columns[c - 1])
                                   + " loses its interaction in single precision: its variables are far from 0 for"
                                     " their spread. Centre them at their means to form it.");
        }
    }
    shiftColumns(matrix);
    return matrix;
}

std::vector<std::int32_t> valueLabelledNumeric(const std::vector<std::int32_t>& predictors,
                                               const std::set<std::int32_t>& declared, const DataSet& dataSet)
{
    std::vector<std::int32_t> found;
    for (const std::int32_t v : predictors) {
        if (!entersAsCategorical(v, declared, dataSet) && !dataSet.valueLabels(v).empty()) {
            found.push_back(v);
        }
    }
    return found;
}

} // namespace orvalis
