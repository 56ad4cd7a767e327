// DominanceFigure: the general dominance weights of a dominance analysis as horizontal bars with their percentile
// intervals, units sorted by weight, drawn by one routine for the screen, PNG, SVG, PDF and orvalis-cli's --figure.
#pragma once

#include "analyses/Dominance.h"
#include "figures/Figure.h"

#include <QColor>
#include <QRectF>
#include <QString>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

class QPainter;

namespace orvalis {

// The figure's values as CSV: "unit,general,lower,upper,share", then a row
// per unit in the figure's order (the largest weight first; equal weights in
// the units' order), the unit as the figure names it (quoted when it holds a
// comma, a quote or a line break), its general weight, the percentile limits
// of the weight (empty where a limit is undefined) and its share, numbers in
// the shortest form that reads back the same double. Lines end in LF.
std::string FormatDominanceFigureCsv(const DominanceResult& result);

class DominanceFigure : public Figure {
public:
    // The SVG and PDF files' title, and the window's.
    static constexpr const char* Title = "Relative Importance";
    static constexpr double TextPoints = 8.0;
    static constexpr double TitlePoints = 9.0;

    // A unit's bar: its name as the figure shows it (a predictor's name from
    // the file or "Var 4", a group's name), its general weight and the
    // percentile limits of the weight where the run has them.
    struct Bar {
        std::size_t unit = 0; // the unit's place in the result
        QString label;
        double weight = 0.0;
        std::optional<double> lower;
        std::optional<double> upper;
    };

    explicit DominanceFigure(const DominanceResult& result);

    // The bars from the top: the largest weight first, equal weights in the units' order.
    const std::vector<Bar>& bars() const { return m_bars; }
    // The optional caption (the dependent variable, the level, the valid trials), the axis title, the note.
    QString caption() const { return m_caption; }
    QString axisTitle() const { return m_axisTitle; }
    QString note() const { return m_note; }
    static QColor barColor() { return QColor(0x56, 0xb4, 0xe9); }
    static QColor intervalColor() { return QColor(0x00, 0x00, 0x00); }

    void paintFigure(QPainter& painter) const override;
    // Where paintFigure puts the data area (in points), the weights' range it
    // shows (from 0, or the lowest limit below it, to the highest weight or
    // limit, each widened to a round tick), and bar k's rectangle in points.
    QRectF plotRect() const;
    double xMin() const { return m_xMin; }
    double xMax() const { return m_xMax; }
    QRectF barRect(std::size_t k) const;

protected:
    QString description() const override { return m_caption; }

private:
    struct Layout;
    Layout layout() const;
    double xOf(double x, const QRectF& area) const
    {
        return area.left() + (x - m_xMin) / (m_xMax - m_xMin) * area.width();
    }
    // Bar k's row in area.
    QRectF rowOf(std::size_t k, const QRectF& area) const;

    std::vector<Bar> m_bars;
    QString m_caption;
    QString m_axisTitle;
    QString m_note;
    double m_xMin = 0.0;
    double m_xMax = 1.0;
};

} // namespace orvalis
