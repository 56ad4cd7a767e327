// frmPowerCurve: a FigureWindow around the power curve; its CSV holds the curve's points.
#include "ui/frmPowerCurve.h"

#include "analyses/PlanningReport.h"
#include "ui/SettingsKeys.h"

#include <QCheckBox>
#include <QSettings>

namespace orvalis {

frmPowerCurve::frmPowerCurve(Platform& platform, const PowerQuestion& question, std::vector<PowerAnswer> points,
                             std::optional<double> target, std::optional<std::int32_t> marked, QWidget* parent)
    : FigureWindow(platform, "Power Curve", QStringLiteral("power"), QString(), parent)
{
    setObjectName("frmPowerCurve");
    m_csvTitle = QStringLiteral("Save the curve's points");
    m_csvWhat = QStringLiteral("The curve's points");
    plotPowerCurve = new PowerCurvePlot(question, std::move(points), target, marked, this);
    chkCaption = new QCheckBox(QStringLiteral("Capt&ion with the test"), this);
    chkCaption->setObjectName("chkCaption");
    build(plotPowerCurve, QStringLiteral("Save points (&CSV)..."), {chkCaption}, {});
    chkCaption->setChecked(QSettings().value(SettingsKeys::FigureCaption, false).toBool());
    figureChanged();
    connect(chkCaption, &QCheckBox::toggled, this, &frmPowerCurve::figureChanged);
}

QByteArray frmPowerCurve::csvBytes() const
{
    return QByteArray::fromStdString(FormatPowerCurveCsv(plotPowerCurve->points()));
}

void frmPowerCurve::adjustFigure(FigureSpec& figure) const
{
    figure.caption = chkCaption->isChecked();
}

void frmPowerCurve::keepChoices(QSettings& settings) const
{
    settings.setValue(SettingsKeys::FigureCaption, chkCaption->isChecked());
}

} // namespace orvalis
