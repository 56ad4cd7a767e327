// DistributionPlot: the widget keeps its drawing's figure the one it shows.
#include "ui/DistributionPlot.h"

namespace orvalis {

DistributionPlot::DistributionPlot(const BootstrapResult& result, QWidget* parent)
    : FigureWidget(QString::fromLatin1(DistributionFigure::Title), parent), m_drawing(result)
{
    setObjectName("plotDistribution");
    setMinimumSize(360, 240);
}

void DistributionPlot::paintFigure(QPainter& painter) const
{
    m_drawing.paintFigure(painter);
}

void DistributionPlot::figureChanged(const FigureSpec& before)
{
    (void)before;
    m_drawing.setFigure(m_figure);
}

QString DistributionPlot::description() const
{
    return m_drawing.caption();
}

} // namespace orvalis
