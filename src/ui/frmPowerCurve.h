// frmPowerCurve: the power curve of a planned F test as a figure, with the figure windows' sizes and exports.
#pragma once

#include "ui/FigureWindow.h"
#include "ui/PowerCurvePlot.h"

class QCheckBox;

namespace orvalis {

class frmPowerCurve : public FigureWindow {
    Q_OBJECT
public:
    frmPowerCurve(Platform& platform, const PowerQuestion& question, std::vector<PowerAnswer> points,
                  std::optional<double> target, std::optional<std::int32_t> marked, QWidget* parent);

    PowerCurvePlot* plotPowerCurve = nullptr;
    QCheckBox* chkCaption = nullptr;

protected:
    QByteArray csvBytes() const override;
    void adjustFigure(FigureSpec& figure) const override;
    void keepChoices(QSettings& settings) const override;
};

} // namespace orvalis
