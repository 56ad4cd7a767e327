// frmOpenOutput: the log is replaced only once the whole file has been read.
#include "ui/frmOpenOutput.h"

#include "platform/Platform.h"
#include "ui/DirectoryList.h"
#include "ui/DriveList.h"
#include "ui/FileList.h"
#include "ui/OutputFiles.h"
#include "ui/OutputLog.h"
#include "ui/Trap.h"
#include "ui/Design.h"

#include <QLabel>
#include <QPushButton>

namespace orvalis {

frmOpenOutput::frmOpenOutput(Platform& platform, OutputLog& log, QWidget* parent)
    : OutputFileDialog(platform, parent), m_log(log)
{
    setObjectName("frmOpenOutput");
    setWindowTitle(QStringLiteral("Open Output"));
    setFont(designFont());
    setFixedSize(twips(5535), twips(3840));

    cmdCancel = makeButton(this, "cmdCancel", QStringLiteral("Cancel"), twips(3000, 3120, 1215, 495));
    cmdOpen = makeButton(this, "cmdOpen", QStringLiteral("Open"), twips(1320, 3120, 1215, 495));
    buildLists();
    lblFileNameLabel = new QLabel(QStringLiteral("File name:"), this);
    lblFileNameLabel->setObjectName("lblFileNameLabel");
    lblFileNameLabel->setGeometry(twips(2040, 2400, 735, 255));
    lblFileNameLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    fitCaption(lblFileNameLabel, true);
    lblSelectedFile = new QLabel(this);
    lblSelectedFile->setObjectName("lblSelectedFile");
    lblSelectedFile->setGeometry(twips(2880, 2400, 2415, 255));
    styleBoxLabel(lblSelectedFile, QPalette::HighlightedText);

    setTabOrder(cmdCancel, cmdOpen);
    setTabOrder(cmdOpen, filFile);
    setTabOrder(filFile, dirDirectory);
    setTabOrder(dirDirectory, drvDrive);
    cmdCancel->setFocus();

    connect(cmdOpen, &QPushButton::clicked, this, &frmOpenOutput::cmdOpen_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmOpenOutput::cmdCancel_Click);
}

void frmOpenOutput::filFile_Click(const QString& name)
{
    trap([&] { lblSelectedFile->setText(name); });
}

void frmOpenOutput::cmdOpen_Click()
{
    trap([&] {
        const QString name = lblSelectedFile->text();
        if (name.isEmpty()) {
            m_platform.warn(this, QStringLiteral("A file has not been selected."), QStringLiteral("Open Output"));
            hide();
            return;
        }
        const QString path = filFile->path() + QLatin1Char('/') + name;
        QString error;
        bool read = false;
        {
            const BusyCursor busy;
            QString text;
            read = readOutputFile(path, text, error);
            if (read) {
                m_log.replaceAll(std::move(text));
            }
        }
        if (!read) {
            // The log keeps its text; the dialog stays open.
            m_platform.warn(this, error, QStringLiteral("Open Output"));
            return;
        }
        hide();
    });
}

} // namespace orvalis
