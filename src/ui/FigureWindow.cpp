// FigureWindow: the figure above its size controls and a row of export buttons.
#include "ui/FigureWindow.h"

#include "figures/FigureChoices.h"
#include "platform/Platform.h"
#include "ui/Design.h"
#include "ui/OutputFiles.h"
#include "ui/Trap.h"
#include "ui/SettingsKeys.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>

namespace orvalis {
namespace {

constexpr const int (&Resolutions)[2] = FigureResolutions;

} // namespace

const FigureWindow::SizePreset FigureWindow::SizePresets[3] = {
    {FigureSizePresets[0].caption, FigureSizePresets[0].widthMm, FigureSizePresets[0].heightMm},
    {FigureSizePresets[1].caption, FigureSizePresets[1].widthMm, FigureSizePresets[1].heightMm},
    {"Custom", 0.0, 0.0},
};

FigureWindow::FigureWindow(Platform& platform, const char* title, QString fileStem, QString dataFile, QWidget* parent)
    : QDialog(parent), m_platform(platform), m_dataFile(std::move(dataFile)), m_title(title),
      m_fileStem(std::move(fileStem))
{
    setWindowTitle(QString::fromLatin1(title));
    setFont(designFont());
    setSizeGripEnabled(true);
    resize(820, 620);
}

void FigureWindow::build(FigureWidget* plot, const QString& csvCaption, const std::vector<QWidget*>& figureExtras,
                         const std::vector<QPushButton*>& buttonExtras)
{
    m_plot = plot;
    plot->setAccessibleName(QStringLiteral("The figure as it will print"));

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
        box->setRange(least, FigureMostMm);
        box->setDecimals(0);
        box->setSuffix(QStringLiteral(" mm"));
        return box;
    };
    spnWidth = millimetres("spnWidth", FigureLeastWidthMm);
    lblWidth = label("lblWidth", QStringLiteral("&Width:"), spnWidth);
    spnHeight = millimetres("spnHeight", FigureLeastHeightMm);
    lblHeight = label("lblHeight", QStringLiteral("&Height:"), spnHeight);
    cmbResolution = new QComboBox(this);
    cmbResolution->setObjectName("cmbResolution");
    for (const int dpi : Resolutions) {
        cmbResolution->addItem(QStringLiteral("%1 dpi").arg(dpi));
    }
    lblResolution = label("lblResolution", QStringLiteral("PNG &resolution:"), cmbResolution);
    for (QWidget* extra : figureExtras) {
        figure->addWidget(extra);
    }
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
    cmdSaveCSV = button("cmdSaveCSV", csvCaption);
    cmdCopy = button("cmdCopy", QStringLiteral("C&opy picture"));
    for (QPushButton* extra : buttonExtras) {
        buttons->addWidget(extra);
    }
    buttons->addStretch();
    cmdClose = button("cmdClose", QStringLiteral("Close"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(plot, 1);
    layout->addLayout(figure);
    layout->addLayout(buttons);
    std::vector<QWidget*> chain = {cmbSize, spnWidth, spnHeight, cmbResolution};
    chain.insert(chain.end(), figureExtras.begin(), figureExtras.end());
    chain.insert(chain.end(), {cmdSavePNG, cmdSaveSVG, cmdSavePDF, cmdSaveCSV, cmdCopy});
    chain.insert(chain.end(), buttonExtras.begin(), buttonExtras.end());
    chain.push_back(cmdClose);
    for (std::size_t k = 1; k < chain.size(); ++k) {
        QWidget::setTabOrder(chain[k - 1], chain[k]);
    }

    // The last figure's choices; one column at first.
    const QSettings settings;
    const int size = std::clamp(settings.value(SettingsKeys::FigureSize, 0).toInt(), 0, 2);
    cmbSize->setCurrentIndex(size);
    spnWidth->setValue(settings.value(SettingsKeys::FigureWidth, SizePresets[0].widthMm).toDouble());
    spnHeight->setValue(settings.value(SettingsKeys::FigureHeight, SizePresets[0].heightMm).toDouble());
    cmbResolution->setCurrentIndex(
        settings.value(SettingsKeys::FigureResolution, Resolutions[0]).toInt() == Resolutions[1] ? 1 : 0);

    connect(cmbSize, &QComboBox::currentIndexChanged, this, &FigureWindow::figureChanged);
    connect(spnWidth, &QDoubleSpinBox::valueChanged, this, &FigureWindow::figureChanged);
    connect(spnHeight, &QDoubleSpinBox::valueChanged, this, &FigureWindow::figureChanged);
    connect(cmbResolution, &QComboBox::currentIndexChanged, this, &FigureWindow::figureChanged);
    connect(cmdSavePNG, &QPushButton::clicked, this, &FigureWindow::cmdSavePNG_Click);
    connect(cmdSaveSVG, &QPushButton::clicked, this, &FigureWindow::cmdSaveSVG_Click);
    connect(cmdSavePDF, &QPushButton::clicked, this, &FigureWindow::cmdSavePDF_Click);
    connect(cmdSaveCSV, &QPushButton::clicked, this, &FigureWindow::cmdSaveCSV_Click);
    connect(cmdCopy, &QPushButton::clicked, this, &FigureWindow::cmdCopy_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);
}

int FigureWindow::resolution() const
{
    return Resolutions[cmbResolution->currentIndex() == 1 ? 1 : 0];
}

void FigureWindow::figureChanged()
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
        FigureSpec chosen;
        chosen.widthMm = spnWidth->value();
        chosen.heightMm = spnHeight->value();
        adjustFigure(chosen);
        m_plot->setFigure(chosen);
        QSettings settings;
        settings.setValue(SettingsKeys::FigureSize, size);
        if (custom) {
            settings.setValue(SettingsKeys::FigureWidth, spnWidth->value());
            settings.setValue(SettingsKeys::FigureHeight, spnHeight->value());
        }
        settings.setValue(SettingsKeys::FigureResolution, resolution());
        keepChoices(settings);
    });
}

