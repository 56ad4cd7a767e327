// Figure: a picture drawn by one routine at its printed size, for the screen, PNG, SVG and PDF; needs Qt's GUI
// module only, so that the desktop program and orvalis-cli draw the same figure.
#pragma once

#include "common/Outcome.h"

#include <QByteArray>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QSizeF>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

class QPainter;
class QPaintDevice;

namespace orvalis {

// The printed size of a figure and whether it carries a caption (the model in
// names, above the plot). Journals take one column at 85 mm and two at 175 mm.
struct FigureSpec {
    double widthMm = 85.0;
    double heightMm = 64.0;
    bool caption = false;
    bool alfGraf = false; // the distribution also draws Alf and Graf's limits, where the run has them
};

// A figure laid out in points (1/72 inch) and its exports. Drawing text needs
// a QGuiApplication (its fonts); nothing here needs widgets.
class Figure {
public:
    virtual ~Figure() = default;

    void setFigure(const FigureSpec& figure);
    const FigureSpec& figure() const { return m_figure; }
    // The figure's size in points (1/72 inch).
    QSizeF figurePoints() const;

    // Draws the whole figure with the painter's units as points, from (0, 0)
    // to figurePoints(); the caller scales the painter to its device.
    virtual void paintFigure(QPainter& painter) const = 0;

    // The figure as an image at dpi (the density stored in the image), as
    // SVG of the figure's physical size, and as a one-page PDF of that size.
    // A rendering that fails (an image too large for memory, a painter that
    // cannot begin, a drawing that comes out empty) gives a null image or no
    // bytes; the picture functions below say why.
    QImage toImage(int dpi) const;
    QByteArray toSvg() const;
    QByteArray toPdf() const;

    // What an export writes or copies: the image, the PNG file's bytes, the SVG
    // and PDF files' bytes; or a refusal whose message is the reason in words
    // that follow "could not be saved to PATH: " (no title). Never an empty
    // image or no bytes.
    Outcome<QImage> pictureImage(int dpi) const;
    Outcome<QByteArray> pngBytes(int dpi) const;
    Outcome<QByteArray> svgBytes() const;
    Outcome<QByteArray> pdfBytes() const;

    // The figures' typeface at a size in points, for a device: Qt sizes a font
    // by the device's dots per inch, and the painter's scale does the rest.
    static QFont figureFont(double points, const QPaintDevice* device);
    // Metrics in points, from a device of 72 dots per inch.
    static QFontMetricsF pointMetrics(double points);
    // A round step (1, 2 or 5 times a power of ten) that gives at least
    // `count` ticks over [low, high].
    static double tickStep(double low, double high, int count);
    static constexpr double PointsPerMm = 72.0 / 25.4;

protected:
    // title: the SVG and PDF files' title.
    explicit Figure(QString title);
    // Called by setFigure with the figure before the change, m_figure already the new one.
    virtual void figureChanged(const FigureSpec& before) { (void)before; }
    // What the SVG file says the figure shows.
    virtual QString description() const { return {}; }

    // The top of a figure `margin` points in: the caption (when the figure
    // shows one) wrapped at word breaks to the figure's width, never cut, its
    // place in captionRect, and half a title line under it; without one, half
    // a text line (room for the top tick label). Returns where what follows starts.
    double captionBlock(const QString& caption, double margin, double textPoints, double titlePoints,
                        QRectF& captionRect) const;
    // Starts painting: the painter saved and antialiased, the figure white, the
    // caption drawn in captionRect (when shown), the pen black. False, with the
    // painter restored, when the plot area is empty and nothing more is drawn.
    bool beginPaint(QPainter& painter, const QString& caption, const QRectF& captionRect, const QRectF& area,
                    double titlePoints) const;

    FigureSpec m_figure;

private:
    QString m_title;
};

// A variable as a figure names it: its name from the file, or "Var 4".
QString figureVariableName(std::int32_t v, const std::vector<std::string>& names);

// A tick's label: as many decimals as the step between ticks needs.
QString figureTickText(double value, double step);

// A number in the shortest text that reads back as the same double ("0.1"), for a figure's CSV.
std::string shortestNumber(double value);

// A CSV field, quoted when it holds a comma, a quote or a line break.
std::string csvField(const std::string& text);

} // namespace orvalis
