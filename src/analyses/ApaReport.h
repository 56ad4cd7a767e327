// Results in the style of the APA Publication Manual: a sentence and a table of the R^2 change with its interval.
#pragma once

#include "analyses/Dominance.h"
#include "analyses/BootstrapResult.h"
#include "analyses/Hierarchical.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvalis {

// How a number is written in APA style. Each value is rounded once, from the
// exact value, halves to even.
enum class ApaValue {
    Proportion, // R^2, its change and their limits: two decimals, no leading zero (".27", "1.00")
    PValue,     // three decimals, no leading zero; "< .001" below .001
    Statistic,  // F, t, B, its standard error and limits: two decimals ("12.77", "-0.02")
    Count,      // a whole number with thousands separators ("2,000")
};
std::string apaNumber(ApaValue kind, double value);

// A proportion with `decimals` places and no leading zero (".274"), as the
// figure's legend gives its values.
std::string apaProportion(double value, int decimals);

// The alpha of the F test at a level, as APA writes it: ".05".
std::string apaAlpha(ConfidenceLevel level);

// The interval the sentence and the table report is one of apaIntervalKinds()
// (IntervalCatalogue.h): percentile, modified, BCa (a run with details), Alf
// and Graf's (a run with the effect sizes).

// The last column of the coefficient table (below): B's interval at the
// run's level, "95% CI [LL, UL]", or the squared semipartial correlation sr².
enum class ApaCoefficientColumn { Interval, Sr2 };

// One row per choice: its word on the command line and in the settings
// ("ci", "sr2") and its caption in the APA menu.
struct ApaCoefficientColumnRow {
    ApaCoefficientColumn column;
    const char* word;
    const char* menuCaption;
};
const std::vector<ApaCoefficientColumnRow>& apaCoefficientColumnRows();
const ApaCoefficientColumnRow& apaCoefficientColumnRow(ApaCoefficientColumn column);
std::optional<ApaCoefficientColumn> apaCoefficientColumnNamed(std::string_view word);

// The text forms of the results: plain text, or Markdown, where each name
// from the data file is escaped (a backslash before \ ` * _ [ ] < > | ~ $ &)
// so that it shows as written; the program's own text is the same in both.
enum class ApaForm { Plain, Markdown };

// The results sentence, for example "Adding Education, Catholic and
// Infant.Mortality increased R² from .43 to .71, ΔR² = .27, 95% CI [.11,
// .49], F(3, 41) = 12.77, p < .001 (percentile bootstrap, 2,000 resamples;
// Orvalis 1.0.0)." Variables by their names, "Var 4" where the file gave none.
std::string FormatApaSentence(const BootstrapResult& result, IntervalKind interval, ApaForm form = ApaForm::Plain);

// The table (model, R², ΔR² with its CI, F change, df1, df2, p) with its
// number, title and note: as plain text in aligned columns, as a Markdown
// table, and as an HTML table a word processor pastes as a table. Lines of
// the text forms end in LF.
//
// A run with coefficients (result.Coefficients) has instead the
// hierarchical regression table of the APA manual: a block per step (Step 1
// the reduced model, Step 2 the full one), its heading, a row for the
// constant and for each predictor (named as the coefficients block names
// it: "Var4 (hp)") with B, SE B, β, t, p and the chosen last column, and a
// line with the step's R², ΔR² with its CI in the chosen interval, and the
// F test with its df and p. Markdown and HTML set the statistics' symbols in
// italics (β stays upright); the note says what the columns and the
// intervals are. Without coefficients the column is not used.
std::string FormatApaTableText(const BootstrapResult& result, IntervalKind interval,
                               ApaCoefficientColumn column = ApaCoefficientColumn::Interval);
std::string FormatApaTableMarkdown(const BootstrapResult& result, IntervalKind interval,
                                   ApaCoefficientColumn column = ApaCoefficientColumn::Interval);
std::string FormatApaTableHtml(const BootstrapResult& result, IntervalKind interval,
                               ApaCoefficientColumn column = ApaCoefficientColumn::Interval);

// The same for a hierarchical run: a sentence per step ("In Step 1, wt
// accounted for R² = .75, 95% CI [...], F(1, 30) = 91.38, p < .001. Adding
// hp in Step 2 changed R² to .83, ΔR² = .07, ...") with the method once at the
// end, and a table with a row per step; with coefficients, the block of each
// step's model (the steps up to it), its terms named by termName.
std::string FormatApaSentence(const HierarchicalResult& result, IntervalKind interval, ApaForm form = ApaForm::Plain);
std::string FormatApaTableText(const HierarchicalResult& result, IntervalKind interval,
                               ApaCoefficientColumn column = ApaCoefficientColumn::Interval);
std::string FormatApaTableMarkdown(const HierarchicalResult& result, IntervalKind interval,
                                   ApaCoefficientColumn column = ApaCoefficientColumn::Interval);
std::string FormatApaTableHtml(const HierarchicalResult& result, IntervalKind interval,
                               ApaCoefficientColumn column = ApaCoefficientColumn::Interval);

// The sentence, a blank line and the table, both plain text or both
// Markdown: what orvalis-cli prints for --format apa and apa-markdown, and
// the text the clipboard holds after Copy APA Results (as Markdown).
std::string FormatApaResults(const BootstrapResult& result, IntervalKind interval, ApaForm form,
                             ApaCoefficientColumn column = ApaCoefficientColumn::Interval);
std::string FormatApaResults(const HierarchicalResult& result, IntervalKind interval, ApaForm form,
                             ApaCoefficientColumn column = ApaCoefficientColumn::Interval);

// A dominance analysis: the sentence ("A dominance analysis of mpg (R² = .86,
// F(4, 27) = 40.74, p < .001) gave general dominance weights of .35, 95% CI
// [.26, .44], for wt (40% of R²); ...", then which unit completely dominated
// which), a blank line and the table of the weights, their percentile
// intervals, shares and sr².
std::string FormatApaResults(const DominanceResult& result, ApaForm form);
// Its parts: the sentence, and the table in HTML (the clipboard's).
std::string FormatApaSentence(const DominanceResult& result, ApaForm form = ApaForm::Plain);
std::string FormatApaTableHtml(const DominanceResult& result);

// The model in names, for a figure's caption: "Fertility on Agriculture,
// Examination; adding Education, Catholic, Infant.Mortality" ("on no
// predictors" for an empty reduced model).
std::string modelCaption(const BootstrapResult& result);

} // namespace orvalis
