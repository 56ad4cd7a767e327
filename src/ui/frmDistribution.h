// frmDistribution: the "Bootstrap Distribution" window of a finished run, with its exports.
#pragma once

#include "analyses/BootstrapResult.h"

#include <QDialog>

#include <optional>

class QPushButton;

namespace orvalis {

class DistributionPlot;
class Platform;

// Shows the run's histogram; saves it as PNG or SVG, its trial values as CSV
// (the command line's --save-draws file), or copies the picture. A failed
// save warns and leaves any existing file as it was.
class frmDistribution : public QDialog {
    Q_OBJECT
public:
    // dataFile: the imported data file, which no export may replace.
    frmDistribution(Platform& platform, const BootstrapResult& result, QWidget* parent, QString dataFile = {});

    // Shows the window of run modally; nothing when there is no run yet.
    static void showFor(Platform& platform, const std::optional<BootstrapResult>& run, QWidget* parent,
                        const QString& dataFile);

    DistributionPlot* plotDistribution = nullptr;
    QPushButton* cmdSavePNG = nullptr;
    QPushButton* cmdSaveSVG = nullptr;
    QPushButton* cmdSaveCSV = nullptr;
    QPushButton* cmdCopy = nullptr;
    QPushButton* cmdClose = nullptr;

    void cmdSavePNG_Click();
    void cmdSaveSVG_Click();
    void cmdSaveCSV_Click();
    void cmdCopy_Click();

    // The exported picture's size in logical pixels (that of the plot on screen).
    QSize pictureSize() const;

private:
    // Asks for a path (adding the extension when it is missing) and writes
    // what make() gives to it.
    template <typename Make>
    void save(const QString& caption, const QString& filter, const QString& extension, const QString& what,
              Make&& make);

    Platform& m_platform;
    BootstrapResult m_result;
    QString m_dataFile;
};

} // namespace orvalis
