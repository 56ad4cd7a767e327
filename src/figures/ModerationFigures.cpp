// ModerationFigures: the simple slopes and the Johnson-Neyman figure laid out in points, so that their text keeps its
// printed size on every device.
#include "figures/ModerationFigures.h"

#include "analyses/CoefficientsReport.h"
#include "common/NumberText.h"
#include "common/TextEscape.h"
#include "data/DataSet.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <limits>

namespace orvalis {
namespace {

constexpr double Margin = 4.0;        // points round the figure
constexpr double AxisWidth = 0.6;     // the axes, ticks and the line at 0
constexpr double SampleLength = 16.0; // a legend entry's line or swatch

// Okabe and Ito's colours, which readers with any colour vision tell apart
// (their yellow left out: too pale on white), and the dash patterns that keep
// the lines apart in greyscale print. The mean's line is solid when there are three.
const QColor LineColors[] = {QColor(0x00, 0x72, 0xb2), QColor(0xd5, 0x5e, 0x00), QColor(0x00, 0x9e, 0x73),
                             QColor(0xcc, 0x79, 0xa7), QColor(0xe6, 0x9f, 0x00), QColor(0x56, 0xb4, 0xe9),
                             QColor(0x00, 0x00, 0x00)};
constexpr Qt::PenStyle LineStyles[] = {Qt::DashLine, Qt::SolidLine, Qt::DotLine, Qt::DashDotLine, Qt::DashDotDotLine};

// The round ticks inside [low, high].
std::vector<double> ticksOf(double low, double high)
{
    const double step = Figure::tickStep(low, high, 4);
    std::vector<double> ticks;
    for (double k = std::ceil(low / step - 1e-9); k * step <= high + step * 1e-9; k += 1.0) {
        ticks.push_back(k * step);
    }
    return ticks;
}

// The step ticksOf takes.
double tickStepOf(double low, double high)
{
    return Figure::tickStep(low, high, 4);
}

QString stepText(const ModerationResult& moderation)
{
    return QStringLiteral("the model of step %1").arg(static_cast<qulonglong>(moderation.step) + 1);
}

} // namespace

std::string figureNumber(double value)
{
    if (value == 0.0 || !std::isfinite(value)) {
        return "0";
    }
    const int decimals = std::clamp(3 - static_cast<int>(std::floor(std::log10(std::abs(value)))), 0, 12);
    std::string text = formatFixed(value, decimals);
    if (text.find('.') != std::string::npos) {
        while (text.back() == '0') {
            text.pop_back();
        }
        if (text.back() == '.') {
            text.pop_back();
        }
    }
    return text == "-0" ? "0" : text;
}

std::vector<SlopeBandPoint> johnsonNeymanGrid(const ModerationResult& moderation, int count)
{
    count = std::max(count, 2);
    std::vector<SlopeBandPoint> grid;
    grid.reserve(static_cast<std::size_t>(count));
    const double low = moderation.moderatorMin;
    const double high = moderation.moderatorMax;
    for (int k = 0; k < count; ++k) {
        // The last value is the maximum itself, not a sum that may miss it.
        const double at = k + 1 == count ? high : low + (high - low) * k / (count - 1);
        const ModerationResult::SlopeAt slope = moderation.slopeAt(at);
        grid.push_back({at, slope.B, slope.SE, slope.B - moderation.critical * slope.SE,
                        slope.B + moderation.critical * slope.SE});
    }
    return grid;
}

std::string FormatSimpleSlopesCsv(const ModerationResult& moderation)
{
    std::string csv = "moderator,value,intercept,B\n";
    for (const SimpleSlope& slope : moderation.slopes) {
        csv += csvField(slopePointText(moderation, slope)) + "," + shortestNumber(slope.at) + ","
               + shortestNumber(slope.intercept) + "," + shortestNumber(slope.B) + "\n";
    }
    return csv;
}

std::string FormatJohnsonNeymanCsv(const ModerationResult& moderation)
{
    std::string csv = "moderator,B,SE,lower,upper\n";
    for (const SlopeBandPoint& point : johnsonNeymanGrid(moderation)) {
        csv += shortestNumber(point.at) + "," + shortestNumber(point.B) + "," + shortestNumber(point.SE) + ","
               + shortestNumber(point.lower) + "," + shortestNumber(point.upper) + "\n";
    }
    return csv;
}

// Every part's place in points.
struct ModerationFigure::Layout {
    QRectF caption;
    QRectF area;        // the data
    double xTickTop;    // the x tick labels' top
    double xTitleTop;   // the x axis title's top
    double yTitleLeft;  // the rotated y axis title's left
    double yLabelRight; // the y tick labels' right edge
    QRectF legend;
    double legendTitleTop = 0.0;
    int legendColumns = 1;
    double legendColumnWidth = 0.0;
    std::vector<double> legendRowTops;
};

const char* ModerationFigure::titleOf(ModerationFigureKind kind)
{
    switch (kind) {
    case ModerationFigureKind::SimpleSlopes:
        return "Simple Slopes";
    case ModerationFigureKind::JohnsonNeyman:
        return "Johnson-Neyman";
    }
    return "";
}

std::unique_ptr<ModerationFigure> ModerationFigure::make(const HierarchicalResult& result, ModerationFigureKind kind)
{
    if (!result.Moderation) {
        return nullptr;
    }
    switch (kind) {
    case ModerationFigureKind::SimpleSlopes:
        return std::make_unique<SimpleSlopesFigure>(result);
    case ModerationFigureKind::JohnsonNeyman:
        if (result.Moderation->categoricalModerator || !result.Moderation->johnsonNeyman) {
            return nullptr;
        }
        return std::make_unique<JohnsonNeymanFigure>(result);
    }
    return nullptr;
}

ModerationFigure::ModerationFigure(ModerationFigureKind kind) : Figure(QString::fromLatin1(titleOf(kind)))
{
}

void ModerationFigure::setRanges(double xLow, double xHigh, double yLow, double yHigh)
{
    if (!(xHigh > xLow)) {
        xLow -= 0.5;
        xHigh += 0.5;
    }
    if (!(yHigh > yLow)) {
        const double half = std::max(std::abs(yLow) * 0.05, 0.5);
        yLow -= half;
        yHigh += half;
    }
    const double pad = (yHigh - yLow) * 0.05;
    m_xMin = xLow;
    m_xMax = xHigh;
    m_yMin = yLow - pad;
    m_yMax = yHigh + pad;
}

ModerationFigure::Layout ModerationFigure::layout() const
{
    const QSizeF size = figurePoints();
    const QFontMetricsF text = pointMetrics(TextPoints);
    const QFontMetricsF title = pointMetrics(TitlePoints);
    Layout at;
    double top = captionBlock(m_caption, Margin, TextPoints, TitlePoints, at.caption);

    // The legend at the bottom: its title, then as many columns as the widest entry allows.
    double widest = 0.0;
    for (const LegendEntry& entry : m_legend) {
        widest = std::max(widest, text.horizontalAdvance(entry.label));
    }
    const double inner = size.width() - 2 * Margin;
    const int entries = static_cast<int>(m_legend.size());
    at.legendColumnWidth = SampleLength + 4.0 + widest + 10.0;
    at.legendColumns = std::clamp(static_cast<int>(inner / at.legendColumnWidth), 1, std::max(entries, 1));
    if (at.legendColumns == 1) {
        at.legendColumnWidth = inner;
    }
    const int rows = (entries + at.legendColumns - 1) / at.legendColumns;
    // An entry wider than the figure wraps onto more lines.
    const double textWidth = at.legendColumnWidth - SampleLength - 4.0;
    std::vector<double> rowHeights(static_cast<std::size_t>(rows), text.height());
    for (int k = 0; k < entries; ++k) {
        const double height = text.boundingRect(QRectF(0, 0, textWidth, 1e6), Qt::AlignLeft | Qt::TextWordWrap,
                                                m_legend[static_cast<std::size_t>(k)].label)
                                  .height();
        double& row = rowHeights[static_cast<std::size_t>(k / at.legendColumns)];
        row = std::max(row, height);
    }
    double legendHeight = m_legendTitle.isEmpty() ? 0.0 : text.height() + 0.25 * text.height();
    for (const double height : rowHeights) {
        legendHeight += height + 0.25 * text.height();
    }
    const double legendTop = size.height() - Margin - legendHeight;
    at.legend = QRectF(Margin, legendTop, inner, legendHeight);
    at.legendTitleTop = legendTop;
    double rowTop = legendTop + (m_legendTitle.isEmpty() ? 0.0 : 1.25 * text.height());
    for (const double height : rowHeights) {
        at.legendRowTops.push_back(rowTop);
        rowTop += height + 0.25 * text.height();
    }

    const double bottom = legendTop - 0.4 * text.height();
    at.xTitleTop = bottom - title.height();
    at.xTickTop = at.xTitleTop - 0.2 * title.height() - text.height();
    const double areaBottom = at.xTickTop - 3.0; // the ticks' length and a gap

    // The y tick labels' widest.
    double labelWidth = 0.0;
    const double yStep = tickStepOf(m_yMin, m_yMax);
    for (const double tick : ticksOf(m_yMin, m_yMax)) {
        labelWidth = std::max(labelWidth, text.horizontalAdvance(figureTickText(tick, yStep)));
    }
    at.yTitleLeft = Margin;
    at.yLabelRight = Margin + title.height() + 0.3 * title.height() + labelWidth;
    const double areaLeft = at.yLabelRight + 3.0;
    // Room on the right for half of the last x tick label.
    const std::vector<double> xTicks = ticksOf(m_xMin, m_xMax);
    const double lastLabel =
        xTicks.empty() ? 0.0 : text.horizontalAdvance(figureTickText(xTicks.back(), tickStepOf(m_xMin, m_xMax)));
    const double areaRight =
        size.width() - Margin - std::max(lastLabel, text.horizontalAdvance(QStringLiteral("0.0"))) / 2;
    at.area = QRectF(QPointF(areaLeft, top), QPointF(areaRight, areaBottom));
    return at;
}

QRectF ModerationFigure::plotRect() const
{
    return layout().area;
}

void ModerationFigure::paintFigure(QPainter& painter) const
{
    const Layout at = layout();
    const QRectF& area = at.area;
    if (!beginPaint(painter, m_caption, at.caption, area, TitlePoints)) {
        return;
    }
    const QFont text = figureFont(TextPoints, painter.device());
    const QFont title = figureFont(TitlePoints, painter.device());
    const QFontMetricsF textMetrics = pointMetrics(TextPoints);
    const QFontMetricsF titleMetrics = pointMetrics(TitlePoints);

    painter.save();
    painter.setFont(text);
    paintData(painter, area);
    painter.restore();

    // Axes, ticks and their labels.
    painter.setPen(QPen(Qt::black, AxisWidth, Qt::SolidLine, Qt::FlatCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawLine(area.bottomLeft(), area.bottomRight());
    painter.drawLine(area.bottomLeft(), area.topLeft());
    painter.setFont(text);
    const double xStep = tickStepOf(m_xMin, m_xMax);
    for (const double tick : ticksOf(m_xMin, m_xMax)) {
        const double x = xOf(tick, area);
        painter.drawLine(QPointF(x, area.bottom()), QPointF(x, area.bottom() + 2.5));
        painter.drawText(QRectF(x - 30, at.xTickTop, 60, textMetrics.height()), Qt::AlignHCenter | Qt::AlignTop,
                         figureTickText(tick, xStep));
    }
    const double yStep = tickStepOf(m_yMin, m_yMax);
    for (const double tick : ticksOf(m_yMin, m_yMax)) {
        const double y = yOf(tick, area);
        painter.drawLine(QPointF(area.left() - 2.5, y), QPointF(area.left(), y));
        painter.drawText(QRectF(at.yLabelRight - 60, y - textMetrics.height() / 2, 60, textMetrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, figureTickText(tick, yStep));
    }
    painter.setFont(title);
    painter.drawText(QRectF(area.left(), at.xTitleTop, area.width(), titleMetrics.height()), Qt::AlignHCenter,
                     m_xTitle);
    painter.save();
    painter.translate(at.yTitleLeft, area.center().y());
    painter.rotate(-90);
    painter.drawText(QRectF(-area.height() / 2, 0, area.height(), titleMetrics.height()), Qt::AlignHCenter, m_yTitle);
    painter.restore();

    // The legend.
    painter.setFont(text);
    if (!m_legendTitle.isEmpty()) {
        painter.setPen(Qt::black);
        painter.drawText(QRectF(at.legend.left(), at.legendTitleTop, at.legend.width(), textMetrics.height()),
                         Qt::AlignLeft | Qt::AlignTop, m_legendTitle);
    }
    const double textWidth = at.legendColumnWidth - SampleLength - 4.0;
    for (std::size_t k = 0; k < m_legend.size(); ++k) {
        const LegendEntry& entry = m_legend[k];
        const int column = static_cast<int>(k) % at.legendColumns;
        const double left = at.legend.left() + at.legendColumnWidth * column;
        const double top = at.legendRowTops[k / static_cast<std::size_t>(at.legendColumns)];
        const double middle = top + textMetrics.height() / 2;
        if (entry.fill) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(entry.color);
            painter.drawRect(
                QRectF(left, middle - 0.3 * textMetrics.height(), SampleLength, 0.6 * textMetrics.height()));
            painter.setBrush(Qt::NoBrush);
        } else {
            painter.setPen(QPen(entry.color, LineWidth, entry.style, Qt::FlatCap));
            painter.drawLine(QPointF(left, middle), QPointF(left + SampleLength, middle));
        }
        painter.setPen(Qt::black);
        painter.drawText(QRectF(left + SampleLength + 4.0, top, textWidth, 1e4), Qt::AlignLeft | Qt::TextWordWrap,
                         entry.label);
    }
    painter.restore();
}

SimpleSlopesFigure::SimpleSlopesFigure(const HierarchicalResult& result)
    : ModerationFigure(ModerationFigureKind::SimpleSlopes)
{
    const ModerationResult& moderation = *result.Moderation;
    const QString focal = figureVariableName(moderation.request.focal, result.VariableNames);
    const QString moderator = figureVariableName(moderation.request.moderator, result.VariableNames);
    const QString dependent = figureVariableName(result.request.DependentVariable.value_or(0), result.VariableNames);
    m_caption =
        QStringLiteral("Simple slopes of %1 at values of %2, from %3").arg(focal, moderator, stepText(moderation));
    m_xTitle = focal;
    m_yTitle = QStringLiteral("Predicted %1").arg(dependent);
    m_legendTitle = moderator;
    m_focalMin = moderation.focalMin;
    m_focalMax = moderation.focalMax;
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    std::size_t k = 0;
    for (const SimpleSlope& slope : moderation.slopes) {
        const Line line{slope.intercept, slope.B, LineColors[k % std::size(LineColors)],
                        LineStyles[k % std::size(LineStyles)]};
        m_lines.push_back(line);
        QString label = QString::fromStdString(slopePointText(moderation, slope));
        if (!moderation.categoricalModerator) {
            label += QStringLiteral(" (%1)").arg(QString::fromStdString(figureNumber(slope.at)));
        }
        m_legend.push_back({label, line.color, line.style, false});
        for (const double x : {m_focalMin, m_focalMax}) {
            const double y = line.intercept + line.B * x;
            low = std::min(low, y);
            high = std::max(high, y);
        }
        ++k;
    }
    if (m_lines.empty()) {
        low = 0.0;
        high = 1.0;
    }
    setRanges(m_focalMin, m_focalMax, low, high);
}

void SimpleSlopesFigure::paintData(QPainter& painter, const QRectF& area) const
{
    for (const Line& line : m_lines) {
        painter.setPen(QPen(line.color, LineWidth, line.style, Qt::FlatCap));
        painter.drawLine(QPointF(xOf(m_focalMin, area), yOf(line.intercept + line.B * m_focalMin, area)),
                         QPointF(xOf(m_focalMax, area), yOf(line.intercept + line.B * m_focalMax, area)));
    }
}

JohnsonNeymanFigure::JohnsonNeymanFigure(const HierarchicalResult& result)
    : ModerationFigure(ModerationFigureKind::JohnsonNeyman)
{
    const ModerationResult& moderation = *result.Moderation;
    const QString focal = figureVariableName(moderation.request.focal, result.VariableNames);
    const QString moderator = figureVariableName(moderation.request.moderator, result.VariableNames);
    const int percent = percentOf(moderation.level);
    m_caption = QStringLiteral("The slope of %1 across %2 with its %3% confidence band, from %4")
                    .arg(focal, moderator)
                    .arg(percent)
                    .arg(stepText(moderation));
    m_xTitle = moderator;
    m_yTitle = QStringLiteral("Slope of %1").arg(focal);
    m_grid = johnsonNeymanGrid(moderation);
    double low = 0.0; // the line at 0 always shows
    double high = 0.0;
    for (const SlopeBandPoint& point : m_grid) {
        low = std::min(low, point.lower);
        high = std::max(high, point.upper);
    }
    setRanges(moderation.moderatorMin, moderation.moderatorMax, low, high);

    // The pieces between the bounds where the slope is significant, cut to the observed range.
    const JohnsonNeyman& jn = *moderation.johnsonNeyman;
    for (std::size_t piece = 0; piece < jn.significant.size(); ++piece) {
        if (!jn.significant[piece]) {
            continue;
        }
        const double from =
            piece == 0 ? moderation.moderatorMin : std::max(jn.bounds[piece - 1], moderation.moderatorMin);
        const double to =
            piece == jn.bounds.size() ? moderation.moderatorMax : std::min(jn.bounds[piece], moderation.moderatorMax);
        if (to > from) {
            m_regions.emplace_back(from, to);
        }
    }
    for (const double bound : jn.bounds) {
        if (bound >= moderation.moderatorMin && bound <= moderation.moderatorMax) {
            m_bounds.push_back(bound);
        }
    }

    m_legend.push_back({QStringLiteral("Slope of %1").arg(focal), slopeColor(), Qt::SolidLine, false});
    QColor band = bandColor();
    band.setAlpha(0x66);
    m_legend.push_back({QStringLiteral("%1% confidence band").arg(percent), band, Qt::SolidLine, true});
    if (!m_regions.empty()) {
        m_legend.push_back(
            {QStringLiteral("Significant at the %1% level").arg(100 - percent), regionColor(), Qt::SolidLine, true});
    }
    if (!m_bounds.empty()) {
        m_legend.push_back({QStringLiteral("Johnson-Neyman bound"), boundColor(), Qt::DotLine, false});
    }
}

void JohnsonNeymanFigure::paintData(QPainter& painter, const QRectF& area) const
{
    // The significant regions first, under everything else.
    for (const auto& [from, to] : m_regions) {
        painter.fillRect(QRectF(QPointF(xOf(from, area), area.top()), QPointF(xOf(to, area), area.bottom())),
                         regionColor());
    }
    // The band: the area between its limits, then its edges.
    QPolygonF band;
    QPolygonF lower;
    QPolygonF upper;
    QPolygonF slope;
    for (const SlopeBandPoint& point : m_grid) {
        upper << QPointF(xOf(point.at, area), yOf(point.upper, area));
        lower << QPointF(xOf(point.at, area), yOf(point.lower, area));
        slope << QPointF(xOf(point.at, area), yOf(point.B, area));
    }
    band = upper;
    for (auto it = lower.crbegin(); it != lower.crend(); ++it) {
        band << *it;
    }
    QColor fill = bandColor();
    fill.setAlpha(0x66);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawPolygon(band);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(bandColor(), 0.6, Qt::SolidLine, Qt::FlatCap));
    painter.drawPolyline(upper);
    painter.drawPolyline(lower);

    // The line at 0.
    painter.setPen(QPen(Qt::black, AxisWidth, Qt::DashLine, Qt::FlatCap));
    painter.drawLine(QPointF(area.left(), yOf(0.0, area)), QPointF(area.right(), yOf(0.0, area)));

    painter.setPen(QPen(slopeColor(), LineWidth, Qt::SolidLine, Qt::FlatCap));
    painter.drawPolyline(slope);

    // Each bound inside the range, with its value at the top.
    const QFontMetricsF metrics = pointMetrics(TextPoints);
    for (const double bound : m_bounds) {
        const double x = xOf(bound, area);
        painter.setPen(QPen(boundColor(), LineWidth, Qt::DotLine, Qt::FlatCap));
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        const QString label = QString::fromStdString(figureNumber(bound));
        const double width = metrics.horizontalAdvance(label) + 2.0;
        // Right of the line unless it would leave the area.
        const bool right = x + 2.0 + width <= area.right();
        const QRectF box = right ? QRectF(x + 2.0, area.top() + 1.0, width, metrics.height())
                                 : QRectF(x - 2.0 - width, area.top() + 1.0, width, metrics.height());
        painter.setPen(Qt::black);
        painter.drawText(box, (right ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignTop, label);
    }
}

} // namespace orvalis
