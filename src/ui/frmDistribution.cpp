// frmDistribution: the distribution's figure window, with its caption, Alf and Graf's lines and the figure's note.
#include "ui/frmDistribution.h"

#include "analyses/ApaReport.h"
#include "analyses/FigureText.h"
#include "analyses/BootstrapReport.h"
#include "platform/Platform.h"
#include "ui/Design.h"
#include "ui/Trap.h"
#include "ui/SettingsKeys.h"

#include <QCheckBox>
#include <QPushButton>
#include <QSettings>

namespace orvalis {

frmDistribution::frmDistribution(Platform& platform, const BootstrapResult& result, QWidget* parent, QString dataFile,
                                 QString fileStem)
    : FigureWindow(platform, "Bootstrap Distribution", std::move(fileStem), std::move(dataFile), parent),
      m_result(result)
{
    setObjectName("frmDistribution");
    m_csvTitle = QStringLiteral("Save trial values");
    m_csvWhat = QStringLiteral("The trial values");
    plotDistribution = new DistributionPlot(m_result, this);
    chkCaption = new QCheckBox(QStringLiteral("Capt&ion with the model"), this);
    chkCaption->setObjectName("chkCaption");
    chkAlfGraf = new QCheckBox(QStringLiteral("&Alf and Graf limits"), this);
    chkAlfGraf->setObjectName("chkAlfGraf");
    chkAlfGraf->setToolTip(QStringLiteral("Alf and Graf's large-sample interval of the change, as lines"));
    const Interval* alfGraf = m_result.interval(IntervalKind::AlfGraf);
    chkAlfGraf->setVisible(alfGraf != nullptr && alfGraf->lower.has_value());
    cmdCopyNote = makeButton(this, "cmdCopyNote", QStringLiteral("Copy &note"), QRect());
    cmdCopyNote->setToolTip(QStringLiteral("The figure's note: what the bars and lines are, the trials and the seed"));
    build(plotDistribution, QStringLiteral("Save trial values (&CSV)..."), {chkCaption, chkAlfGraf}, {cmdCopyNote});

    const QSettings settings;
    chkCaption->setChecked(settings.value(SettingsKeys::FigureCaption, false).toBool());
    chkAlfGraf->setChecked(settings.value(SettingsKeys::FigureAlfGraf, false).toBool());
    figureChanged();
    connect(chkCaption, &QCheckBox::toggled, this, &frmDistribution::figureChanged);
    connect(chkAlfGraf, &QCheckBox::toggled, this, &frmDistribution::figureChanged);
    connect(cmdCopyNote, &QPushButton::clicked, this, &frmDistribution::cmdCopyNote_Click);
}

void frmDistribution::showFor(Platform& platform, const std::optional<BootstrapResult>& run, QWidget* parent,
                              const QString& dataFile, const QString& fileStem)
{
    if (run) {
        frmDistribution window(platform, *run, parent, dataFile, fileStem);
        window.exec();
    }
}

bool frmDistribution::alfGrafDrawn() const
{
    return chkAlfGraf->isVisibleTo(this) && chkAlfGraf->isChecked();
}

QByteArray frmDistribution::csvBytes() const
{
    return QByteArray::fromStdString(FormatDraws(m_result));
}

void frmDistribution::adjustFigure(FigureSpec& figure) const
{
    figure.caption = chkCaption->isChecked();
    figure.alfGraf = alfGrafDrawn();
}

void frmDistribution::keepChoices(QSettings& settings) const
{
    settings.setValue(SettingsKeys::FigureCaption, chkCaption->isChecked());
    if (chkAlfGraf->isVisibleTo(this)) {
        settings.setValue(SettingsKeys::FigureAlfGraf, chkAlfGraf->isChecked());
    }
}

void frmDistribution::cmdCopyNote_Click()
{
    trap([&] { m_platform.setClipboardText(QString::fromStdString(FormatFigureNote(m_result, alfGrafDrawn()))); });
}

} // namespace orvalis
