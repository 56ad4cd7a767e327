// DistributionPlot: the distribution's figure (DistributionFigure) as a widget, shown as it will print and exported
// by the same drawing orvalis-cli's --figure writes.
#pragma once

#include "analyses/BootstrapResult.h"
#include "figures/DistributionFigure.h"
#include "ui/FigureWidget.h"

#include <vector>

class QPainter;

namespace orvalis {

class DistributionPlot : public FigureWidget {
    Q_OBJECT
public:
    using Marker = DistributionFigure::Marker;

    explicit DistributionPlot(const BootstrapResult& result, QWidget* parent = nullptr);

    const Histogram& histogram() const { return m_drawing.histogram(); }
    const std::vector<Marker>& markers() const { return m_drawing.markers(); }
    // The optional caption: the model in names.
    QString caption() const { return m_drawing.caption(); }
    static QColor barColor() { return DistributionFigure::barColor(); }

    // The drawing, which the exports and the screen share.
    const DistributionFigure& drawing() const { return m_drawing; }
    void paintFigure(QPainter& painter) const override;
    QRectF plotRect() const { return m_drawing.plotRect(); }
    double xMin() const { return m_drawing.xMin(); }
    double xMax() const { return m_drawing.xMax(); }
    std::vector<double> markerPositions() const { return m_drawing.markerPositions(); }

protected:
    void figureChanged(const FigureSpec& before) override;
    QString description() const override;

private:
    DistributionFigure m_drawing;
};

} // namespace orvalis
