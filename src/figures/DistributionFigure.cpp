// DistributionFigure: the figure laid out in points, so that its text keeps its printed size on every device.
#include "figures/DistributionFigure.h"

#include "analyses/ApaReport.h"
#include "analyses/FigureText.h"
#include "common/NumberText.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace orvalis {
namespace {

constexpr double Margin = 4.0;        // points round the figure
constexpr double LineWidth = 1.2;     // a marker's line, in points
constexpr double AxisWidth = 0.6;     // the axes and ticks
constexpr double SampleLength = 16.0; // a legend entry's line

// How a line of the interval catalogue is drawn.
Qt::PenStyle penStyle(PlotLine line)
{
    switch (line) {
    case PlotLine::Solid:
        return Qt::SolidLine;
    case PlotLine::Dash:
        return Qt::DashLine;
    case PlotLine::DashDot:
        return Qt::DashDotLine;
    case PlotLine::Dot:
        return Qt::DotLine;
    case PlotLine::DashDotDot:
        return Qt::DashDotDotLine;
    case PlotLine::None:
        break;
    }
    return Qt::NoPen;
}

// A tick of the change's axis, as APA writes proportions: ".10".
QString xTickText(double value, double step)
{
    const int decimals = std::clamp(static_cast<int>(std::ceil(-std::log10(step) - 1e-9)), 1, 12);
    return QString::fromStdString(apaProportion(value, decimals));
}

const QString DeltaR2 = QString::fromUtf8("\u0394R\u00b2");

} // namespace

// Every part's place in points.
struct DistributionFigure::Layout {
    QRectF caption;
    QRectF area;       // the data
    double xTickTop;   // the x tick labels' top
    double xTitleTop;  // "ΔR²"
    double yTitleLeft; // the rotated "Frequency"
    double yLabelRight;
    QRectF legend;
    int legendColumns = 1;
    double legendColumnWidth = 0.0;
    std::vector<double> legendRowTops;
    double yStep = 1.0;
    double yTop = 1.0;
};

DistributionFigure::DistributionFigure(const BootstrapResult& result)
    : Figure(QString::fromLatin1(Title)), m_histogram(MakeHistogram(result.Draws))
{
    for (const FigureMark& mark : figureMarks(result)) {
        const Marker marker{mark.value, QString::fromStdString(mark.legend), QColor::fromRgb(mark.marker.rgb),
                            penStyle(mark.marker.line)};
        (mark.marker.onRequest ? m_requestedMarkers : m_markers).push_back(marker);
    }
    m_caption = QString::fromStdString(modelCaption(result));
    fitRange();
}

