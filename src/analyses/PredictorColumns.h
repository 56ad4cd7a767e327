// A model's predictor columns: a numeric variable's one column, a categorical variable's indicators, and the
// complete cases of those columns. Shared by the pair of models and the model sequence.
#pragma once

#include "analyses/CaseMatrix.h"
#include "common/Outcome.h"
#include "data/CategoricalView.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace orvalis {

class DataSet;

// The most categories a categorical predictor may have: its indicators (one
// fewer) must fit the largest model's 24 predictor columns.
constexpr std::int32_t MaxCategories = MaxColumns;

// A predictor column of a model: a numeric variable, or the indicator (1 for
// the category, 0 otherwise) of one category of a categorical variable; or
// the product of two such factors, a numeric variable's (centred when the
// run centres it) or an indicator's.
struct PredictorColumn {
    std::int32_t variable = 0;
    std::int32_t category = 0; // the category (1-based) the indicator marks; 0 for a numeric variable
    float value = 0.0f;        // the cell value of that category (a text variable's: its code)
    // A product column's second factor, as the first; byVariable 0 for a column that is no product.
    std::int32_t byVariable = 0;
    std::int32_t byCategory = 0;
    float byValue = 0.0f;

    bool isProduct() const { return byVariable != 0; }
};

// A product term of a model: first * second, two different predictors
// (1-based). Numeric by numeric is one column; a categorical factor enters
// as each of its indicators, so numeric by categorical is one column per
// indicator and categorical by categorical one per pair of indicators.
struct ProductTerm {
    std::int32_t first = 0;
    std::int32_t second = 0;
};

// "Var 5 (Species)", or "Var 5" for a variable the file did not name.
std::string namedVariable(std::int32_t v, const DataSet& dataSet);

// A product term as a refusal names it: "Var 1 (stress) * Var 2 (support)".
std::string productText(const ProductTerm& term, const DataSet& dataSet);

// An indicator column as a refusal names it: "Var 5 (Species: virginica)",
// "Var 5 (virginica)" for a variable the file did not name; labels are the
// variable's category labels.
std::string indicatorName(const PredictorColumn& column, const std::string& name,
                          const std::vector<std::string>& labels);

// Whether predictor v enters as categorical: a text variable, or a numeric
// one declared categorical for the run.
bool entersAsCategorical(std::int32_t v, const std::set<std::int32_t>& declared, const DataSet& dataSet);

// The categories of each predictor that enters as categorical (at most
// MaxCategories + 1 listed: see categoricalView).
std::map<std::int32_t, CategoricalView> categoricalPredictors(const std::vector<std::int32_t>& predictors,
                                                              const std::set<std::int32_t>& declared,
                                                              const DataSet& dataSet);

// The checks of the declarations and reference categories of a request, in
// this order: a declared variable that is the dependent one; a reference
// category given for a variable that is not a categorical predictor; a
// categorical predictor with more than MaxCategories categories, with one
// category, or without the reference category given (1-based; the first
// where none is). Adds each predictor's columns to columns (a categorical
// one counts one less than its categories).
Status checkCategoricalPredictors(std::int32_t dependent, const std::vector<std::int32_t>& predictors,
                                  const std::set<std::int32_t>& declared,
                                  const std::map<std::int32_t, std::int32_t>& references, const DataSet& dataSet,
                                  std::int32_t& columns);

// Appends predictor v's columns: one for a numeric variable; for a
// categorical one (view not null) the indicators of its categories but the
// reference, in category order. Returns how many it appended.
std::int32_t appendPredictorColumns(std::vector<PredictorColumn>& columns, std::int32_t v, const CategoricalView* view,
                                    std::int32_t reference);

// Appends the columns of first * second: each column of first's (one, or
// its indicators) times each of second's, first's outer. Returns how many.
std::int32_t appendProductColumns(std::vector<PredictorColumn>& columns, const ProductTerm& term,
                                  const CategoricalView* firstView, std::int32_t firstReference,
                                  const CategoricalView* secondView, std::int32_t secondReference);

// How many columns first * second adds: the product of each factor's count
// (1 for a numeric one, categories - 1 for a categorical one).
std::int32_t productColumnCount(std::int32_t firstColumns, std::int32_t secondColumns);

// The complete cases of the dependent variable (column 0) and the predictor
// columns (an indicator is 1 where the cell holds its category's value, 0
// otherwise; a case is complete when no cell it reads is missing), shifted
// (shiftColumns). A product column holds its factors' product, formed in
// double and then stored: a numeric factor in centred is taken less its mean
// over the complete cases (the product of centred variables). Fewer than two
// complete cases are refused. Throws std::bad_alloc when the matrix does not
// fit in memory.
Outcome<CaseMatrix> collectPredictorColumns(std::int32_t dependent, const std::vector<PredictorColumn>& columns,
                                            const DataSet& dataSet, const std::set<std::int32_t>& centred = {});

// The reference category of a categorical variable: the one given, else 1.
std::int32_t referenceCategory(const std::map<std::int32_t, std::int32_t>& references, std::int32_t v);

// The predictors that enter a model as numbers though the file gave them
// value labels (the codes of SPSS or Stata categories, entered as amounts).
std::vector<std::int32_t> valueLabelledNumeric(const std::vector<std::int32_t>& predictors,
                                               const std::set<std::int32_t>& declared, const DataSet& dataSet);

} // namespace orvalis
