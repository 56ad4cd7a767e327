// frmDistribution: the plot above a row of export buttons; the picture scales with the window.
#include "ui/frmDistribution.h"

#include "analyses/BootstrapReport.h"
#include "platform/Platform.h"
#include "ui/Design.h"
#include "ui/DistributionPlot.h"
#include "ui/OutputFiles.h"
#include "ui/Trap.h"

#include <QBuffer>
#include <QHBoxLayout>
#include <QImage>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvalis {
namespace {

const char* const WindowTitle = "Bootstrap Distribution";

} // namespace

frmDistribution::frmDistribution(Platform& platform, const BootstrapResult& result, QWidget* parent, QString dataFile)
    : QDialog(parent), m_platform(platform), m_result(result), m_dataFile(std::move(dataFile))
{
    setObjectName("frmDistribution");
    setWindowTitle(QString::fromLatin1(WindowTitle));
    setFont(designFont());
    setSizeGripEnabled(true);
    resize(760, 500);

    plotDistribution = new DistributionPlot(m_result, this);
    auto* buttons = new QHBoxLayout;
    auto button = [&](const char* name, const QString& caption) {
        auto* b = makeButton(this, name, caption, QRect());
        buttons->addWidget(b);
        return b;
    };
    cmdSavePNG = button("cmdSavePNG", QStringLiteral("Save as &PNG..."));
    cmdSaveSVG = button("cmdSaveSVG", QStringLiteral("Save as &SVG..."));
    cmdSaveCSV = button("cmdSaveCSV", QStringLiteral("Save trial values (&CSV)..."));
    cmdCopy = button("cmdCopy", QStringLiteral("C&opy picture"));
    buttons->addStretch();
    cmdClose = button("cmdClose", QStringLiteral("Close"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(plotDistribution, 1);
    layout->addLayout(buttons);

    connect(cmdSavePNG, &QPushButton::clicked, this, &frmDistribution::cmdSavePNG_Click);
    connect(cmdSaveSVG, &QPushButton::clicked, this, &frmDistribution::cmdSaveSVG_Click);
    connect(cmdSaveCSV, &QPushButton::clicked, this, &frmDistribution::cmdSaveCSV_Click);
    connect(cmdCopy, &QPushButton::clicked, this, &frmDistribution::cmdCopy_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);
}

void frmDistribution::showFor(Platform& platform, const std::optional<BootstrapResult>& run, QWidget* parent,
                              const QString& dataFile)
{
    if (run) {
        frmDistribution window(platform, *run, parent, dataFile);
        window.exec();
    }
}

QSize frmDistribution::pictureSize() const
{
    return plotDistribution->size().expandedTo(QSize(640, 400));
}

template <typename Make>
void frmDistribution::save(const QString& caption, const QString& filter, const QString& extension, const QString& what,
                           Make&& make)
{
    trap(
        [&] {
            QString path = m_platform.saveFileName(this, caption, filter, QStringLiteral("bootstrap") + extension);
            if (path.isEmpty()) {
                return;
            }
            if (!path.endsWith(extension, Qt::CaseInsensitive)) {
                path += extension;
            }
            const BusyCursor busy;
            if (const Status saved = writeFileBytes(path, make(), WindowTitle, what, m_dataFile); !saved.ok()) {
                m_platform.warn(this, saved.refusal());
            }
        },
        [&](const char* reason) {
            m_platform.warn(this, QString::fromUtf8(reason), QString::fromLatin1(WindowTitle));
        });
}

void frmDistribution::cmdSavePNG_Click()
{
    save(QStringLiteral("Save as PNG"), QStringLiteral("PNG image (*.png)"), QStringLiteral(".png"),
         QStringLiteral("The picture"), [&] {
             QByteArray bytes;
             QBuffer buffer(&bytes);
             buffer.open(QIODevice::WriteOnly);
             // Twice the screen's pixels, sharp in print and on a high-density screen.
             plotDistribution->toImage(pictureSize(), 2.0).save(&buffer, "PNG");
             return bytes;
         });
}

void frmDistribution::cmdSaveSVG_Click()
{
    save(QStringLiteral("Save as SVG"), QStringLiteral("SVG drawing (*.svg)"), QStringLiteral(".svg"),
         QStringLiteral("The picture"), [&] { return plotDistribution->toSvg(pictureSize()); });
}

void frmDistribution::cmdSaveCSV_Click()
{
    save(QStringLiteral("Save trial values"), QStringLiteral("CSV file (*.csv)"), QStringLiteral(".csv"),
         QStringLiteral("The trial values"), [&] { return QByteArray::fromStdString(FormatDraws(m_result)); });
}

void frmDistribution::cmdCopy_Click()
{
    trap([&] { m_platform.setClipboardImage(plotDistribution->toImage(pictureSize(), devicePixelRatioF())); });
}

} // namespace orvalis
