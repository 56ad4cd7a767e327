// RunHierarchical: the steps as pairs of nested models of one case matrix, bootstrapped together.
#include "analyses/Hierarchical.h"

#include "analyses/RunNestedModels.h"
#include "analyses/RequestCheck.h"
#include "common/MissingValue.h"
#include "common/NumberText.h"
#include "common/RuntimeErrors.h"
#include "common/TextEscape.h"
#include "data/DataSet.h"

#include <algorithm>
#include <set>

namespace orvalis {
namespace {

std::string stepName(std::size_t s)
{
    return "step " + std::to_string(s + 1);
}

// Each step's variables in ascending order.
HierarchicalRequest sortedSteps(HierarchicalRequest request)
{
    for (std::vector<std::int32_t>& step : request.Steps) {
        std::sort(step.begin(), step.end());
    }
    return request;
}

Refusal fault(std::string message)
{
    return analysisRefusal(std::move(message), Refusal::Reason::Fault);
}

const std::vector<ProductTerm>& productsOf(const HierarchicalRequest& request, std::size_t s)
{
    static const std::vector<ProductTerm> none;
    return s < request.Products.size() ? request.Products[s] : none;
}

// The products' own checks: two different predictors, neither the dependent
// variable, each product once, and both factors entered by the product's step
// or one before it (stepOf: each variable's step).
Status checkProducts(const HierarchicalRequest& request, const std::map<std::int32_t, std::size_t>& stepOf,
                     const DataSet& dataSet)
{
    std::set<std::pair<std::int32_t, std::int32_t>> seen;
    for (std::size_t s = 0; s < request.Products.size(); ++s) {
        for (const ProductTerm& term : request.Products[s]) {
            const std::string product = productText(term, dataSet);
            if (term.first == term.second) {
                return analysisRefusal("The product " + product + " in " + stepName(s)
                                       + " multiplies a variable by itself; a product joins two different predictors.");
            }
            for (const std::int32_t v : {term.first, term.second}) {
                if (v == *request.DependentVariable) {
                    return analysisRefusal("The product " + product + " in " + stepName(s)
                                           + " takes the dependent variable " + namedVariable(v, dataSet) + ".");
                }
            }
            if (!seen.emplace(std::min(term.first, term.second), std::max(term.first, term.second)).second) {
                return analysisRefusal("The product " + product + " is listed twice.");
            }
            for (const std::int32_t v : {term.first, term.second}) {
                const auto entered = stepOf.find(v);
                if (entered == stepOf.end() || entered->second > s) {
                    return analysisRefusal("The product " + product + " in " + stepName(s) + " needs "
                                           + namedVariable(v, dataSet) + " in the model: enter it in " + stepName(s)
                                           + " or a step before it.");
                }
            }
        }
    }
    return Done{};
}

} // namespace

Status CheckHierarchicalRequest(const HierarchicalRequest& request, const DataSet& dataSet)
{
    std::vector<std::int32_t> all;
    if (request.DependentVariable) {
        all.push_back(*request.DependentVariable);
    }
    for (const std::vector<std::int32_t>& step : request.Steps) {
        all.insert(all.end(), step.begin(), step.end());
    }
    for (const std::vector<ProductTerm>& products : request.Products) {
        for (const ProductTerm& term : products) {
            all.insert(all.end(), {term.first, term.second});
        }
    }
    for (const auto& [v, category] : request.ReferenceCategory) {
        all.push_back(v);
    }
    all.insert(all.end(), request.Categorical.begin(), request.Categorical.end());
    all.insert(all.end(), request.Centred.begin(), request.Centred.end());
    if (const Status inData = checkVariablesInData(all, dataSet); !inData.ok()) {
        return inData.refusal();
    }
    if (!request.DependentVariable) {
        return analysisRefusal("There is no dependent variable.");
    }
    if (request.Steps.empty()) {
        return analysisRefusal("There is no step: step 1 adds at least one predictor.");
    }
    if (request.Products.size() > request.Steps.size()) {
        return analysisRefusal("There are products for " + std::to_string(request.Products.size()) + " steps, and only "
                               + std::to_string(request.Steps.size()) + " steps.");
    }
    if (static_cast<std::int32_t>(request.Steps.size()) > MaxSteps) {
        return analysisRefusal("There are " + std::to_string(request.Steps.size()) + " steps, and at most "
                               + std::to_string(MaxSteps) + " are allowed.");
    }
    for (std::size_t s = 0; s < request.Steps.size(); ++s) {
        if (request.Steps[s].empty() && productsOf(request, s).empty()) {
            return analysisRefusal("Step " + std::to_string(s + 1) + " adds no predictor.");
        }
    }
    const std::int32_t dv = *request.DependentVariable;
    if (dataSet.isCategorical(dv)) {
        return analysisRefusal(namedVariable(dv, dataSet) + " is a text variable with "
                               + std::to_string(dataSet.categories(dv).size())
                               + " categories; a regression's dependent variable must be numeric.");
    }
    // A variable plays one role, once.
    std::map<std::int32_t, std::size_t> stepOf;
    for (std::size_t s = 0; s < request.Steps.size(); ++s) {
        for (const std::int32_t v : request.Steps[s]) {
            if (v == dv) {
                return analysisRefusal(variableNumber(v) + " is used in two roles: dependent variable and predictor.");
            }
            const auto [at, added] = stepOf.emplace(v, s);
            if (!added) {
                return analysisRefusal(at->second == s ? variableNumber(v) + " is listed twice in " + stepName(s) + "."
                                                       : variableNumber(v) + " is entered in " + stepName(at->second)
                                                             + " and in " + stepName(s) + ".");
            }
        }
    }
    if (const Status products = checkProducts(request, stepOf, dataSet); !products.ok()) {
        return products;
    }
    std::vector<std::int32_t> predictors;
    for (const auto& [v, s] : stepOf) {
        predictors.push_back(v);
    }
    std::int32_t columns = 0;
    if (const Status categorical = checkCategoricalPredictors(dv, predictors, request.Categorical,
                                                              request.ReferenceCategory, dataSet, columns);
        !categorical.ok()) {
        return categorical;
    }
    // Each product adds its factors' columns multiplied (a categorical one's indicators: categories - 1).
    const std::map<std::int32_t, CategoricalView> views =
        categoricalPredictors(predictors, request.Categorical, dataSet);
    auto factorColumns = [&views](std::int32_t v) {
        const auto view = views.find(v);
        return view == views.end() ? 1 : static_cast<std::int32_t>(view->second.size()) - 1;
    };
    for (const std::vector<ProductTerm>& products : request.Products) {
        for (const ProductTerm& term : products) {
            columns += productColumnCount(factorColumns(term.first), factorColumns(term.second));
        }
    }
    for (const std::int32_t v : request.Centred) {
        if (!stepOf.contains(v) || entersAsCategorical(v, request.Categorical, dataSet)) {
            return analysisRefusal(namedVariable(v, dataSet)
                                   + " is to be centred, but it is not a numeric predictor of the model.");
        }
    }
    if (columns > MaxSequenceColumns) {
        return analysisRefusal("The largest model has " + std::to_string(columns)
                               + " predictor columns (a categorical variable counts one column less than its "
                                 "categories), and at most "
                               + std::to_string(MaxSequenceColumns) + " are allowed.");
    }
    return CheckSlopesRequest(request, dataSet);
}

Outcome<SequenceCases> CollectSequenceCases(const HierarchicalRequest& unsorted, const DataSet& dataSet)
{
    if (const Status checked = CheckHierarchicalRequest(unsorted, dataSet); !checked.ok()) {
        return checked.refusal();
    }
    const HierarchicalRequest request = sortedSteps(unsorted);
    std::vector<std::int32_t> predictors;
    for (const std::vector<std::int32_t>& step : request.Steps) {
        predictors.insert(predictors.end(), step.begin(), step.end());
    }
    const std::map<std::int32_t, CategoricalView> views =
        categoricalPredictors(predictors, request.Categorical, dataSet);
    auto viewOf = [&views](std::int32_t v) {
        const auto view = views.find(v);
        return view == views.end() ? nullptr : &view->second;
    };
    SequenceCases sequence;
    for (const std::vector<std::int32_t>& step : request.Steps) {
        std::int32_t added = 0;
        for (const std::int32_t v : step) {
            added +=
                appendPredictorColumns(sequence.columns, v, viewOf(v), referenceCategory(request.ReferenceCategory, v));
        }
        for (const ProductTerm& term : productsOf(request, sequence.stepColumns.size())) {
            added += appendProductColumns(sequence.columns, term, viewOf(term.first),
                                          referenceCategory(request.ReferenceCategory, term.first), viewOf(term.second),
                                          referenceCategory(request.ReferenceCategory, term.second));
        }
        sequence.stepColumns.push_back(added);
    }
    Outcome<CaseMatrix> cases =
        collectPredictorColumns(*request.DependentVariable, sequence.columns, dataSet, request.Centred);
    if (!cases.ok()) {
        return cases.refusal();
    }
    sequence.cases = std::move(*cases);
    for (std::size_t c = 0; c < sequence.columns.size(); ++c) {
        sequence.cases.centred[c + 1] =
            !sequence.columns[c].isProduct() && request.Centred.contains(sequence.columns[c].variable);
    }
    return sequence;
}

namespace {

Outcome<HierarchicalResult> runHierarchical(const HierarchicalRequest& unsorted, const DataSet& dataSet,
                                            std::uint64_t seed, const RunControl& control, unsigned threads,
                                            TrialKernel kernel)
{
    std::optional<Outcome<SequenceCases>> collected;
    try {
        collected.emplace(CollectSequenceCases(unsorted, dataSet));
    } catch (const std::bad_alloc&) {
        return analysisRefusal("There is not enough memory to collect the complete cases.",
                               Refusal::Reason::OutOfMemory);
    } catch (const RuntimeError& error) {
        return fault(std::string("The complete cases could not be collected: ") + error.what());
    }
    if (!collected->ok()) {
        return collected->refusal();
    }
    const SequenceCases& sequence = collected->value();
    const HierarchicalRequest request = sortedSteps(unsorted);

    HierarchicalResult result;
    result.request = request;
    result.columns = sequence.columns;
    result.stepColumns = sequence.stepColumns;
    result.VariableNames = dataSet.VariableNames();
    result.ImputationVariables = dataSet.imputationVariables();
    std::vector<std::int32_t> predictors;
    for (const std::vector<std::int32_t>& step : request.Steps) {
        predictors.insert(predictors.end(), step.begin(), step.end());
    }
    for (auto& [v, view] : categoricalPredictors(predictors, request.Categorical, dataSet)) {
        result.Categories[v] = std::move(view.labels);
    }
    result.ValueLabelledPredictors = valueLabelledNumeric(predictors, request.Categorical, dataSet);
    for (const std::int32_t v : request.Centred) {
        for (std::size_t c = 0; c < sequence.columns.size(); ++c) {
            if (sequence.columns[c].variable == v && !sequence.columns[c].isProduct()) {
                result.CentredMeans.emplace_back(v, columnMean(sequence.cases, static_cast<std::int32_t>(c) + 1));
            }
        }
    }
    result.Seed = seed;
    result.CasesRead = dataSet.NumCases();
    result.CompleteCases = sequence.cases.NumComplete;

    // Column names for refusals: "Var 4", "Var 5 (Species: virginica)".
    std::vector<std::string> columnNames{variableNumber(*request.DependentVariable)};
    for (const PredictorColumn& column : sequence.columns) {
        auto factorName = [&](std::int32_t v, std::int32_t category, float value) {
            PredictorColumn factor;
            factor.variable = v;
            factor.category = category;
            factor.value = value;
            return category == 0 ? variableNumber(v)
                                 : indicatorName(factor, dataSet.VariableName(v), result.Categories[v]);
        };
        columnNames.push_back(factorName(column.variable, column.category, column.value)
                              + (column.isProduct()
                                     ? " * " + factorName(column.byVariable, column.byCategory, column.byValue)
                                     : std::string()));
    }
    std::vector<NestedModel> models;
    std::vector<BootstrapResult> steps;
    std::int32_t before = 0;
    std::vector<std::int32_t> earlier;
    for (std::size_t s = 0; s < request.Steps.size(); ++s) {
        models.push_back({before, sequence.stepColumns[s], false, {}});
        BootstrapResult step;
        step.request.DependentVariable = request.DependentVariable;
        step.request.PredictorList = earlier;
        step.request.AddedList = request.Steps[s];
        step.request.NumTrials = request.NumTrials;
        step.request.Level = request.Level;
        step.request.Details = request.Details;
        step.request.EffectSizes = request.EffectSizes;
        step.request.Coefficients = request.Coefficients;
        step.VariableNames = result.VariableNames;
        step.Seed = seed;
        step.CasesRead = result.CasesRead;
        step.CompleteCases = result.CompleteCases;
        steps.push_back(std::move(step));
        before += sequence.stepColumns[s];
        earlier.insert(earlier.end(), request.Steps[s].begin(), request.Steps[s].end());
    }
    // The simple slopes: their weights drawn in the trials of the step that enters the product.
    std::optional<ModerationPlan> moderation;
    if (request.Slopes) {
        const auto labels = result.Categories.find(request.Slopes->moderator);
        moderation = PlanModeration(request, sequence.columns, sequence.stepColumns, sequence.cases,
                                    labels != result.Categories.end() ? labels->second : std::vector<std::string>{});
        models[moderation->result.step].combinations = slopeWeights(*moderation);
    }
    const RunSettings settings{seed, request.NumTrials, request.Details, control, threads, kernel, nullptr};
    if (const std::optional<Refusal> refused = RunNestedModels(sequence.cases, models, columnNames, settings, steps)) {
        return *refused;
    }
    if (moderation) {
        const BootstrapResult& step = steps[moderation->result.step];
        const CoefficientsOutcome model =
            step.Coefficients ? step.Coefficients->full
                              : ComputeCoefficients(sequence.cases, moderation->result.columns, request.Level);
        Outcome<ModerationResult> finished = FinishModeration(std::move(*moderation), model, step.CombinationIntervals);
        if (!finished.ok()) {
            return finished.refusal();
        }
        result.Moderation = std::move(*finished);
    }
    result.steps = std::move(steps);
    return result;
}

} // namespace

Outcome<HierarchicalResult> RunHierarchical(const HierarchicalRequest& request, const DataSet& dataSet,
                                            std::uint64_t seed, const RunControl& control, unsigned threads,
                                            TrialKernel kernel)
{
    try {
        return runHierarchical(request, dataSet, seed, control, threads, kernel);
    } catch (const std::bad_alloc&) {
        return analysisRefusal("There is not enough memory to finish the bootstrap.", Refusal::Reason::OutOfMemory);
    } catch (const RuntimeError& error) {
        return fault(std::string("A numerical fault stopped the bootstrap: ") + error.what());
    }
}

} // namespace orvalis
