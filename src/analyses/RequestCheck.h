// The checks every analysis request passes against the data before any work, and the analyses' refusal title.
#pragma once

#include "analyses/BootstrapRequest.h"
#include "common/Outcome.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvalis {

class DataSet;

// The caption of the box in which a window shows an analysis refusal.
inline constexpr const char* AnalysisErrorTitle = "Analysis Error";

// A refusal of an analysis request with the analyses' title.
Refusal analysisRefusal(std::string message, Refusal::Reason reason = Refusal::Reason::Refused);

// The words of the two refusals that would name a front end's own controls:
// the core's name none; the window passes its own ("... from the <Added
// Predictors> listbox.").
struct RequestWords {
    std::string noAddedPredictor = "There is no added predictor: the full model needs at least one.";
    std::string noDependentVariable = "There is no dependent variable.";
};

// Every check a bootstrap request passes, before any work, in this order: a
// variable outside the data (reason NotInData, as checkVariablesInData); no
// added predictor; no dependent variable; more than 12 explanatory
// variables; a variable in two roles (dependent variable and predictor or
// added predictor, predictor and added predictor) or listed twice; a text
// (categorical) variable in any role, unless declared categorical
// (request.Categorical); then those of checkCategoricalPredictors; more than
// 24 predictor columns. A declared variable outside the data is NotInData. The
// window calls it at OK, before a run starts; CollectCompleteCases calls it
// too, so no unchecked request is ever collected.
Status CheckBootstrapRequest(const BootstrapRequest& request, const DataSet& dataSet, const RequestWords& words = {});

// The request's variables in the case matrix's column order: the dependent
// variable (when there is one), the predictors, the added predictors.
std::vector<std::int32_t> requestVariables(const BootstrapRequest& request);

// Refuses (reason NotInData) the first variable, in the given order, that lies
// outside 1..NumVariables of the data set: "Var 7 is not in the data (it
// has 2 variables)".
Status checkVariablesInData(const std::vector<std::int32_t>& variables, const DataSet& dataSet);

// The variable the file's names line gave this name, or a refusal (reason
// NotInData) naming it: "no variable is named X", or "the name X belongs to
// more than one variable (3, 5)".
Outcome<std::int32_t> variableNamed(const DataSet& dataSet, const std::string& name);

} // namespace orvalis
