// ModerationFigures: the two figures of a hierarchical run's simple slopes (the predicted dependent variable against
// the focal predictor, a line per slope; the focal slope across a numeric moderator with its confidence band and the
// Johnson-Neyman regions), drawn by one routine for the screen, PNG, SVG, PDF and orvalis-cli's --figure.
#pragma once

#include "analyses/Hierarchical.h"
#include "analyses/Moderation.h"
#include "figures/Figure.h"
#include "figures/FigureChoices.h"

#include <QColor>
#include <QRectF>
#include <QString>

#include <memory>
#include <string>
#include <vector>

class QPainter;

namespace orvalis {

// The focal slope where a numeric moderator takes one value: B, its standard
// error and B -/+ the run's critical t times SE.
struct SlopeBandPoint {
    double at = 0.0;
    double B = 0.0;
    double SE = 0.0;
    double lower = 0.0;
    double upper = 0.0;
};

// The moderator values the Johnson-Neyman figure draws the slope and its band at.
inline constexpr int JohnsonNeymanGridPoints = 101;

// `count` (at least 2) evenly spaced values of the moderator from its observed
// minimum to its maximum, both included, with the slope there
// (ModerationResult::slopeAt). Only for a numeric moderator.
std::vector<SlopeBandPoint> johnsonNeymanGrid(const ModerationResult& moderation, int count = JohnsonNeymanGridPoints);

// The simple-slopes figure's values as CSV: "moderator,value,intercept,B",
// then a row per slope (the moderator value as the report names it, quoted
// when it holds a comma, a quote or a line break; the value in the
// moderator's units, a category's cell value; the line's intercept and
// slope), numbers in the shortest form that reads back the same double.
// Lines end in LF.
std::string FormatSimpleSlopesCsv(const ModerationResult& moderation);
// The Johnson-Neyman figure's values as CSV: "moderator,B,SE,lower,upper",
// then a row per point of johnsonNeymanGrid. Lines end in LF.
std::string FormatJohnsonNeymanCsv(const ModerationResult& moderation);

// A number in a figure's legend or at a Johnson-Neyman bound: four
// significant digits, trailing zeros dropped ("78.12", "146.7", "-3", "0.0125").
std::string figureNumber(double value);

// What the two figures share: a caption, the axes with their titles and
// round ticks, the data area, and a legend below the axis title, laid out in
// points as the distribution's figure is.
class ModerationFigure : public Figure {
public:
    // A legend entry: a line of the colour and style, or (fill) a swatch of the colour.
    struct LegendEntry {
        QString label;
        QColor color;
        Qt::PenStyle style = Qt::SolidLine;
        bool fill = false;
    };
    static constexpr double TextPoints = 8.0;
    static constexpr double TitlePoints = 9.0;
    static constexpr double LineWidth = 1.2; // a data line, in points

    // The SVG and PDF files' title of each figure, and the window's.
    static const char* titleOf(ModerationFigureKind kind);
    // The figure of kind for a run; none when the run has no simple slopes, or
    // for the Johnson-Neyman figure when the moderator is categorical.
    static std::unique_ptr<ModerationFigure> make(const HierarchicalResult& result, ModerationFigureKind kind);

    void paintFigure(QPainter& painter) const override;

    // The optional caption, the axis titles and the legend.
    QString caption() const { return m_caption; }
    QString xTitle() const { return m_xTitle; }
    QString yTitle() const { return m_yTitle; }
    // A line above the legend's entries (the moderator's name); may be empty.
    QString legendTitle() const { return m_legendTitle; }
    const std::vector<LegendEntry>& legend() const { return m_legend; }
    // Where paintFigure puts the data area (in points) and the ranges it shows.
    QRectF plotRect() const;
    double xMin() const { return m_xMin; }
    double xMax() const { return m_xMax; }
    double yMin() const { return m_yMin; }
    double yMax() const { return m_yMax; }

protected:
    explicit ModerationFigure(ModerationFigureKind kind);
    QString description() const override { return m_caption; }
    // Draws the data into area, after the background and before the axes.
    virtual void paintData(QPainter& painter, const QRectF& area) const = 0;
    // A value's place in area.
    double xOf(double x, const QRectF& area) const
    {
        return area.left() + (x - m_xMin) / (m_xMax - m_xMin) * area.width();
    }
    double yOf(double y, const QRectF& area) const
    {
        return area.bottom() - (y - m_yMin) / (m_yMax - m_yMin) * area.height();
    }
    // The x range exactly [low, high]; the y range [low, high] with 5% of its width on either side.
    void setRanges(double xLow, double xHigh, double yLow, double yHigh);

    QString m_caption;
    QString m_xTitle;
    QString m_yTitle;
    QString m_legendTitle;
    std::vector<LegendEntry> m_legend;

private:
    struct Layout;
    Layout layout() const;

    double m_xMin = 0.0;
    double m_xMax = 1.0;
    double m_yMin = 0.0;
    double m_yMax = 1.0;
};

// The predicted dependent variable against the focal predictor over its
// observed range: a line intercept + B x per slope, told apart by its dash
// pattern as well as its colour; the legend names each moderator value as the
// report does, with the value of a numeric one ("mean - 1 SD (78.12)").
class SimpleSlopesFigure : public ModerationFigure {
public:
    struct Line {
        double intercept = 0.0;
        double B = 0.0;
        QColor color;
        Qt::PenStyle style = Qt::SolidLine;
    };
    // result: a run with simple slopes.
    explicit SimpleSlopesFigure(const HierarchicalResult& result);
    const std::vector<Line>& lines() const { return m_lines; }
    double focalMin() const { return m_focalMin; }
    double focalMax() const { return m_focalMax; }

protected:
    void paintData(QPainter& painter, const QRectF& area) const override;

private:
    std::vector<Line> m_lines;
    double m_focalMin = 0.0;
    double m_focalMax = 1.0;
};

// The focal slope across a numeric moderator's observed range with its
// confidence band at the run's level, a line at 0, the moderator values where
// the slope is significant shaded, and each Johnson-Neyman bound inside the
// range drawn as a line with its value.
class JohnsonNeymanFigure : public ModerationFigure {
public:
    // result: a run with simple slopes of a numeric moderator.
    explicit JohnsonNeymanFigure(const HierarchicalResult& result);

    // The colours: the slope, the band (drawn translucent), the significant
    // regions' shade, the bounds' lines.
    static QColor slopeColor() { return QColor(0x00, 0x72, 0xb2); }
    static QColor bandColor() { return QColor(0x56, 0xb4, 0xe9); }
    static QColor regionColor() { return QColor(0xe4, 0xe4, 0xe4); }
    static QColor boundColor() { return QColor(0xd5, 0x5e, 0x00); }
    // The moderator ranges shaded, ascending, inside the observed range.
    const std::vector<std::pair<double, double>>& regions() const { return m_regions; }
    // The bounds inside the observed range, ascending.
    const std::vector<double>& bounds() const { return m_bounds; }
    const std::vector<SlopeBandPoint>& grid() const { return m_grid; }

protected:
    void paintData(QPainter& painter, const QRectF& area) const override;

private:
    std::vector<SlopeBandPoint> m_grid;
    std::vector<std::pair<double, double>> m_regions;
    std::vector<double> m_bounds;
};

} // namespace orvalis
