// The text block, the details and the trial values of a hierarchical bootstrap.
#pragma once

#include "analyses/Hierarchical.h"

#include <string>

namespace orvalis {

// What a step adds, as the report names it: "Var6 (wt)", and a categorical
// variable with its indicators: "Var5 (Species): versicolor, virginica vs
// setosa". Variables separated by "; ".
std::string DescribeStep(const HierarchicalResult& result, std::size_t step);

// The block of a run: the model, the complete cases, the trials and level,
// then a table with a row per step (R^2, change, valid trials, traditional and
// modified limits of the change, F change, df1, df2, exact p) and the F-change
// convention. Every line ends in CR LF; three empty lines end the block.
// Data with a variable named like the number of an imputation adds the
// warning of FormatImputationWarning after the block, and a value-labelled
// predictor entered as a number that of FormatValueLabelWarning.
std::string FormatHierarchicalReport(const HierarchicalResult& result);

// The details of every step (bootstrap mean and standard error, the BCa
// limits with z0 and a, the Monte Carlo errors of the traditional limits),
// for a run with details; lines end in CR LF, three empty lines end it.
std::string FormatHierarchicalDetails(const HierarchicalResult& result, std::string_view dataFile);

// The valid trials of every step as CSV: "step,trial,change", steps in order,
// trials in trial order, changes in the shortest text that reads back as the
// same double; lines end in LF.
std::string FormatHierarchicalDraws(const HierarchicalResult& result);

} // namespace orvalis
