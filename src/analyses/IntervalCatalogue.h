// The kinds of confidence interval, one row each: every word, caption, legend, note and marker the readers show.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvalis {

// The kinds of confidence interval a run computes.
enum class IntervalKind {
    Traditional, // the percentile limits of the valid trials' values
    Modified,    // the traditional limits, with a lower limit of 0 when the F test is not significant
    BCa,         // bias-corrected and accelerated (only with the details)
    AlfGraf,     // Alf and Graf's large-sample interval, change +- z SE (with the effect sizes)
    NoncentralF, // exact for fixed predictors, by inverting the noncentral F (with the effect sizes)
};

// What a run must be asked for before it computes an interval of a kind.
enum class IntervalNeeds {
    Run,         // every run
    Details,     // "Add details to the report", --details
    EffectSizes, // the effect sizes (--effect-sizes, or the APA texts naming the interval)
};

// How a figure of the distribution draws a kind's limits.
enum class PlotLine { None, Solid, Dash, DashDot, Dot, DashDotDot };

struct PlotMarker {
    PlotLine line = PlotLine::None; // None: not drawn
    std::uint32_t rgb = 0;          // its colour, 0xRRGGBB
    bool lowerOnly = false;         // only the lower limit is a line of its own
    bool onRequest = false;         // drawn only when the user asks (a check box of the figure window)
};

// One kind of interval. A text holds placeholders the readers fill in:
// {level} the confidence level's percent ("95"), {limits} the limits
// ("[.106, .489]"), {test} the test the modified limit followed in short
// ("F test", "robust F test"), {test-name} the same as the report names it
// ("the F test", "the robust F test (HC3)"), {alpha} the test's alpha (".05").
struct IntervalRow {
    IntervalKind kind;
    // The run's report and the hierarchical table ("Traditional limits"); the
    // details' generic line ("<name> limits (95%): a and b") for a kind no
    // block writes in its own words.
    const char* reportName;
    bool inReport; // its limits are lines of the run's report and a column of the hierarchical table
    // The key of the change's limits in the JSON ("limits.traditional", a
    // hierarchical step's "traditional"); null where the kind is only in
    // effect_sizes.intervals.
    const char* jsonKey;
    // The kind's word in effect_sizes.intervals[].kind. It names the same
    // interval as jsonKey: "percentile" is the JSON's older word for the
    // traditional limits, kept for the scripts that read it.
    const char* jsonKind;
    // The word of --apa-interval, of the APA setting and of the menu item's
    // object name; null where the APA texts cannot name the kind.
    const char* commandWord;
    const char* menuCaption; // Analyses > APA Interval, with its mnemonic
    const char* apaMethod;   // the method as the APA sentence and note name it
    bool resampled;          // the APA texts give the resamples after the method
    const char* legend;      // the figure legend's line ("" where the kind has none)
    const char* figureNote;  // the figure note's sentence ("" where the kind has none)
    PlotMarker marker;
    IntervalNeeds needs;
    // What Copy APA Results says when the run did not compute the chosen kind.
    const char* notComputed;
};

// Every kind, in the order the readers list them (menus, legend, note, JSON keys).
const std::vector<IntervalRow>& intervalCatalogue();

// The row of a kind.
const IntervalRow& intervalRow(IntervalKind kind);

// The kinds the APA texts can name, in menu order.
std::vector<IntervalKind> apaIntervalKinds();

// The kind a command word names ("percentile", "modified", "bca", "alf-graf"), or none.
std::optional<IntervalKind> intervalNamed(std::string_view commandWord);

// "percentile, modified, bca or alf-graf": the words a usage error lists.
std::string intervalWordsText();

// A row's text with its placeholders filled in; a placeholder not given stays as it is.
struct IntervalWords {
    std::string level;
    std::string limits;
    std::string test;
    std::string testName;
    std::string alpha;
};
std::string fillIntervalText(std::string_view text, const IntervalWords& words);

} // namespace orvalis
