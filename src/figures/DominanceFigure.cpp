// DominanceFigure: the bars laid out in points, a row per unit, so that the text keeps its printed size on every
// device.
#include "figures/DominanceFigure.h"

#include "common/NumberText.h"
#include "common/TextEscape.h"
#include "data/DataSet.h"

#include <QPainter>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace orvalis {
namespace {

constexpr double Margin = 4.0;    // points round the figure
constexpr double AxisWidth = 0.6; // the axis and its ticks
constexpr double IntervalWidth = 0.9;
constexpr double BarShare = 0.6;  // of a row's height
constexpr double CapShare = 0.35; // an interval's end marks, of a row's height
// The unit names take at most this share of the figure's width; a longer one is elided.
constexpr double MaxLabelShare = 0.4;

QString unitLabel(const DominanceResult& result, std::size_t u)
{
    const DominanceUnit& unit = result.units[u];
    if (!unit.name.empty()) {
        return QString::fromStdString(escapeControlCharacters(unit.name));
    }
    return figureVariableName(unit.variables.empty() ? 0 : unit.variables.front(), result.VariableNames);
}

std::vector<DominanceFigure::Bar> barsOf(const DominanceResult& result)
{
    std::vector<DominanceFigure::Bar> bars;
    for (std::size_t u = 0; u < result.units.size(); ++u) {
        DominanceFigure::Bar bar;
        bar.unit = u;
        bar.label = unitLabel(result, u);
        bar.weight = u < result.observed.general.size() ? result.observed.general[u] : 0.0;
        if (u < result.generalPercentile.size()) {
            bar.lower = result.generalPercentile[u].lower;
            bar.upper = result.generalPercentile[u].upper;
        }
        bars.push_back(bar);
    }
    std::stable_sort(bars.begin(), bars.end(), [](const auto& a, const auto& b) { return a.weight > b.weight; });
    return bars;
}

constexpr int TickCount = 4;

} // namespace

std::string FormatDominanceFigureCsv(const DominanceResult& result)
{
    std::string csv = "unit,general,lower,upper,share\n";
    for (const DominanceFigure::Bar& bar : barsOf(result)) {
        const double share = bar.unit < result.observed.share.size() ? result.observed.share[bar.unit] : 0.0;
        csv += csvField(bar.label.toStdString()) + "," + shortestNumber(bar.weight) + ","
               + (bar.lower ? shortestNumber(*bar.lower) : std::string()) + ","
               + (bar.upper ? shortestNumber(*bar.upper) : std::string()) + "," + shortestNumber(share) + "\n";
    }
    return csv;
}

DominanceFigure::DominanceFigure(const DominanceResult& result)
    : Figure(QString::fromLatin1(Title)), m_bars(barsOf(result))
{
    const int percent = percentOf(result.request.Level);
    m_axisTitle = QStringLiteral("General dominance weight (R\u00b2)");
    m_note = QStringLiteral("Lines: %1% percentile intervals").arg(percent);
    m_caption = QStringLiteral("General dominance weights in predicting %1, with their %2% percentile intervals "
                               "from %3 valid bootstrap trials")
                    .arg(figureVariableName(result.request.DependentVariable.value_or(0), result.VariableNames))
                    .arg(percent)
                    .arg(result.NumValid);
    if (!result.request.Covariates.empty()) {
        QStringList covariates;
        for (const std::int32_t v : result.request.Covariates) {
            covariates << figureVariableName(v, result.VariableNames);
        }
        m_caption += QStringLiteral(", beyond %1").arg(covariates.join(QStringLiteral(", ")));
    }

    double low = 0.0;
    double high = 0.0;
    for (const Bar& bar : m_bars) {
        for (const std::optional<double>& value : {std::optional<double>(bar.weight), bar.lower, bar.upper}) {
            if (value && std::isfinite(*value)) {
                low = std::min(low, *value);
                high = std::max(high, *value);
            }
        }
    }
    if (!(high > low)) {
        high = low + 1.0;
    }
    const double step = tickStep(low, high, TickCount);
    m_xMin = std::floor(low / step + 1e-9) * step;
    m_xMax = std::ceil(high / step - 1e-9) * step;
}

struct DominanceFigure::Layout {
    QRectF caption;
    QRectF area;
    double labelLeft = 0.0;
    double labelWidth = 0.0;
    double xTickTop = 0.0;
    double xTitleTop = 0.0;
    double noteTop = 0.0;
};

