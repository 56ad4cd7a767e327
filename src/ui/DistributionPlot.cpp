// DistributionPlot: axes with tick labels in the program's number text, bars, marker lines and a legend.
#include "ui/DistributionPlot.h"

#include "analyses/BootstrapReport.h"
#include "common/NumberText.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>

namespace orvalis {
namespace {

// A round step (1, 2 or 5 times a power of ten) giving about `count` ticks over range.
double niceStep(double range, int count)
{
    const double raw = range / count;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * power >= raw) {
            return factor * power;
        }
    }
    return 10.0 * power;
}

// A tick value as the program writes numbers, with as many decimals as the step needs.
QString tickText(double value, double step)
{
    const int decimals = std::clamp(static_cast<int>(-std::floor(std::log10(step))), 0, 12);
    const double rounded = roundHalfEven(value, decimals);
    return QString::fromStdString(formatDouble(rounded == 0.0 ? 0.0 : rounded));
}

} // namespace

DistributionPlot::DistributionPlot(const BootstrapResult& result, QWidget* parent)
    : QWidget(parent), m_histogram(MakeHistogram(result.Draws))
{
    setObjectName("plotDistribution");
    setMinimumSize(360, 240);
    const QString percent = QString::number(percentOf(result.request.Level));
    if (result.DeltaR2) {
        m_markers.push_back({*result.DeltaR2, QStringLiteral("Observed change"), Qt::black, Qt::SolidLine});
    }
    const QColor traditionalColour(0x1f, 0x4e, 0xb4);
    const Interval* traditional = result.interval(IntervalKind::Traditional);
    if (traditional != nullptr && traditional->lower && traditional->upper) {
        m_markers.push_back({*traditional->lower, QStringLiteral("Traditional limits (%1%)").arg(percent),
                             traditionalColour, Qt::DashLine});
        m_markers.push_back({*traditional->upper, QString(), traditionalColour, Qt::DashLine});
    }
    // The modified lower limit gets its own line where it differs from the
    // traditional one (it is then 0: the F test is not significant).
    const Interval* modified = result.interval(IntervalKind::Modified);
    if (modified != nullptr && modified->lower && traditional != nullptr && modified->lower != traditional->lower) {
        m_markers.push_back({*modified->lower, QStringLiteral("Modified lower limit: 0 (F test not significant)"),
                             QColor(0xc0, 0x20, 0x20), Qt::DashDotLine});
    }
    const Interval* bca = result.interval(IntervalKind::BCa);
    if (bca != nullptr && bca->lower && bca->upper) {
        const QColor bcaColour(0x1a, 0x8a, 0x3a);
        m_markers.push_back({*bca->lower, QStringLiteral("BCa limits"), bcaColour, Qt::DotLine});
        m_markers.push_back({*bca->upper, QString(), bcaColour, Qt::DotLine});
    }
    m_title = QStringLiteral("Change in R^2: %1\n%2% level, %3 attempted and %4 valid trials")
                  .arg(QString::fromStdString(DescribeModel(result)), percent)
                  .arg(result.request.NumTrials)
                  .arg(result.NumValid);

    double low = m_histogram.counts.empty() ? 0.0 : m_histogram.lower;
    double high = m_histogram.counts.empty() ? 1.0 : m_histogram.upper();
    for (const Marker& marker : m_markers) {
        low = std::min(low, marker.value);
        high = std::max(high, marker.value);
    }
    const double pad = (high - low) * 0.03;
    m_xMin = low - pad;
    m_xMax = high + pad;
}

QRectF DistributionPlot::plotRect(const QRectF& bounds) const
{
    const QFontMetricsF metrics(font());
    const qreal line = metrics.height();
    const qreal left = metrics.horizontalAdvance(QStringLiteral("00000")) + line;
    return bounds.adjusted(left, 2.6 * line, -line, -2.8 * line);
}