void DistributionFigure::fitRange()
{
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

void DistributionFigure::figureChanged(const FigureSpec& before)
{
    // The lines drawn on request (Alf and Graf's) are the last markers when drawn.
    if (m_figure.alfGraf != before.alfGraf && !m_requestedMarkers.empty()) {
        if (m_figure.alfGraf) {
            m_markers.insert(m_markers.end(), m_requestedMarkers.begin(), m_requestedMarkers.end());
        } else {
            m_markers.resize(m_markers.size() - m_requestedMarkers.size());
        }
    }
    fitRange();
}

QString DistributionFigure::description() const
{
    return m_caption;
}

DistributionFigure::Layout DistributionFigure::layout() const
{
    const QSizeF size = figurePoints();
    const QFontMetricsF text = pointMetrics(TextPoints);
    const QFontMetricsF title = pointMetrics(TitlePoints);
    Layout at;
    double top = captionBlock(m_caption, Margin, TextPoints, TitlePoints, at.caption);

    // The legend below the axis title: as many columns as the widest entry allows.
    double widest = 0.0;
    int entries = 0;
    for (const Marker& marker : m_markers) {
        if (!marker.label.isEmpty()) {
            widest = std::max(widest, text.horizontalAdvance(marker.label));
            ++entries;
        }
    }
    const double inner = size.width() - 2 * Margin;
    at.legendColumnWidth = SampleLength + 4.0 + widest + 10.0;
    at.legendColumns = std::clamp(static_cast<int>(inner / at.legendColumnWidth), 1, std::max(entries, 1));
    if (at.legendColumns == 1) {
        at.legendColumnWidth = inner;
    }
    const int rows = (entries + at.legendColumns - 1) / at.legendColumns;
    // An entry wider than the figure wraps onto more lines.
    const double textWidth = at.legendColumnWidth - SampleLength - 4.0;
    double legendHeight = 0.0;
    std::vector<double> rowHeights(static_cast<std::size_t>(rows), text.height());
    int k = 0;
    for (const Marker& marker : m_markers) {
        if (marker.label.isEmpty()) {
            continue;
        }
        const double height =
            text.boundingRect(QRectF(0, 0, textWidth, 1e6), Qt::AlignLeft | Qt::TextWordWrap, marker.label).height();
        double& row = rowHeights[static_cast<std::size_t>(k / at.legendColumns)];
        row = std::max(row, height);
        ++k;
    }
    for (const double height : rowHeights) {
        legendHeight += height + 0.25 * text.height();
    }
    const double legendTop = size.height() - Margin - legendHeight;
    at.legend = QRectF(Margin, legendTop, inner, legendHeight);
    double rowTop = legendTop;
    for (const double height : rowHeights) {
        at.legendRowTops.push_back(rowTop);
        rowTop += height + 0.25 * text.height();
    }

    const double bottom = legendTop - 0.4 * text.height();
    at.xTitleTop = bottom - title.height();
    at.xTickTop = at.xTitleTop - 0.2 * title.height() - text.height();
    const double areaBottom = at.xTickTop - 3.0; // the ticks' length and a gap

    // The y axis: counts with at least four labelled ticks.
    const std::int32_t highest =
        m_histogram.counts.empty()
            ? 1
            : std::max(1, *std::max_element(m_histogram.counts.begin(), m_histogram.counts.end()));
    at.yStep = std::max(1.0, tickStep(0.0, highest, 4));
    at.yTop = std::max(std::ceil(highest / at.yStep), 3.0) * at.yStep;
    const double labelWidth = text.horizontalAdvance(QString::number(static_cast<long long>(at.yTop)));
    at.yTitleLeft = Margin;
    at.yLabelRight = Margin + title.height() + 0.3 * title.height() + labelWidth;
    const double areaLeft = at.yLabelRight + 3.0;
    // Room on the right for half of the last x tick label.
    const double areaRight = size.width() - Margin - text.horizontalAdvance(QStringLiteral(".000")) / 2;
    at.area = QRectF(QPointF(areaLeft, top), QPointF(areaRight, areaBottom));
    return at;
}

QRectF DistributionFigure::plotRect() const
{
    return layout().area;
}

std::vector<double> DistributionFigure::markerPositions() const
{
    const QRectF area = plotRect();
    std::vector<double> x;
    for (const Marker& marker : m_markers) {
        x.push_back(area.left() + (marker.value - m_xMin) / (m_xMax - m_xMin) * area.width());
    }
    // Lines closer than a line's width would hide one another: each such
    // cluster is spread about its middle, a line's width apart, so every line
    // shows (a limit equal to the observed change, a modified limit of 0 beside
    // a traditional limit near 0).
    std::vector<std::size_t> order(x.size());
    for (std::size_t k = 0; k < order.size(); ++k) {
        order[k] = k;
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return x[a] < x[b]; });
    std::vector<double> placed = x;
    std::size_t start = 0;
    while (start < order.size()) {
        std::size_t end = start + 1;
        while (end < order.size() && x[order[end]] - x[order[end - 1]] < LineWidth * 1.5) {
            ++end;
        }
        if (end - start > 1) {
            double middle = 0.0;
            for (std::size_t k = start; k < end; ++k) {
                middle += x[order[k]];
            }
            middle /= static_cast<double>(end - start);
            const double first = middle - LineWidth * 1.5 * static_cast<double>(end - start - 1) / 2.0;
            for (std::size_t k = start; k < end; ++k) {
                placed[order[k]] = first + LineWidth * 1.5 * static_cast<double>(k - start);
            }
        }
        start = end;
    }
    return placed;
}

