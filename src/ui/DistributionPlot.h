// DistributionPlot: the histogram of a run's valid R^2 changes with its limits, drawn by one routine for screen, PNG
// and SVG.
#pragma once

#include "analyses/BootstrapResult.h"
#include "analyses/Histogram.h"

#include <QColor>
#include <QString>
#include <QWidget>

#include <vector>

class QPainter;

namespace orvalis {

class DistributionPlot : public QWidget {
    Q_OBJECT
public:
    // A vertical line at a value, named in the legend.
    struct Marker {
        double value;
        QString label;
        QColor color;
        Qt::PenStyle style;
    };

    DistributionPlot(const BootstrapResult& result, QWidget* parent = nullptr);

    const Histogram& histogram() const { return m_histogram; }
    const std::vector<Marker>& markers() const { return m_markers; }
    QString title() const { return m_title; }
    // The bars' colour.
    static QColor barColor() { return QColor(0x9c, 0xb4, 0xd8); }

    // Draws the whole picture into bounds (logical pixels).
    void paint(QPainter& painter, const QRectF& bounds) const;
    // Where paint puts the data area in bounds, and the x range it shows.
    QRectF plotRect(const QRectF& bounds) const;
    double xMin() const { return m_xMin; }
    double xMax() const { return m_xMax; }

    // The picture at size (logical pixels) and scale (device pixels per
    // logical pixel), and as SVG.
    QImage toImage(QSize size, qreal scale) const;
    QByteArray toSvg(QSize size) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Histogram m_histogram;
    std::vector<Marker> m_markers;
    QString m_title;
    double m_xMin = 0.0;
    double m_xMax = 1.0;
};

} // namespace orvalis
