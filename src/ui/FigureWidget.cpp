// FigureWidget: the exports and the preview of a figure laid out in points.
#include "ui/FigureWidget.h"

#include <QBuffer>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSvgGenerator>

#include <cmath>

namespace orvalis {

FigureWidget::FigureWidget(QString title, QWidget* parent) : QWidget(parent), m_title(std::move(title))
{
}

QFont FigureWidget::figureFont(double points, const QPaintDevice* device)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setHintingPreference(QFont::PreferNoHinting);
    const int dpi = device != nullptr ? device->logicalDpiY() : 72;
    font.setPointSizeF(points * 72.0 / dpi);
    return font;
}

QFontMetricsF FigureWidget::pointMetrics(double points)
{
    static const QImage reference = [] {
        QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
        image.setDotsPerMeterX(static_cast<int>(std::lround(72.0 / 0.0254)));
        image.setDotsPerMeterY(static_cast<int>(std::lround(72.0 / 0.0254)));
        return image;
    }();
    return QFontMetricsF(figureFont(points, &reference), &reference);
}

double FigureWidget::tickStep(double low, double high, int count)
{
    const double range = high - low;
    double step = std::pow(10.0, std::ceil(std::log10(range)));
    for (int k = 0; k < 60; ++k) {
        const double first = std::ceil(low / step - 1e-9);
        const double last = std::floor(high / step + 1e-9);
        if (last - first + 1 >= count) {
            return step;
        }
        const double mantissa = step / std::pow(10.0, std::floor(std::log10(step) + 1e-9));
        step *= mantissa > 4.5 ? 0.4 : 0.5; // 10 -> 5 -> 2 -> 1
    }
    return step;
}

void FigureWidget::setFigure(const FigureSpec& figure)
{
    const FigureSpec before = m_figure;
    m_figure = figure;
    figureChanged(before);
    update();
}

QSizeF FigureWidget::figurePoints() const
{
    return {m_figure.widthMm * PointsPerMm, m_figure.heightMm * PointsPerMm};
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

QImage FigureWidget::toImage(int dpi) const
{
    const QSizeF points = figurePoints();
    const QSize pixels(static_cast<int>(std::lround(points.width() / 72.0 * dpi)),
                       static_cast<int>(std::lround(points.height() / 72.0 * dpi)));
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    const int dotsPerMeter = static_cast<int>(std::lround(dpi / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.scale(dpi / 72.0, dpi / 72.0);
    paintFigure(painter);
    painter.end();
    return image;
}

QByteArray FigureWidget::toSvg() const
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    // A unit of the drawing is a point; at 72 units to the inch the file
    // states the figure's width and height in millimetres.
    const QSizeF points = figurePoints();
    generator.setResolution(72);
    generator.setSize(QSize(static_cast<int>(std::ceil(points.width())), static_cast<int>(std::ceil(points.height()))));
    generator.setViewBox(QRectF(QPointF(0, 0), points));
    generator.setTitle(m_title);
    generator.setDescription(description());
    QPainter painter(&generator);
    paintFigure(painter);
    painter.end();
    // The generator states the whole points of its size in millimetres; the
    // figure's own width and height replace them.
    const QByteArray exact = QStringLiteral("width=\"%1mm\" height=\"%2mm\"")
                                 .arg(m_figure.widthMm, 0, 'f', 2)
                                 .arg(m_figure.heightMm, 0, 'f', 2)
                                 .toLatin1();
    static const QRegularExpression stated(QStringLiteral("width=\"[0-9.]+mm\" height=\"[0-9.]+mm\""));
    const QString text = QString::fromUtf8(bytes);
    const QRegularExpressionMatch match = stated.match(text);
    if (match.hasMatch()) {
        return QString(text)
            .replace(match.capturedStart(), match.capturedLength(), QString::fromLatin1(exact))
            .toUtf8();
    }
    return bytes;
}

QByteArray FigureWidget::toPdf() const
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setTitle(m_title);
    writer.setCreator(QStringLiteral("Orvalis"));
    writer.setPageSize(QPageSize(QSizeF(m_figure.widthMm, m_figure.heightMm), QPageSize::Millimeter));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setResolution(720);
    QPainter painter(&writer);
    painter.scale(720 / 72.0, 720 / 72.0);
    paintFigure(painter);
    painter.end();
    return bytes;
}

} // namespace orvalis
