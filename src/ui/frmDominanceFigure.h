// frmDominanceFigure: the general dominance weights of a dominance analysis with their intervals, with the figure
// windows' sizes and exports.
#pragma once

#include "analyses/Dominance.h"
#include "figures/DominanceFigure.h"
#include "ui/FigureWidget.h"
#include "ui/FigureWindow.h"

class QCheckBox;

namespace orvalis {

// The dominance figure (DominanceFigure) as a widget, shown as it will print
// and exported by the same drawing orvalis-cli's --figure writes.
class DominancePlot : public FigureWidget {
    Q_OBJECT
public:
    DominancePlot(const DominanceResult& result, QWidget* parent = nullptr);

    // The drawing, which the exports and the screen share.
    const DominanceFigure& drawing() const { return m_drawing; }
    void paintFigure(QPainter& painter) const override;

protected:
    void figureChanged(const FigureSpec& before) override;
    QString description() const override;

private:
    DominanceFigure m_drawing;
};

// Shows a run's general dominance weights as bars, the largest first, with
// the percentile interval of each; saves it as PNG, SVG or PDF, its values as
// CSV (FormatDominanceFigureCsv), copies the picture. The caption choice is
// the one every figure window shares.
class frmDominanceFigure : public FigureWindow {
    Q_OBJECT
public:
    // dataFile: the imported data file, which no export may replace.
    frmDominanceFigure(Platform& platform, const DominanceResult& result, QWidget* parent, QString dataFile = {});

    DominancePlot* plotDominance = nullptr;
    QCheckBox* chkCaption = nullptr;

protected:
    QByteArray csvBytes() const override;
    void adjustFigure(FigureSpec& figure) const override;
    void keepChoices(QSettings& settings) const override;

private:
    std::string m_csv;
};

} // namespace orvalis
