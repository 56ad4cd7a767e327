// frmDistribution: the "Bootstrap Distribution" window of a finished run: the figure as it will print, its size, and
// its exports.
#pragma once

#include "analyses/BootstrapResult.h"
#include "ui/DistributionPlot.h"

#include <QDialog>

#include <optional>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;

namespace orvalis {

class Platform;

// Shows the run's histogram at the size chosen (one journal column, two, or a
// custom width and height); saves it as PNG (300 or 600 dpi), SVG or PDF of
// that printed size, its trial values as CSV (the command line's --save-draws
// file), copies the picture or the figure's note. A failed save warns and
// leaves any existing file as it was. The size, resolution and caption choice
// are kept from one run of the program to the next.
class frmDistribution : public QDialog {
    Q_OBJECT
public:
    // dataFile: the imported data file, which no export may replace.
    frmDistribution(Platform& platform, const BootstrapResult& result, QWidget* parent, QString dataFile = {});

    // Shows the window of run modally; nothing when there is no run yet.
    static void showFor(Platform& platform, const std::optional<BootstrapResult>& run, QWidget* parent,
                        const QString& dataFile);

    // The sizes offered, in cmbSize's order; the last is Custom.
    struct SizePreset {
        const char* caption;
        double widthMm;
        double heightMm;
    };
    static const SizePreset SizePresets[3];

    DistributionPlot* plotDistribution = nullptr;
    QLabel* lblSize = nullptr;
    QComboBox* cmbSize = nullptr;
    QLabel* lblWidth = nullptr;
    QDoubleSpinBox* spnWidth = nullptr; // millimetres
    QLabel* lblHeight = nullptr;
    QDoubleSpinBox* spnHeight = nullptr;
    QLabel* lblResolution = nullptr;
    QComboBox* cmbResolution = nullptr; // the PNG's dots per inch
    QCheckBox* chkCaption = nullptr;
    // Alf and Graf's limits as lines; shown only for a run that has them.
    QCheckBox* chkAlfGraf = nullptr;
    QPushButton* cmdSavePNG = nullptr;
    QPushButton* cmdSaveSVG = nullptr;
    QPushButton* cmdSavePDF = nullptr;
    QPushButton* cmdSaveCSV = nullptr;
    QPushButton* cmdCopy = nullptr;
    QPushButton* cmdCopyNote = nullptr;
    QPushButton* cmdClose = nullptr;

    void cmdSavePNG_Click();
    void cmdSaveSVG_Click();
    void cmdSavePDF_Click();
    void cmdSaveCSV_Click();
    void cmdCopy_Click();
    void cmdCopyNote_Click();

    // Whether the figure draws Alf and Graf's limits (the run has them and the box is checked).
    bool alfGrafDrawn() const;
    // The PNG's dots per inch, as cmbResolution says.
    int resolution() const;

private:
    // Asks for a path (adding the extension when it is missing) and writes
    // what make() gives to it.
    template <typename Make>
    void save(const QString& caption, const QString& filter, const QString& extension, const QString& what,
              Make&& make);
    // The figure the controls describe, to the plot and the settings.
    void figureChanged();

    Platform& m_platform;
    BootstrapResult m_result;
    QString m_dataFile;
};

} // namespace orvalis