template <typename Make>
void FigureWindow::save(const QString& caption, const QString& filter, const QString& extension, const QString& what,
                        Make&& make)
{
    trap(
        [&] {
            QString path = m_platform.saveFileName(this, caption, filter, m_fileStem + extension);
            if (path.isEmpty()) {
                return;
            }
            if (!path.endsWith(extension, Qt::CaseInsensitive)) {
                path += extension;
            }
            const BusyCursor busy;
            // A rendering that failed is never written: the file keeps its bytes.
            const Outcome<QByteArray> bytes = make();
            if (!bytes.ok()) {
                m_platform.warn(this,
                                QStringLiteral("%1 could not be saved to %2: %3.")
                                    .arg(what, shownPath(path), QString::fromStdString(bytes.refusal().message)),
                                QString::fromLatin1(m_title));
                return;
            }
            if (const Status saved = writeFileBytes(path, *bytes, m_title, what, m_dataFile); !saved.ok()) {
                m_platform.warn(this, saved.refusal());
            }
        },
        [&](const char* reason) { m_platform.warn(this, QString::fromUtf8(reason), QString::fromLatin1(m_title)); });
}

void FigureWindow::cmdSavePNG_Click()
{
    save(QStringLiteral("Save as PNG"), QStringLiteral("PNG image (*.png)"), QStringLiteral(".png"),
         QStringLiteral("The picture"), [&] { return m_plot->pngBytes(resolution()); });
}

void FigureWindow::cmdSaveSVG_Click()
{
    save(QStringLiteral("Save as SVG"), QStringLiteral("SVG drawing (*.svg)"), QStringLiteral(".svg"),
         QStringLiteral("The picture"), [&] { return m_plot->svgBytes(); });
}

void FigureWindow::cmdSavePDF_Click()
{
    save(QStringLiteral("Save as PDF"), QStringLiteral("PDF document (*.pdf)"), QStringLiteral(".pdf"),
         QStringLiteral("The picture"), [&] { return m_plot->pdfBytes(); });
}

void FigureWindow::cmdSaveCSV_Click()
{
    save(m_csvTitle, QStringLiteral("CSV file (*.csv)"), QStringLiteral(".csv"), m_csvWhat,
         [&] { return Outcome<QByteArray>(csvBytes()); });
}

void FigureWindow::cmdCopy_Click()
{
    trap(
        [&] {
            // A rendering that failed leaves the clipboard as it was.
            const Outcome<QImage> image = m_plot->pictureImage(resolution());
            if (!image.ok()) {
                m_platform.warn(this,
                                QStringLiteral("The picture could not be copied: %1.")
                                    .arg(QString::fromStdString(image.refusal().message)),
                                QString::fromLatin1(m_title));
                return;
            }
            m_platform.setClipboardImage(*image);
        },
        [&](const char* reason) { m_platform.warn(this, QString::fromUtf8(reason), QString::fromLatin1(m_title)); });
}

} // namespace orvalis
