// PowerCurvePlot: axes, the curve, the target power and the chosen N, laid out in points.
#include "ui/PowerCurvePlot.h"

#include "analyses/ApaReport.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace orvalis {
namespace {

constexpr double Margin = 4.0;
constexpr double LineWidth = 1.2;
constexpr double AxisWidth = 0.6;
constexpr double TextPoints = 8.0;
constexpr double TitlePoints = 9.0;

} // namespace

PowerCurvePlot::PowerCurvePlot(const PowerQuestion& question, std::vector<PowerAnswer> points,
                               std::optional<double> target, std::optional<std::int32_t> marked, QWidget* parent)
    : FigureWidget(QStringLiteral("Power of the F Test"), parent), m_points(std::move(points)), m_target(target),
      m_marked(marked)
{
    setObjectName("plotPowerCurve");
    setMinimumSize(360, 240);
    m_caption =
        QStringLiteral("p = %1, q = %2, f\u00b2 = %3, \u03b1 = %4; %5")
            .arg(question.p)
            .arg(question.q)
            .arg(QString::fromStdString(apaProportion(question.f2, 3)))
            .arg(QString::fromStdString(apaProportion(question.alpha, 3)))
            .arg(question.convention == Noncentrality::Pwr ? QStringLiteral("\u03bb = f\u00b2 (u + v + 1) (pwr)")
                                                           : QStringLiteral("\u03bb = f\u00b2 N (G*Power)"));
}

void PowerCurvePlot::paintFigure(QPainter& painter) const
{
    painter.setRenderHint(QPainter::Antialiasing);
    const QSizeF size = figurePoints();
    painter.fillRect(QRectF(QPointF(0, 0), size), Qt::white);
    const QFontMetricsF text = pointMetrics(TextPoints);
    const QFontMetricsF title = pointMetrics(TitlePoints);
    const QFont textFont = figureFont(TextPoints, painter.device());
    const QFont titleFont = figureFont(TitlePoints, painter.device());

    double top = Margin;
    if (m_figure.caption) {
        const QRectF needed = title.boundingRect(QRectF(Margin, top, size.width() - 2 * Margin, 1e6),
                                                 Qt::AlignHCenter | Qt::TextWordWrap, m_caption);
        painter.setFont(titleFont);
        painter.setPen(Qt::black);
        painter.drawText(QRectF(Margin, top, size.width() - 2 * Margin, needed.height()),
                         Qt::AlignHCenter | Qt::TextWordWrap, m_caption);
        top += needed.height() + 0.5 * title.height();
    } else {
        top += 0.5 * text.height();
    }
    const double yLabelWidth = text.horizontalAdvance(QStringLiteral(".80"));
    const double left = Margin + title.height() + 0.3 * text.height() + yLabelWidth + 3.0;
    const double bottom = size.height() - Margin - title.height() - text.height() - 3.0;
    const double right = size.width() - Margin - text.horizontalAdvance(QStringLiteral("0000")) / 2;
    const QRectF area(QPointF(left, top), QPointF(right, bottom));
    if (area.width() <= 0 || area.height() <= 0) {
        return;
    }
    const double nMin = m_points.empty() ? 0.0 : m_points.front().n;
    const double nMax = m_points.empty() ? 1.0 : std::max(nMin + 1.0, static_cast<double>(m_points.back().n));
    auto xOf = [&](double n) { return area.left() + (n - nMin) / (nMax - nMin) * area.width(); };
    auto yOf = [&](double power) { return area.bottom() - power * area.height(); };

    // The axes, their ticks and labels.
    painter.setFont(textFont);
    painter.setPen(QPen(Qt::black, AxisWidth));
    painter.drawLine(QPointF(area.left(), area.top()), QPointF(area.left(), area.bottom()));
    painter.drawLine(QPointF(area.left(), area.bottom()), QPointF(area.right(), area.bottom()));
    for (int k = 0; k <= 5; ++k) {
        const double power = k / 5.0;
        const double y = yOf(power);
        painter.drawLine(QPointF(area.left() - 3.0, y), QPointF(area.left(), y));
        const QString label = k == 0   ? QStringLiteral("0")
                              : k == 5 ? QStringLiteral("1")
                                       : QString::fromStdString(apaProportion(power, 1));
        painter.drawText(QRectF(Margin, y - text.height() / 2, left - Margin - 4.0, text.height()),
                         Qt::AlignRight | Qt::AlignVCenter, label);
    }
    const double step = tickStep(nMin, nMax, 4);
    for (double t = std::ceil(nMin / step - 1e-9) * step; t <= nMax + step * 1e-9; t += step) {
        const double x = xOf(t);
        painter.drawLine(QPointF(x, area.bottom()), QPointF(x, area.bottom() + 3.0));
        const QString label = QString::number(static_cast<long long>(std::llround(t)));
        const double w = text.horizontalAdvance(label);
        painter.drawText(QRectF(x - w / 2 - 2, area.bottom() + 3.0, w + 4, text.height()), Qt::AlignCenter, label);
    }
    painter.setFont(titleFont);
    painter.drawText(QRectF(area.left(), size.height() - Margin - title.height(), area.width(), title.height()),
                     Qt::AlignCenter, QStringLiteral("N"));
    painter.save();
    painter.translate(Margin, (area.top() + area.bottom()) / 2);
    painter.rotate(-90);
    painter.drawText(QRectF(-area.height() / 2, 0, area.height(), title.height()), Qt::AlignCenter,
                     QStringLiteral("Power"));
    painter.restore();

    // The target power and the chosen N.
    if (m_target) {
        painter.setPen(QPen(QColor(0xd5, 0x5e, 0x00), LineWidth, Qt::DashLine, Qt::FlatCap));
        painter.drawLine(QPointF(area.left(), yOf(*m_target)), QPointF(area.right(), yOf(*m_target)));
    }
    if (m_marked && *m_marked >= nMin && *m_marked <= nMax) {
        painter.setPen(QPen(QColor(0x00, 0x9e, 0x73), LineWidth, Qt::DotLine, Qt::FlatCap));
        painter.drawLine(QPointF(xOf(*m_marked), area.bottom()), QPointF(xOf(*m_marked), area.top()));
    }
    // The curve.
    QPainterPath curve;
    for (std::size_t k = 0; k < m_points.size(); ++k) {
        const QPointF at(xOf(m_points[k].n), yOf(m_points[k].power));
        if (k == 0) {
            curve.moveTo(at);
        } else {
            curve.lineTo(at);
        }
    }
    painter.setPen(QPen(QColor(0x00, 0x72, 0xb2), LineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(curve);
}

} // namespace orvalis
