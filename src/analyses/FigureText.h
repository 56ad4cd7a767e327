// The words and lines of the figure of a run's distribution: its legend lines, the lines it draws, its note.
#pragma once

#include "analyses/BootstrapResult.h"

#include <string>
#include <vector>

namespace orvalis {

// One line the figure draws: where, how, and its legend text (empty for an
// interval's second limit, which shares the first one's legend line).
struct FigureMark {
    double value = 0.0;
    std::string legend;
    PlotMarker marker;
};

// The lines of the figure: the observed change (solid, black: "Observed ΔR² =
// .274"), then each kind of the interval catalogue that has a marker, in the
// catalogue's order, where the run has its limits: "95% percentile CI [.106,
// .489]", "Modified lower limit 0 (F test not significant)" (only when the
// modified lower limit differs from the traditional one), "BCa [.092, .470]",
// "Alf–Graf CI [...]" (a mark drawn on request). Values with three decimals.
std::vector<FigureMark> figureMarks(const BootstrapResult& result);

// The note a figure of the distribution needs: what the bars and each line
// are, how many valid trials of how many, on how many cases, and the seed.
// requestedDrawn: the figure also draws the marks drawn on request (Alf and
// Graf's limits).
std::string FormatFigureNote(const BootstrapResult& result, bool requestedDrawn = false);

} // namespace orvalis
