// frmSaveOutput: the name rule, the empty-name warning, the replace question and a save that fails aloud.
#include "ui/frmSaveOutput.h"

#include "platform/Platform.h"
#include "ui/DirectoryList.h"
#include "ui/DriveList.h"
#include "ui/FileList.h"
#include "ui/OutputFiles.h"
#include "ui/OutputLog.h"
#include "ui/Trap.h"
#include "ui/Design.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace orvalis {

frmSaveOutput::frmSaveOutput(Platform& platform, OutputLog& log, QWidget* parent)
    : OutputFileDialog(platform, parent), m_log(log)
{
    setUpDialog(this, "frmSaveOutput", SaveOutputTitle, 5595, 3825);
    buildLists();

    txtSavedFileName = makeControl<QLineEdit>(this, "txtSavedFileName", twips(2880, 2400, 2415, 285));
    lblFileName = makeFileNameLabel("lblFileName");
    txtSavedFileName->setAccessibleName(QStringLiteral("File name"));
    cmdSave = makeButton(this, "cmdSave", QStringLiteral("Save"), twips(1320, 3120, 1215, 495));
    cmdCancel = makeButton(this, "cmdCancel", QStringLiteral("Cancel"), twips(3000, 3120, 1215, 495));

    setTabChain({drvDrive, dirDirectory, filFile, txtSavedFileName, cmdSave, cmdCancel});
    allowListsToGrow(lblFileName, txtSavedFileName, cmdSave, cmdCancel);
    // The focus starts in the name box (see showEvent), so typing gives the name.
    txtSavedFileName->setFocus();

    connect(cmdSave, &QPushButton::clicked, this, &frmSaveOutput::cmdSave_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmSaveOutput::cmdCancel_Click);
}

void frmSaveOutput::showEvent(QShowEvent* event)
{
    OutputFileDialog::showEvent(event);
    // Each showing starts in the file name, whatever had the focus when the
    // dialog was last hidden: typed letters are the name, never a search
    // through the folder list that would walk into another folder. A name
    // kept from the last showing is selected, so typing replaces it.
    txtSavedFileName->setFocus(Qt::OtherFocusReason);
    txtSavedFileName->selectAll();
}

void frmSaveOutput::filFile_Click(const QString& name)
{
    trap([&] { txtSavedFileName->setText(name); });
}

QString frmSaveOutput::savePath(const QString& directory, const QString& name)
{
    // A name typed as a path is that path: absolute as it stands, "~" the home folder.
    QString path = directory + QLatin1Char('/') + name;
    if (name.startsWith(QLatin1Char('/'))) {
        path = name;
    } else if (name == QStringLiteral("~") || name.startsWith(QStringLiteral("~/"))) {
        path = QDir::homePath() + name.mid(1);
    }
    if (!name.endsWith(QStringLiteral(".txt"), Qt::CaseSensitive)) {
        path += QStringLiteral(".txt");
    }
    return path;
}

void frmSaveOutput::cmdSave_Click()
{
    trap([&] {
        const QString name = txtSavedFileName->text();
        if (name.isEmpty()) {
            m_platform.warn(this, QStringLiteral("A file name has not been provided."), SaveOutputTitle);
            hide();
            return;
        }
        const QString path = savePath(filFile->path(), name);
        const QFileInfo existing(path);
        if (existing.exists() && !existing.isDir()
            && m_platform.messageBox(
                   this, QStringLiteral("%1 already exists. Do you want to replace it?").arg(existing.fileName()),
                   SaveOutputTitle, Platform::Buttons::YesNo)
                   != Platform::Answer::Yes) {
            return; // the dialog stays open for another name
        }
        const Status written = [&] {
            const BusyCursor busy;
            return writeOutputFile(path, m_log.readAll(), m_dataFileName);
        }();
        if (!written.ok()) {
            // The dialog stays open so that another name or directory can be tried.
            m_platform.warn(this, written.refusal());
            return;
        }
        m_fileWritten = true;
        m_log.markSaved();
        filFile->refresh();
        hide();
    });
}

} // namespace orvalis
