// frmModerationFigure: a FigureWindow around a moderation figure; its CSV holds the values the figure plots.
#include "ui/frmModerationFigure.h"

#include "platform/Platform.h"
#include "ui/SettingsKeys.h"

#include <QCheckBox>
#include <QSettings>

namespace orvalis {
namespace {

// The name the save dialogs offer.
QString fileStemOf(ModerationFigureKind kind)
{
    return kind == ModerationFigureKind::SimpleSlopes ? QStringLiteral("slopes") : QStringLiteral("johnson-neyman");
}

} // namespace

ModerationPlot::ModerationPlot(std::unique_ptr<ModerationFigure> drawing, ModerationFigureKind kind, QWidget* parent)
    : FigureWidget(QString::fromLatin1(ModerationFigure::titleOf(kind)), parent), m_drawing(std::move(drawing))
{
    setObjectName("plotModeration");
    setMinimumSize(360, 240);
}

void ModerationPlot::paintFigure(QPainter& painter) const
{
    if (m_drawing) {
        m_drawing->paintFigure(painter);
    }
}

void ModerationPlot::figureChanged(const FigureSpec& before)
{
    (void)before;
    if (m_drawing) {
        m_drawing->setFigure(m_figure);
    }
}

QString ModerationPlot::description() const
{
    return m_drawing ? m_drawing->caption() : QString();
}

frmModerationFigure::frmModerationFigure(Platform& platform, const HierarchicalResult& result,
                                         ModerationFigureKind kind, QWidget* parent, QString dataFile)
    : FigureWindow(platform, ModerationFigure::titleOf(kind), fileStemOf(kind), std::move(dataFile), parent),
      m_kind(kind), m_moderation(result.Moderation.value_or(ModerationResult{}))
{
    setObjectName("frmModerationFigure");
    m_csvTitle = QStringLiteral("Save the plotted values");
    m_csvWhat = QStringLiteral("The plotted values");
    plotModeration = new ModerationPlot(ModerationFigure::make(result, kind), kind, this);
    chkCaption = new QCheckBox(QStringLiteral("Capt&ion with the model"), this);
    chkCaption->setObjectName("chkCaption");
    build(plotModeration, QStringLiteral("Save values (&CSV)..."), {chkCaption}, {});
    chkCaption->setChecked(QSettings().value(SettingsKeys::FigureCaption, false).toBool());
    figureChanged();
    connect(chkCaption, &QCheckBox::toggled, this, &frmModerationFigure::figureChanged);
}

QString frmModerationFigure::refusal(const HierarchicalResult& result, ModerationFigureKind kind)
{
    if (!result.Moderation) {
        return QStringLiteral("The run has no simple slopes: ask for the slopes of a predictor at a moderator whose "
                              "product a step enters, and run it again.");
    }
    if (kind == ModerationFigureKind::JohnsonNeyman && !ModerationFigure::make(result, kind)) {
        return QStringLiteral("The Johnson-Neyman figure needs a numeric moderator; the simple slopes of a "
                              "categorical one are the slopes in its categories.");
    }
    return {};
}

void frmModerationFigure::showFor(Platform& platform, const HierarchicalResult& result, ModerationFigureKind kind,
                                  QWidget* parent, const QString& dataFile)
{
    if (const QString why = refusal(result, kind); !why.isEmpty()) {
        platform.warn(parent, why, QString::fromLatin1(ModerationFigure::titleOf(kind)));
        return;
    }
    frmModerationFigure window(platform, result, kind, parent, dataFile);
    window.exec();
}

QByteArray frmModerationFigure::csvBytes() const
{
    return QByteArray::fromStdString(m_kind == ModerationFigureKind::SimpleSlopes
                                         ? FormatSimpleSlopesCsv(m_moderation)
                                         : FormatJohnsonNeymanCsv(m_moderation));
}

void frmModerationFigure::adjustFigure(FigureSpec& figure) const
{
    figure.caption = chkCaption->isChecked();
}

void frmModerationFigure::keepChoices(QSettings& settings) const
{
    settings.setValue(SettingsKeys::FigureCaption, chkCaption->isChecked());
}

} // namespace orvalis
