// FigureWidget: the preview of a figure laid out in points.
#include "ui/FigureWidget.h"

#include <QPainter>

#include <algorithm>
#include <utility>

namespace orvalis {

FigureWidget::FigureWidget(QString title, QWidget* parent) : QWidget(parent), Figure(std::move(title))
{
}

void FigureWidget::setFigure(const FigureSpec& figure)
{
    Figure::setFigure(figure);
    update();
}

void FigureWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    const QSizeF figure = figurePoints();
    const double room = 8.0;
    const double scale = std::min((width() - 2 * room) / figure.width(), (height() - 2 * room) / figure.height());
    if (scale <= 0.0) {
        return;
    }
    painter.translate((width() - figure.width() * scale) / 2, (height() - figure.height() * scale) / 2);
    painter.scale(scale, scale);
    // A thin frame shows the page's edge against the window.
    painter.setPen(QPen(palette().color(QPalette::Mid), 0));
    painter.drawRect(QRectF(QPointF(-0.5 / scale, -0.5 / scale), figure + QSizeF(1 / scale, 1 / scale)));
    paintFigure(painter);
}

} // namespace orvalis
