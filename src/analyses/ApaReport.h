// Results in the style of the APA Publication Manual: a sentence and a table of the R^2 change with its interval.
#pragma once

#include "analyses/BootstrapResult.h"
#include "analyses/Hierarchical.h"

#include <optional>
#include <string>
#include <string_view>

namespace orvalis {

// How a number is written in APA style. Each value is rounded once, from the
// exact value, halves to even.
enum class ApaValue {
    Proportion, // R^2, its change and their limits: two decimals, no leading zero (".27", "1.00")
    PValue,     // three decimals, no leading zero; "< .001" below .001
    Statistic,  // F: two decimals ("12.77")
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
std::string FormatApaTableText(const BootstrapResult& result, IntervalKind interval);
std::string FormatApaTableMarkdown(const BootstrapResult& result, IntervalKind interval);
std::string FormatApaTableHtml(const BootstrapResult& result, IntervalKind interval);

// The same for a hierarchical run: a sentence per step ("In Step 1, wt
// accounted for R² = .75, 95% CI [...], F(1, 30) = 91.38, p < .001. Adding
// hp in Step 2 changed R² to .83, ΔR² = .07, ...") with the method once at the
// end, and a table with a row per step.
std::string FormatApaSentence(const HierarchicalResult& result, IntervalKind interval, ApaForm form = ApaForm::Plain);
std::string FormatApaTableText(const HierarchicalResult& result, IntervalKind interval);
std::string FormatApaTableMarkdown(const HierarchicalResult& result, IntervalKind interval);
std::string FormatApaTableHtml(const HierarchicalResult& result, IntervalKind interval);

// The sentence, a blank line and the table, both plain text or both
// Markdown: what orvalis-cli prints for --format apa and apa-markdown, and
// the text the clipboard holds after Copy APA Results (as Markdown).
std::string FormatApaResults(const BootstrapResult& result, IntervalKind interval, ApaForm form);
std::string FormatApaResults(const HierarchicalResult& result, IntervalKind interval, ApaForm form);

// The model in names, for a figure's caption: "Fertility on Agriculture,
// Examination; adding Education, Catholic, Infant.Mortality" ("on no
// predictors" for an empty reduced model).
std::string modelCaption(const BootstrapResult& result);

} // namespace orvalis