DominanceFigure::Layout DominanceFigure::layout() const
{
    const QSizeF size = figurePoints();
    const QFontMetricsF text = pointMetrics(TextPoints);
    const QFontMetricsF title = pointMetrics(TitlePoints);
    Layout at;
    double top = captionBlock(m_caption, Margin, TextPoints, TitlePoints, at.caption);
    at.noteTop = size.height() - Margin - text.height();
    at.xTitleTop = at.noteTop - 0.3 * text.height() - title.height();
    at.xTickTop = at.xTitleTop - 0.2 * title.height() - text.height();
    const double areaBottom = at.xTickTop - 3.0; // the ticks' length and a gap

    double widest = 0.0;
    for (const Bar& bar : m_bars) {
        widest = std::max(widest, text.horizontalAdvance(bar.label));
    }
    at.labelLeft = Margin;
    at.labelWidth = std::min(widest, MaxLabelShare * size.width());
    const double areaLeft = at.labelLeft + at.labelWidth + 6.0;
    const double step = tickStep(m_xMin, m_xMax, TickCount);
    const double lastLabel = text.horizontalAdvance(figureTickText(m_xMax, step));
    const double areaRight = size.width() - Margin - lastLabel / 2;
    at.area = QRectF(QPointF(areaLeft, top), QPointF(areaRight, areaBottom));
    return at;
}

QRectF DominanceFigure::plotRect() const
{
    return layout().area;
}

QRectF DominanceFigure::rowOf(std::size_t k, const QRectF& area) const
{
    const double height = area.height() / static_cast<double>(std::max<std::size_t>(m_bars.size(), 1));
    return QRectF(area.left(), area.top() + height * static_cast<double>(k), area.width(), height);
}

QRectF DominanceFigure::barRect(std::size_t k) const
{
    const QRectF area = plotRect();
    const QRectF row = rowOf(k, area);
    const double zero = xOf(std::clamp(0.0, m_xMin, m_xMax), area);
    const double end = xOf(m_bars[k].weight, area);
    const double height = BarShare * row.height();
    return QRectF(QPointF(std::min(zero, end), row.center().y() - height / 2),
                  QPointF(std::max(zero, end), row.center().y() + height / 2));
}

void DominanceFigure::paintFigure(QPainter& painter) const
{
    const Layout at = layout();
    const QRectF& area = at.area;
    if (!beginPaint(painter, m_caption, at.caption, area, TitlePoints)) {
        return;
    }
    const QSizeF size = figurePoints();
    const QFont text = figureFont(TextPoints, painter.device());
    const QFont title = figureFont(TitlePoints, painter.device());
    const QFontMetricsF textMetrics = pointMetrics(TextPoints);
    const QFontMetricsF titleMetrics = pointMetrics(TitlePoints);

    // Each unit's row: its name, its bar, its interval.
    painter.setFont(text);
    for (std::size_t k = 0; k < m_bars.size(); ++k) {
        const Bar& bar = m_bars[k];
        const QRectF row = rowOf(k, area);
        const double middle = row.center().y();
        painter.setPen(Qt::black);
        painter.drawText(QRectF(at.labelLeft, middle - textMetrics.height() / 2, at.labelWidth, textMetrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter,
                         textMetrics.elidedText(bar.label, Qt::ElideRight, at.labelWidth));
        painter.fillRect(barRect(k), barColor());
        if (bar.lower && bar.upper) {
            const double from = xOf(*bar.lower, area);
            const double to = xOf(*bar.upper, area);
            const double cap = CapShare * row.height() / 2;
            painter.setPen(QPen(intervalColor(), IntervalWidth, Qt::SolidLine, Qt::FlatCap));
            painter.drawLine(QPointF(from, middle), QPointF(to, middle));
            painter.drawLine(QPointF(from, middle - cap), QPointF(from, middle + cap));
            painter.drawLine(QPointF(to, middle - cap), QPointF(to, middle + cap));
        }
    }

    // The axes: the weights below, a line at the units' side.
    painter.setPen(QPen(Qt::black, AxisWidth, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(area.bottomLeft(), area.bottomRight());
    painter.drawLine(area.bottomLeft(), area.topLeft());
    const double step = tickStep(m_xMin, m_xMax, TickCount);
    for (double k = std::ceil(m_xMin / step - 1e-9); k * step <= m_xMax + step * 1e-9; k += 1.0) {
        const double x = xOf(k * step, area);
        painter.drawLine(QPointF(x, area.bottom()), QPointF(x, area.bottom() + 2.5));
        painter.drawText(QRectF(x - 30, at.xTickTop, 60, textMetrics.height()), Qt::AlignHCenter | Qt::AlignTop,
                         figureTickText(k * step, step));
    }
    painter.setFont(title);
    painter.drawText(QRectF(area.left(), at.xTitleTop, area.width(), titleMetrics.height()), Qt::AlignHCenter,
                     m_axisTitle);
    painter.setFont(text);
    painter.drawText(QRectF(Margin, at.noteTop, size.width() - 2 * Margin, textMetrics.height()),
                     Qt::AlignLeft | Qt::AlignTop, m_note);
    painter.restore();
}

} // namespace orvalis
