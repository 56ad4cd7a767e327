// Figure: the exports of a figure laid out in points.
#include "figures/Figure.h"

#include "common/NumberText.h"
#include "common/TextEscape.h"
#include "data/DataSet.h"

#include <QBuffer>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSvgGenerator>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <utility>

namespace orvalis {

Figure::Figure(QString title) : m_title(std::move(title))
{
}

QFont Figure::figureFont(double points, const QPaintDevice* device)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setHintingPreference(QFont::PreferNoHinting);
    const int dpi = device != nullptr ? device->logicalDpiY() : 72;
    font.setPointSizeF(points * 72.0 / dpi);
    return font;
}

QFontMetricsF Figure::pointMetrics(double points)
{
    static const QImage reference = [] {
        QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
        image.setDotsPerMeterX(static_cast<int>(std::lround(72.0 / 0.0254)));
        image.setDotsPerMeterY(static_cast<int>(std::lround(72.0 / 0.0254)));
        return image;
    }();
    return QFontMetricsF(figureFont(points, &reference), &reference);
}

double Figure::tickStep(double low, double high, int count)
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

void Figure::setFigure(const FigureSpec& figure)
{
    const FigureSpec before = m_figure;
    m_figure = figure;
    figureChanged(before);
}

QSizeF Figure::figurePoints() const
{
    return {m_figure.widthMm * PointsPerMm, m_figure.heightMm * PointsPerMm};
}

namespace {

Refusal pictureFailure(const QString& reason)
{
    return Refusal{reason.toStdString(), {}, Refusal::Reason::Fault};
}

} // namespace

Outcome<QImage> Figure::pictureImage(int dpi) const
{
    const QSizeF points = figurePoints();
    const double width = std::round(points.width() / 72.0 * dpi);
    const double height = std::round(points.height() / 72.0 * dpi);
    const auto tooLarge = [&] {
        return pictureFailure(QStringLiteral("there is not enough memory for a picture of %1 x %2 pixels")
                                  .arg(static_cast<qint64>(width))
                                  .arg(static_cast<qint64>(height)));
    };
    if (!(width >= 1.0 && height >= 1.0 && width <= INT_MAX && height <= INT_MAX)) {
        return tooLarge();
    }
    // A size the memory (or QImage's own limits) cannot hold gives a null image.
    QImage image(QSize(static_cast<int>(width), static_cast<int>(height)), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        return tooLarge();
    }
    const int dotsPerMeter = static_cast<int>(std::lround(dpi / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    QPainter painter;
    if (!painter.begin(&image)) {
        return pictureFailure(QStringLiteral("the picture could not be drawn"));
    }
    painter.scale(dpi / 72.0, dpi / 72.0);
    paintFigure(painter);
    painter.end();
    return image;
}

QImage Figure::toImage(int dpi) const
{
    Outcome<QImage> image = pictureImage(dpi);
    return image.ok() ? std::move(*image) : QImage();
}

Outcome<QByteArray> Figure::pngBytes(int dpi) const
{
    const Outcome<QImage> image = pictureImage(dpi);
    if (!image.ok()) {
        return image.refusal();
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    // The image's density goes into the file (its pHYs chunk).
    if (!buffer.open(QIODevice::WriteOnly) || !image->save(&buffer, "PNG") || bytes.isEmpty()) {
        return pictureFailure(QStringLiteral("the PNG image could not be encoded"));
    }
    return bytes;
}

namespace {

// The bytes of an SVG or PDF drawing, none when the painter did not begin.
Outcome<QByteArray> drawingBytes(QByteArray bytes, bool drawn)
{
    if (!drawn) {
        return pictureFailure(QStringLiteral("the drawing could not be started"));
    }
    if (bytes.isEmpty()) {
        return pictureFailure(QStringLiteral("the drawing came out empty"));
    }
    return bytes;
}

} // namespace

QByteArray Figure::toSvg() const
{
    const Outcome<QByteArray> bytes = svgBytes();
    return bytes.ok() ? *bytes : QByteArray();
}

Outcome<QByteArray> Figure::svgBytes() const
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
    QPainter painter;
    if (!painter.begin(&generator)) {
        return drawingBytes({}, false);
    }
    paintFigure(painter);
    painter.end();
    if (bytes.isEmpty()) {
        return drawingBytes({}, true);
    }
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
        return drawingBytes(
            QString(text).replace(match.capturedStart(), match.capturedLength(), QString::fromLatin1(exact)).toUtf8(),
            true);
    }
    return drawingBytes(bytes, true);
}

QByteArray Figure::toPdf() const
{
    const Outcome<QByteArray> bytes = pdfBytes();
    return bytes.ok() ? *bytes : QByteArray();
}

Outcome<QByteArray> Figure::pdfBytes() const
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly)) {
        return drawingBytes({}, false);
    }
    QPdfWriter writer(&buffer);
    writer.setTitle(m_title);
    writer.setCreator(QStringLiteral("Orvalis"));
    writer.setPageSize(QPageSize(QSizeF(m_figure.widthMm, m_figure.heightMm), QPageSize::Millimeter));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setResolution(720);
    QPainter painter;
    if (!painter.begin(&writer)) {
        return drawingBytes({}, false);
    }
    painter.scale(720 / 72.0, 720 / 72.0);
    paintFigure(painter);
    // The writer finishes the file when the painter ends.
    painter.end();
    buffer.close();
    return drawingBytes(std::move(bytes), true);
}

QString figureVariableName(std::int32_t v, const std::vector<std::string>& names)
{
    const auto index = static_cast<std::size_t>(v);
    if (v >= 1 && index < names.size() && !names[index].empty()) {
        return QString::fromStdString(escapeControlCharacters(names[index]));
    }
    return QString::fromStdString(variableNumber(v));
}

QString figureTickText(double value, double step)
{
    const int decimals = std::clamp(static_cast<int>(std::ceil(-std::log10(step) - 1e-9)), 0, 12);
    return QString::fromStdString(formatFixed(std::abs(value) < step * 1e-9 ? 0.0 : value, decimals));
}

std::string shortestNumber(double value)
{
    char buffer[64];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return std::string(buffer, end);
}

std::string csvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return quoted + "\"";
}

double Figure::captionBlock(const QString& caption, double margin, double textPoints, double titlePoints,
                            QRectF& captionRect) const
{
    const QSizeF size = figurePoints();
    const QFontMetricsF title = pointMetrics(titlePoints);
    double top = margin;
    if (m_figure.caption) {
        const QRectF needed = title.boundingRect(QRectF(margin, top, size.width() - 2 * margin, 1e6),
                                                 Qt::AlignHCenter | Qt::TextWordWrap, caption);
        captionRect = QRectF(margin, top, size.width() - 2 * margin, needed.height());
        return top + needed.height() + 0.5 * title.height();
    }
    return top + 0.5 * pointMetrics(textPoints).height();
}

bool Figure::beginPaint(QPainter& painter, const QString& caption, const QRectF& captionRect, const QRectF& area,
                        double titlePoints) const
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.fillRect(QRectF(QPointF(0, 0), figurePoints()), Qt::white);
    painter.setPen(Qt::black);
    if (m_figure.caption) {
        painter.setFont(figureFont(titlePoints, painter.device()));
        painter.drawText(captionRect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, caption);
    }
    if (area.width() <= 0.0 || area.height() <= 0.0) {
        painter.restore();
        return false;
    }
    return true;
}

} // namespace orvalis
