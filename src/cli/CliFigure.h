// orvalis-cli's --figure: the distribution's figure of a run written as PDF, PNG or SVG, by the drawing the desktop
// program's window exports; declared without Qt, so that a build without Qt refuses it.
#pragma once

#include "analyses/BootstrapResult.h"
#include "analyses/Dominance.h"
#include "analyses/Hierarchical.h"
#include "common/Outcome.h"
#include "figures/FigureChoices.h"

#include <cstdint>
#include <optional>
#include <string>

namespace orvalis::cli {

// What --figure and its options ask for; the rest of the figure is the
// window's default (no caption, Alf and Graf's limits not drawn).
struct FigureRequest {
    std::string file; // empty: no figure
    FigureFileType type = FigureFileType::Pdf;
    double widthMm = FigureSizePresets[0].widthMm;
    double heightMm = FigureSizePresets[0].heightMm;
    int dpi = FigureResolutions[0]; // a PNG's
    std::int32_t step = 0;          // hierarchical: the step (1-based); 0: the last
    // hierarchical: a figure of the simple slopes instead of the distribution (--figure-of).
    std::optional<ModerationFigureKind> moderation;
};

// Whether this orvalis-cli was built with Qt and so can draw figures.
bool figuresAvailable();

// Draws result's distribution as request says and writes it to request.file by
// the save rules (never over dataFile, a directory, a pipe, a device or a
// read-only file; an existing file kept when the drawing or the write fails).
// Makes a QGuiApplication on the offscreen platform when the process has none.
// A refusal's message is the reason, in words that follow "cannot write PATH: ".
Status writeDistributionFigure(const BootstrapResult& result, const FigureRequest& request,
                               const std::string& dataFile);

// The same for the figure of the run's simple slopes that request.moderation
// names (the window's drawing, as writeDistributionFigure); refuses a run
// without that figure (no slopes, or a categorical moderator for the
// Johnson-Neyman figure).
Status writeModerationFigure(const HierarchicalResult& result, const FigureRequest& request,
                             const std::string& dataFile);

// The same for a dominance analysis: its general weights with their
// percentile intervals (the Relative Importance window's drawing).
Status writeDominanceFigure(const DominanceResult& result, const FigureRequest& request, const std::string& dataFile);

} // namespace orvalis::cli
