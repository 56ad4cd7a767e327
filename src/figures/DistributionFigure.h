// DistributionFigure: the histogram of a run's valid R^2 changes with its limits, drawn by one routine at a figure's
// printed size for the screen, PNG, SVG and PDF (the window's plot and orvalis-cli's --figure).
#pragma once

#include "analyses/BootstrapResult.h"
#include "analyses/Histogram.h"
#include "figures/Figure.h"

#include <QColor>
#include <QRectF>
#include <QString>

#include <vector>

class QPainter;

namespace orvalis {

class DistributionFigure : public Figure {
public:
    // The SVG and PDF files' title.
    static constexpr const char* Title = "Bootstrap Distribution";

    // A vertical line at a value, named in the legend (the second line of a
    // pair has no label). Colours from Okabe and Ito's palette, which readers
    // with any colour vision tell apart; the dash patterns keep the lines
    // apart in greyscale.
    struct Marker {
        double value;
        QString label;
        QColor color;
        Qt::PenStyle style;
    };

    explicit DistributionFigure(const BootstrapResult& result);

    const Histogram& histogram() const { return m_histogram; }
    const std::vector<Marker>& markers() const { return m_markers; }
    // The optional caption: the model in names.
    QString caption() const { return m_caption; }
    // The bars' colour, and the text's sizes in points.
    static QColor barColor() { return QColor(0xc8, 0xc8, 0xc8); }
    static constexpr double TextPoints = 8.0;
    static constexpr double TitlePoints = 9.0;

    // Draws the whole figure with the painter's units as points, from (0, 0)
    // to figurePoints(); the caller scales the painter to its device.
    void paintFigure(QPainter& painter) const override;
    // Where paintFigure puts the data area (in points), the x range it shows,
    // and the x (in points) at which it draws each marker: its value's place,
    // moved apart by a line's width from lines that would cover it.
    QRectF plotRect() const;
    double xMin() const { return m_xMin; }
    double xMax() const { return m_xMax; }
    std::vector<double> markerPositions() const;

protected:
    void figureChanged(const FigureSpec& before) override;
    QString description() const override;

private:
    // The layout of the figure for a painter's device: where each part goes.
    struct Layout;
    Layout layout() const;

    Histogram m_histogram;
    // The x range that shows every bar and drawn line.
    void fitRange();

    std::vector<Marker> m_markers;
    std::vector<Marker> m_requestedMarkers; // drawn with FigureSpec::alfGraf
    QString m_caption;
    double m_xMin = 0.0;
    double m_xMax = 1.0;
};

} // namespace orvalis
