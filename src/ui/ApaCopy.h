// Copy APA Results: the last run's APA sentence and table on the clipboard, in the interval the user chose.
#pragma once

#include "analyses/ApaReport.h"
#include "analyses/BootstrapResult.h"

#include <optional>

class QWidget;

namespace orvalis {

class Platform;

// The interval the APA results report (Analyses > APA Interval), kept from
// one run of the program to the next; percentile at first.
IntervalKind apaIntervalSetting();
void setApaIntervalSetting(IntervalKind interval);

// The last column of the APA coefficient table (Analyses > APA Coefficient
// Column), kept like the interval; B's interval at first.
ApaCoefficientColumn apaCoefficientColumnSetting();
void setApaCoefficientColumnSetting(ApaCoefficientColumn column);

// Puts the run's APA sentence and table on the clipboard: as HTML (the table
// a table) and as plain text with the table in columns, or in Markdown when
// markdown is set; a run with coefficients gives the coefficient table, with
// the column the setting chooses. Warns, and copies nothing, when there is no run yet or the
// chosen interval is BCa and the run did not compute it (a run without details).
void copyApaResults(Platform& platform, QWidget* parent, const std::optional<BootstrapResult>& run, bool markdown);
// The same for a hierarchical run: a sentence per step and a row per step.
void copyApaResults(Platform& platform, QWidget* parent, const std::optional<HierarchicalResult>& run, bool markdown);
// The same for a dominance analysis: its sentence and its table of weights (percentile intervals).
void copyApaResults(Platform& platform, QWidget* parent, const std::optional<DominanceResult>& run, bool markdown);

} // namespace orvalis