void DistributionPlot::paint(QPainter& painter, const QRectF& bounds) const
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setFont(font());
    painter.fillRect(bounds, Qt::white);
    const QRectF area = plotRect(bounds);
    const QFontMetricsF metrics(font());
    const qreal line = metrics.height();
    auto xOf = [&](double v) { return area.left() + (v - m_xMin) / (m_xMax - m_xMin) * area.width(); };

    painter.setPen(Qt::black);
    painter.drawText(QRectF(bounds.left(), bounds.top() + 0.2 * line, bounds.width(), 2.2 * line),
                     Qt::AlignHCenter | Qt::AlignTop, m_title);

    // Bars, drawn first so that the lines lie on them.
    const std::int32_t highest =
        m_histogram.counts.empty()
            ? 1
            : std::max(1, *std::max_element(m_histogram.counts.begin(), m_histogram.counts.end()));
    const double yStep = std::max(1.0, std::round(niceStep(highest, 4)));
    const double yTop = std::ceil(highest / yStep) * yStep;
    auto yOf = [&](double count) { return area.bottom() - count / yTop * area.height(); };
    painter.setPen(QPen(barColor().darker(140), 0));
    painter.setBrush(barColor());
    for (std::size_t k = 0; k < m_histogram.counts.size(); ++k) {
        if (m_histogram.counts[k] == 0) {
            continue;
        }
        const double from = m_histogram.lower + m_histogram.width * static_cast<double>(k);
        const QPointF topLeft(xOf(from), yOf(m_histogram.counts[k]));
        const QPointF bottomRight(xOf(from + m_histogram.width), area.bottom());
        painter.drawRect(QRectF(topLeft, bottomRight));
    }
    painter.setBrush(Qt::NoBrush);

    // Axes and ticks.
    painter.setPen(QPen(Qt::black, 0));
    painter.drawLine(area.bottomLeft(), area.bottomRight());
    painter.drawLine(area.bottomLeft(), area.topLeft());
    const double xStep = niceStep(m_xMax - m_xMin, 5);
    for (double t = std::ceil(m_xMin / xStep) * xStep; t <= m_xMax + xStep * 1e-9; t += xStep) {
        const qreal x = xOf(t);
        painter.drawLine(QPointF(x, area.bottom()), QPointF(x, area.bottom() + 0.3 * line));
        painter.drawText(QRectF(x - 3 * line, area.bottom() + 0.35 * line, 6 * line, line), Qt::AlignHCenter,
                         tickText(t, xStep));
    }
    for (double c = 0; c <= yTop + 0.5; c += yStep) {
        const qreal y = yOf(c);
        painter.drawLine(QPointF(area.left() - 0.3 * line, y), QPointF(area.left(), y));
        painter.drawText(QRectF(bounds.left(), y - line / 2, area.left() - bounds.left() - 0.4 * line, line),
                         Qt::AlignRight | Qt::AlignVCenter, QString::number(static_cast<long long>(c)));
    }
    painter.drawText(QRectF(area.left(), area.bottom() + 1.4 * line, area.width(), line), Qt::AlignHCenter,
                     QStringLiteral("Change in R^2 (valid trials; y: count)"));

    // Marker lines and the legend.
    qreal legendY = area.top() + 0.3 * line;
    for (const Marker& marker : m_markers) {
        painter.setPen(QPen(marker.color, 2, marker.style, Qt::FlatCap));
        const qreal x = xOf(marker.value);
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        if (marker.label.isEmpty()) {
            continue;
        }
        const qreal textWidth = metrics.horizontalAdvance(marker.label);
        const qreal right = area.right() - 0.3 * line;
        painter.drawLine(QPointF(right - textWidth - 2.6 * line, legendY + line / 2),
                         QPointF(right - textWidth - 0.6 * line, legendY + line / 2));
        painter.setPen(Qt::black);
        painter.drawText(QRectF(right - textWidth, legendY, textWidth, line), Qt::AlignLeft | Qt::AlignVCenter,
                         marker.label);
        legendY += 1.2 * line;
    }
    painter.restore();
}

void DistributionPlot::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paint(painter, rect());
}

QImage DistributionPlot::toImage(QSize size, qreal scale) const
{
    QImage image(size * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::white);
    QPainter painter(&image);
    paint(painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

QByteArray DistributionPlot::toSvg(QSize size) const
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(size);
    generator.setViewBox(QRect(QPoint(0, 0), size));
    generator.setTitle(QStringLiteral("Bootstrap Distribution"));
    QPainter painter(&generator);
    paint(painter, QRectF(QPointF(0, 0), QSizeF(size)));
    painter.end();
    return bytes;
}

} // namespace orvalis