void DistributionFigure::paintFigure(QPainter& painter) const
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    const QSizeF size = figurePoints();
    const Layout at = layout();
    const QRectF& area = at.area;
    const QFont text = figureFont(TextPoints, painter.device());
    const QFont title = figureFont(TitlePoints, painter.device());
    const QFontMetricsF textMetrics = pointMetrics(TextPoints);
    painter.fillRect(QRectF(QPointF(0, 0), size), Qt::white);
    auto xOf = [&](double v) { return area.left() + (v - m_xMin) / (m_xMax - m_xMin) * area.width(); };
    auto yOf = [&](double count) { return area.bottom() - count / at.yTop * area.height(); };

    painter.setPen(Qt::black);
    if (m_figure.caption) {
        painter.setFont(title);
        painter.drawText(at.caption, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, m_caption);
    }

    // Bars, drawn first so that the lines lie on them.
    painter.setPen(QPen(barColor().darker(160), 0.4));
    painter.setBrush(barColor());
    for (std::size_t k = 0; k < m_histogram.counts.size(); ++k) {
        if (m_histogram.counts[k] == 0) {
            continue;
        }
        const double from = m_histogram.lower + m_histogram.width * static_cast<double>(k);
        painter.drawRect(QRectF(QPointF(xOf(from), yOf(m_histogram.counts[k])),
                                QPointF(xOf(from + m_histogram.width), area.bottom())));
    }
    painter.setBrush(Qt::NoBrush);

    // Axes, ticks and their labels.
    painter.setPen(QPen(Qt::black, AxisWidth, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(area.bottomLeft(), area.bottomRight());
    painter.drawLine(area.bottomLeft(), area.topLeft());
    painter.setFont(text);
    // A change of R^2 below 0 cannot be: no tick there when every value is at least 0.
    const double tickFrom = m_xMin < 0.0 && m_histogram.lower >= 0.0 ? 0.0 : m_xMin;
    const double xStep = tickStep(tickFrom, m_xMax, 4);
    for (double t = std::ceil(tickFrom / xStep - 1e-9) * xStep; t <= m_xMax + xStep * 1e-9; t += xStep) {
        const double x = xOf(t);
        painter.drawLine(QPointF(x, area.bottom()), QPointF(x, area.bottom() + 2.5));
        painter.drawText(QRectF(x - 30, at.xTickTop, 60, textMetrics.height()), Qt::AlignHCenter | Qt::AlignTop,
                         xTickText(std::abs(t) < xStep * 1e-9 ? 0.0 : t, xStep));
    }
    for (double c = 0; c <= at.yTop + 0.5; c += at.yStep) {
        const double y = yOf(c);
        painter.drawLine(QPointF(area.left() - 2.5, y), QPointF(area.left(), y));
        painter.drawText(QRectF(at.yLabelRight - 60, y - textMetrics.height() / 2, 60, textMetrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, QString::number(static_cast<long long>(c)));
    }
    painter.setFont(title);
    const QFontMetricsF titleMetrics = pointMetrics(TitlePoints);
    painter.drawText(QRectF(area.left(), at.xTitleTop, area.width(), titleMetrics.height()), Qt::AlignHCenter, DeltaR2);
    painter.save();
    painter.translate(at.yTitleLeft, area.center().y());
    painter.rotate(-90);
    painter.drawText(QRectF(-area.height() / 2, 0, area.height(), titleMetrics.height()), Qt::AlignHCenter,
                     QStringLiteral("Frequency"));
    painter.restore();

    // Marker lines, then the legend.
    const std::vector<double> placed = markerPositions();
    for (std::size_t k = 0; k < m_markers.size(); ++k) {
        painter.setPen(QPen(m_markers[k].color, LineWidth, m_markers[k].style, Qt::FlatCap));
        painter.drawLine(QPointF(placed[k], area.top()), QPointF(placed[k], area.bottom()));
    }
    painter.setFont(text);
    const double textWidth = at.legendColumnWidth - SampleLength - 4.0;
    int entry = 0;
    for (const Marker& marker : m_markers) {
        if (marker.label.isEmpty()) {
            continue;
        }
        const double left = at.legend.left() + at.legendColumnWidth * (entry % at.legendColumns);
        const double top = at.legendRowTops[static_cast<std::size_t>(entry / at.legendColumns)];
        const double middle = top + textMetrics.height() / 2;
        painter.setPen(QPen(marker.color, LineWidth, marker.style, Qt::FlatCap));
        painter.drawLine(QPointF(left, middle), QPointF(left + SampleLength, middle));
        painter.setPen(Qt::black);
        painter.drawText(QRectF(left + SampleLength + 4.0, top, textWidth, 1e4), Qt::AlignLeft | Qt::TextWordWrap,
                         marker.label);
        ++entry;
    }
    painter.restore();
}

} // namespace orvalis
