// FigureWindow: a figure as it will print above its size controls and a row of export buttons; the base of the
// windows that show a plot.
#pragma once

#include "ui/FigureWidget.h"

#include <QDialog>

#include <vector>

class QComboBox;
class QDoubleSpinBox;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QSettings;

namespace orvalis {

class Platform;

// Shows a figure at the size chosen (one journal column, two, or a custom
// width and height); saves it as PNG (300 or 600 dpi), SVG or PDF of that
// printed size and its values as CSV, copies the picture. A failed save, or a
// picture that could not be rendered, warns and leaves any existing file (and
// the clipboard) as it was. The size and resolution are kept
// from one run of the program to the next, shared by every figure window.
class FigureWindow : public QDialog {
    Q_OBJECT
public:
    // The sizes offered, in cmbSize's order; the last is Custom.
    struct SizePreset {
        const char* caption;
        double widthMm;
        double heightMm;
    };
    static const SizePreset SizePresets[3];

    QLabel* lblSize = nullptr;
    QComboBox* cmbSize = nullptr;
    QLabel* lblWidth = nullptr;
    QDoubleSpinBox* spnWidth = nullptr; // millimetres
    QLabel* lblHeight = nullptr;
    QDoubleSpinBox* spnHeight = nullptr;
    QLabel* lblResolution = nullptr;
    QComboBox* cmbResolution = nullptr; // the PNG's dots per inch
    QPushButton* cmdSavePNG = nullptr;
    QPushButton* cmdSaveSVG = nullptr;
    QPushButton* cmdSavePDF = nullptr;
    QPushButton* cmdSaveCSV = nullptr;
    QPushButton* cmdCopy = nullptr;
    QPushButton* cmdClose = nullptr;

    void cmdSavePNG_Click();
    void cmdSaveSVG_Click();
    void cmdSavePDF_Click();
    void cmdSaveCSV_Click();
    void cmdCopy_Click();

    // The PNG's dots per inch, as cmbResolution says.
    int resolution() const;

protected:
    // title: the window's; fileStem: the name a save dialog offers ("bootstrap");
    // dataFile: the imported data file, which no export may replace.
    FigureWindow(Platform& platform, const char* title, QString fileStem, QString dataFile, QWidget* parent);

    // Lays the window out around plot: the size controls, then figureExtras
    // (check boxes of the figure), the export buttons with csvCaption on the
    // CSV one, then buttonExtras, and Close; restores the size and resolution.
    // The caller then sets its extras and calls figureChanged().
    void build(FigureWidget* plot, const QString& csvCaption, const std::vector<QWidget*>& figureExtras,
               const std::vector<QPushButton*>& buttonExtras);
    // The figure the controls describe, to the plot and the settings.
    void figureChanged();

    // The CSV file's bytes.
    virtual QByteArray csvBytes() const = 0;
    // The figure's own choices (caption, lines) into figure, and into settings.
    virtual void adjustFigure(FigureSpec& figure) const { (void)figure; }
    virtual void keepChoices(QSettings& settings) const { (void)settings; }

    // Asks for a path (adding the extension when it is missing) and writes
    // the bytes make() gives (an Outcome<QByteArray>) to it; a refusal from
    // make() warns with its reason and writes nothing.
    template <typename Make>
    void save(const QString& caption, const QString& filter, const QString& extension, const QString& what,
              Make&& make);

    Platform& m_platform;
    QString m_dataFile;
    // The CSV's save dialog title and what a failed write names.
    QString m_csvTitle = QStringLiteral("Save values");
    QString m_csvWhat = QStringLiteral("The values");

private:
    const char* m_title;
    QString m_fileStem;
    FigureWidget* m_plot = nullptr;
};

} // namespace orvalis
