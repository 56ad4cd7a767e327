// frmDistribution: the figure above its size controls and a row of export buttons.
#include "ui/frmDistribution.h"

#include "analyses/ApaReport.h"
#include "analyses/BootstrapReport.h"
#include "platform/Platform.h"
#include "ui/Design.h"
#include "ui/OutputFiles.h"
#include "ui/Trap.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace orvalis {
namespace {

const char* const WindowTitle = "Bootstrap Distribution";
const QString SizeSetting = QStringLiteral("figure/size");
const QString WidthSetting = QStringLiteral("figure/width");
const QString HeightSetting = QStringLiteral("figure/height");
const QString ResolutionSetting = QStringLiteral("figure/dpi");
const QString CaptionSetting = QStringLiteral("figure/caption");
const QString AlfGrafSetting = QStringLiteral("figure/alfGraf");
constexpr int Resolutions[2] = {300, 600};

} // namespace

const frmDistribution::SizePreset frmDistribution::SizePresets[3] = {
    {"One column (85 mm)", 85.0, 64.0},
    {"Two columns (175 mm)", 175.0, 105.0},
    {"Custom", 0.0, 0.0},
};

frmDistribution::frmDistribution(Platform& platform, const BootstrapResult& result, QWidget* parent, QString dataFile)
    : QDialog(parent), m_platform(platform), m_result(result), m_dataFile(std::move(dataFile))
{
    setObjectName("frmDistribution");
    setWindowTitle(QString::fromLatin1(WindowTitle));
    setFont(designFont());
    setSizeGripEnabled(true);
    resize(820, 620);

    plotDistribution = new DistributionPlot(m_result, this);
    plotDistribution->setAccessibleName(QStringLiteral("The figure as it will print"));

    // The figure's size and type.
    auto* figure = new QHBoxLayout;
    auto label = [&](const char* name, const QString& caption, QWidget* buddy) {
        auto* l = new QLabel(caption, this);
        l->setObjectName(QString::fromLatin1(name));
        l->setBuddy(buddy);
        figure->addWidget(l);
        figure->addWidget(buddy);
        return l;
    };
    cmbSize = new QComboBox(this);
    cmbSize->setObjectName("cmbSize");
    for (const SizePreset& preset : SizePresets) {
        cmbSize->addItem(QString::fromLatin1(preset.caption));
    }
    lblSize = label("lblSize", QStringLiteral("Si&ze:"), cmbSize);
    // Below 60 mm wide or 50 mm high the legend's 8-point text crowds the plot out.
    auto millimetres = [&](const char* name, double least) {
        auto* box = new QDoubleSpinBox(this);
        box->setObjectName(QString::fromLatin1(name));
        box->setRange(least, 300.0);
        box->setDecimals(0);
        box->setSuffix(QStringLiteral(" mm"));
        return box;
    };
    spnWidth = millimetres("spnWidth", 60.0);
    lblWidth = label("lblWidth", QStringLiteral("&Width:"), spnWidth);
    spnHeight = millimetres("spnHeight", 50.0);
    lblHeight = label("lblHeight", QStringLiteral("&Height:"), spnHeight);
    cmbResolution = new QComboBox(this);
    cmbResolution->setObjectName("cmbResolution");
    for (const int dpi : Resolutions) {
        cmbResolution->addItem(QStringLiteral("%1 dpi").arg(dpi));
    }
    lblResolution = label("lblResolution", QStringLiteral("PNG &resolution:"), cmbResolution);
    chkCaption = new QCheckBox(QStringLiteral("Capt&ion with the model"), this);
    chkCaption->setObjectName("chkCaption");
    figure->addWidget(chkCaption);
    chkAlfGraf = new QCheckBox(QStringLiteral("&Alf and Graf limits"), this);
    chkAlfGraf->setObjectName("chkAlfGraf");
    chkAlfGraf->setToolTip(QStringLiteral("Alf and Graf's large-sample interval of the change, as lines"));
    chkAlfGraf->setVisible(m_result.interval(IntervalKind::AlfGraf) != nullptr
                           && m_result.interval(IntervalKind::AlfGraf)->lower.has_value());
    figure->addWidget(chkAlfGraf);
    figure->addStretch();

    auto* buttons = new QHBoxLayout;
    auto button = [&](const char* name, const QString& caption) {
        auto* b = makeButton(this, name, caption, QRect());
        buttons->addWidget(b);
        return b;
    };
    cmdSavePNG = button("cmdSavePNG", QStringLiteral("Save as &PNG..."));
    cmdSaveSVG = button("cmdSaveSVG", QStringLiteral("Save as &SVG..."));
    cmdSavePDF = button("cmdSavePDF", QStringLiteral("Save as P&DF..."));
    cmdSaveCSV = button("cmdSaveCSV", QStringLiteral("Save trial values (&CSV)..."));
    cmdCopy = button("cmdCopy", QStringLiteral("C&opy picture"));
    cmdCopyNote = button("cmdCopyNote", QStringLiteral("Copy &note"));
    cmdCopyNote->setToolTip(QStringLiteral("The figure's note: what the bars and lines are, the trials and the seed"));
    buttons->addStretch();
    cmdClose = button("cmdClose", QStringLiteral("Close"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(plotDistribution, 1);
    layout->addLayout(figure);
    layout->addLayout(buttons);
    setTabChain({cmbSize, spnWidth, spnHeight, cmbResolution, chkCaption, chkAlfGraf, cmdSavePNG, cmdSaveSVG,
                 cmdSavePDF, cmdSaveCSV, cmdCopy, cmdCopyNote, cmdClose});

    // The last figure's choices; one column at first.
    const QSettings settings;
    const int size = std::clamp(settings.value(SizeSetting, 0).toInt(), 0, 2);
    cmbSize->setCurrentIndex(size);
    spnWidth->setValue(settings.value(WidthSetting, SizePresets[0].widthMm).toDouble());
    spnHeight->setValue(settings.value(HeightSetting, SizePresets[0].heightMm).toDouble());
    cmbResolution->setCurrentIndex(settings.value(ResolutionSetting, 300).toInt() == 600 ? 1 : 0);
    chkCaption->setChecked(settings.value(CaptionSetting, false).toBool());
    chkAlfGraf->setChecked(settings.value(AlfGrafSetting, false).toBool());
    figureChanged();

    connect(cmbSize, &QComboBox::currentIndexChanged, this, &frmDistribution::figureChanged);
    connect(spnWidth, &QDoubleSpinBox::valueChanged, this, &frmDistribution::figureChanged);
    connect(spnHeight, &QDoubleSpinBox::valueChanged, this, &frmDistribution::figureChanged);
    connect(cmbResolution, &QComboBox::currentIndexChanged, this, &frmDistribution::figureChanged);
    connect(chkCaption, &QCheckBox::toggled, this, &frmDistribution::figureChanged);
    connect(chkAlfGraf, &QCheckBox::toggled, this, &frmDistribution::figureChanged);
    connect(cmdSavePNG, &QPushButton::clicked, this, &frmDistribution::cmdSavePNG_Click);
    connect(cmdSaveSVG, &QPushButton::clicked, this, &frmDistribution::cmdSaveSVG_Click);
    connect(cmdSavePDF, &QPushButton::clicked, this, &frmDistribution::cmdSavePDF_Click);
    connect(cmdSaveCSV, &QPushButton::clicked, this, &frmDistribution::cmdSaveCSV_Click);
    connect(cmdCopy, &QPushButton::clicked, this, &frmDistribution::cmdCopy_Click);
    connect(cmdCopyNote, &QPushButton::clicked, this, &frmDistribution::cmdCopyNote_Click);
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

bool frmDistribution::alfGrafDrawn() const
{
    return chkAlfGraf->isVisibleTo(this) && chkAlfGraf->isChecked();
}

int frmDistribution::resolution() const
{
    return Resolutions[cmbResolution->currentIndex() == 1 ? 1 : 0];
}

void frmDistribution::figureChanged()
{
    trap([&] {
        const int size = cmbSize->currentIndex();
        const bool custom = size == 2;
        if (!custom) {
            // A preset shows its size in the boxes, which only Custom lets the user change.
            const QSignalBlocker width(spnWidth);
            const QSignalBlocker height(spnHeight);
            spnWidth->setValue(SizePresets[size].widthMm);
            spnHeight->setValue(SizePresets[size].heightMm);
        }
        spnWidth->setEnabled(custom);
        spnHeight->setEnabled(custom);
        plotDistribution->setFigure({spnWidth->value(), spnHeight->value(), chkCaption->isChecked(), alfGrafDrawn()});
        QSettings settings;
        settings.setValue(SizeSetting, size);
        if (custom) {
            settings.setValue(WidthSetting, spnWidth->value());
            settings.setValue(HeightSetting, spnHeight->value());
        }
        settings.setValue(ResolutionSetting, resolution());
        settings.setValue(CaptionSetting, chkCaption->isChecked());
        if (chkAlfGraf->isVisibleTo(this)) {
            settings.setValue(AlfGrafSetting, chkAlfGraf->isChecked());
        }
    });
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
             // The image's density goes into the file (its pHYs chunk).
             plotDistribution->toImage(resolution()).save(&buffer, "PNG");
             return bytes;
         });
}

void frmDistribution::cmdSaveSVG_Click()
{
    save(QStringLiteral("Save as SVG"), QStringLiteral("SVG drawing (*.svg)"), QStringLiteral(".svg"),
         QStringLiteral("The picture"), [&] { return plotDistribution->toSvg(); });
}

void frmDistribution::cmdSavePDF_Click()
{
    save(QStringLiteral("Save as PDF"), QStringLiteral("PDF document (*.pdf)"), QStringLiteral(".pdf"),
         QStringLiteral("The picture"), [&] { return plotDistribution->toPdf(); });
}

void frmDistribution::cmdSaveCSV_Click()
{
    save(QStringLiteral("Save trial values"), QStringLiteral("CSV file (*.csv)"), QStringLiteral(".csv"),
         QStringLiteral("The trial values"), [&] { return QByteArray::fromStdString(FormatDraws(m_result)); });
}

void frmDistribution::cmdCopy_Click()
{
    trap([&] { m_platform.setClipboardImage(plotDistribution->toImage(resolution())); });
}

void frmDistribution::cmdCopyNote_Click()
{
    trap([&] { m_platform.setClipboardText(QString::fromStdString(FormatFigureNote(m_result, alfGrafDrawn()))); });
}

} // namespace orvalis
