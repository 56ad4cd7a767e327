// Renders the program's SVG icon as PNG images of the sizes the icon theme wants (build time).
//
// Usage: orvalis_render_icon ICON.svg OUTPUT_DIR SIZE...
// Writes OUTPUT_DIR/SIZExSIZE/org.orvalis.Orvalis.png for each SIZE.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: orvalis_render_icon ICON.svg OUTPUT_DIR SIZE...\n");
        return 2;
    }
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    for (int k = 3; k < argc; ++k) {
        const int size = QString::fromLocal8Bit(argv[k]).toInt();
        const QString dir = QString::fromLocal8Bit(argv[2]) + QStringLiteral("/%1x%1").arg(size);
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
        painter.end();
        if (!QDir().mkpath(dir) || !image.save(dir + QStringLiteral("/org.orvalis.Orvalis.png"))) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(dir));
            return 1;
        }
    }
    return 0;
}
