// frmDistribution: the "Bootstrap Distribution" window of a finished run: the figure as it will print, its size, and
// its exports.
#pragma once

#include "analyses/BootstrapResult.h"
#include "ui/DistributionPlot.h"
#include "ui/FigureWindow.h"

#include <optional>

class QCheckBox;

namespace orvalis {

// Shows the run's histogram at the size chosen; saves it as PNG, SVG or PDF,
// its trial values as CSV (the command line's --save-draws file), copies the
// picture or the figure's note. The caption and Alf and Graf choices are kept
// with the size and resolution.
class frmDistribution : public FigureWindow {
    Q_OBJECT
public:
    // dataFile: the imported data file, which no export may replace;
    // fileStem: the name the save dialogs offer, less its extension.
    frmDistribution(Platform& platform, const BootstrapResult& result, QWidget* parent, QString dataFile = {},
                    QString fileStem = QStringLiteral("bootstrap"));

    // Shows the window of run modally; nothing when there is no run yet.
    static void showFor(Platform& platform, const std::optional<BootstrapResult>& run, QWidget* parent,
                        const QString& dataFile, const QString& fileStem = QStringLiteral("bootstrap"));

    DistributionPlot* plotDistribution = nullptr;
    QCheckBox* chkCaption = nullptr;
    // Alf and Graf's limits as lines; shown only for a run that has them.
    QCheckBox* chkAlfGraf = nullptr;
    QPushButton* cmdCopyNote = nullptr;

    void cmdCopyNote_Click();

    // Whether the figure draws Alf and Graf's limits (the run has them and the box is checked).
    bool alfGrafDrawn() const;

protected:
    QByteArray csvBytes() const override;
    void adjustFigure(FigureSpec& figure) const override;
    void keepChoices(QSettings& settings) const override;

private:
    BootstrapResult m_result;
};

} // namespace orvalis
