// figureMarks and FormatFigureNote: every interval's line and words from its row of the catalogue.
#include "analyses/FigureText.h"

#include "analyses/ApaReport.h"
#include "analyses/EffectSizeBlock.h"
#include "common/NumberText.h"

namespace orvalis {
namespace {

const char* const DeltaR2 = "\u0394R\u00b2";

// "[.106, .489]" with three decimals; none where a limit is undefined.
std::optional<std::string> limitsText(const Interval* interval)
{
    if (interval == nullptr || !interval->lower || !interval->upper) {
        return std::nullopt;
    }
    std::string text = "[";
    text += apaProportion(*interval->lower, 3);
    text += ", ";
    text += apaProportion(*interval->upper, 3);
    text += "]";
    return text;
}

// The modified interval's lower limit where it differs from the traditional one (then 0).
std::optional<double> ownLowerLimit(const BootstrapResult& result, const Interval* interval)
{
    const Interval* traditional = result.interval(IntervalKind::Traditional);
    if (traditional == nullptr || interval == nullptr || !interval->lower || interval->lower == traditional->lower) {
        return std::nullopt;
    }
    return interval->lower;
}

// A kind's legend line or note sentence for this run: its words filled in, or
// nothing where the run has no limits of that kind to draw.
struct KindText {
    std::string text;
    const Interval* interval = nullptr;
};

std::optional<KindText> kindText(const BootstrapResult& result, const IntervalRow& row, const char* pattern)
{
    if (row.marker.line == PlotLine::None) {
        return std::nullopt;
    }
    const Interval* interval = result.interval(row.kind);
    IntervalWords words;
    words.level = formatInteger(percentOf(result.request.Level));
    if (row.marker.lowerOnly) {
        if (!ownLowerLimit(result, interval)) {
            return std::nullopt;
        }
    } else {
        const auto limits = limitsText(interval);
        if (!limits) {
            return std::nullopt;
        }
        words.limits = *limits;
    }
    const bool robust = result.ModifiedFollowed == ModifiedTest::Robust;
    words.test = robust ? "robust F test" : "F test";
    words.testName = modifiedTestName(result);
    words.alpha = apaAlpha(result.request.Level);
    return KindText{fillIntervalText(pattern, words), interval};
}

} // namespace

std::vector<FigureMark> figureMarks(const BootstrapResult& result)
{
    std::vector<FigureMark> marks;
    if (result.DeltaR2) {
        marks.push_back({*result.DeltaR2,
                         "Observed " + std::string(DeltaR2) + " = " + apaProportion(*result.DeltaR2, 3),
                         PlotMarker{PlotLine::Solid, 0x000000, false, false}});
    }
    for (const IntervalRow& row : intervalCatalogue()) {
        const auto legend = kindText(result, row, row.legend);
        if (!legend) {
            continue;
        }
        marks.push_back({*legend->interval->lower, legend->text, row.marker});
        if (!row.marker.lowerOnly) {
            marks.push_back({*legend->interval->upper, std::string(), row.marker});
        }
    }
    return marks;
}

std::string FormatFigureNote(const BootstrapResult& result, bool requestedDrawn)
{
    std::string note = "Note. Histogram of the " + apaNumber(ApaValue::Count, result.NumValid) + " valid of "
                       + apaNumber(ApaValue::Count, result.request.NumTrials) + " bootstrap resamples of " + DeltaR2
                       + " (" + modelCaption(result) + "; " + apaNumber(ApaValue::Count, result.CompleteCases)
                       + " complete cases, seed " + std::to_string(result.Seed) + ").";
    if (result.DeltaR2) {
        note += " Solid line: observed " + std::string(DeltaR2) + " = " + apaProportion(*result.DeltaR2, 3) + ".";
    }
    for (const IntervalRow& row : intervalCatalogue()) {
        if (row.marker.onRequest && !requestedDrawn) {
            continue;
        }
        if (const auto sentence = kindText(result, row, row.figureNote)) {
            note += " " + sentence->text;
        }
    }
    return note;
}

} // namespace orvalis
