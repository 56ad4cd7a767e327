// frmDominanceFigure: a FigureWindow around the dominance figure; its CSV holds the values the figure plots.
#include "ui/frmDominanceFigure.h"

#include "ui/SettingsKeys.h"

#include <QCheckBox>
#include <QSettings>

namespace orvalis {

DominancePlot::DominancePlot(const DominanceResult& result, QWidget* parent)
    : FigureWidget(QString::fromLatin1(DominanceFigure::Title), parent), m_drawing(result)
{
    setObjectName("plotDominance");
    setMinimumSize(360, 240);
}

void DominancePlot::paintFigure(QPainter& painter) const
{
    m_drawing.paintFigure(painter);
}

void DominancePlot::figureChanged(const FigureSpec& before)
{
    (void)before;
    m_drawing.setFigure(m_figure);
}

QString DominancePlot::description() const
{
    return m_drawing.caption();
}

frmDominanceFigure::frmDominanceFigure(Platform& platform, const DominanceResult& result, QWidget* parent,
                                       QString dataFile)
    : FigureWindow(platform, DominanceFigure::Title, QStringLiteral("dominance"), std::move(dataFile), parent),
      m_csv(FormatDominanceFigureCsv(result))
{
    setObjectName("frmDominanceFigure");
    m_csvTitle = QStringLiteral("Save the plotted values");
    m_csvWhat = QStringLiteral("The plotted values");
    plotDominance = new DominancePlot(result, this);
    chkCaption = new QCheckBox(QStringLiteral("Capt&ion with the model"), this);
    chkCaption->setObjectName("chkCaption");
    build(plotDominance, QStringLiteral("Save values (&CSV)..."), {chkCaption}, {});
    chkCaption->setChecked(QSettings().value(SettingsKeys::FigureCaption, false).toBool());
    figureChanged();
    connect(chkCaption, &QCheckBox::toggled, this, &frmDominanceFigure::figureChanged);
}

QByteArray frmDominanceFigure::csvBytes() const
{
    return QByteArray::fromStdString(m_csv);
}

void frmDominanceFigure::adjustFigure(FigureSpec& figure) const
{
    figure.caption = chkCaption->isChecked();
}

void frmDominanceFigure::keepChoices(QSettings& settings) const
{
    settings.setValue(SettingsKeys::FigureCaption, chkCaption->isChecked());
}

} // namespace orvalis
