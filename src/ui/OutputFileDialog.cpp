// OutputFileDialog: the directory navigation both output dialogs share.
#include "ui/OutputFileDialog.h"

#include "ui/DirectoryList.h"
#include "ui/DriveList.h"
#include "ui/FileList.h"
#include "ui/Trap.h"
#include "ui/Design.h"

#include <QDir>
#include <QLabel>

namespace orvalis {

OutputFileDialog::OutputFileDialog(Platform& platform, QWidget* parent) : ModalDialog(parent), m_platform(platform)
{
}

void OutputFileDialog::buildLists()
{
    drvDrive = makeControl<DriveList>(this, "drvDrive", twips(240, 240, 2415, 315));
    dirDirectory = makeControl<DirectoryList>(this, "dirDirectory", twips(240, 600, 2415, 1665));
    filFile = makeControl<FileList>(this, "filFile", twips(2880, 240, 2415, 2040));

    dirDirectory->setAccessibleName(QStringLiteral("Directory"));
    filFile->setAccessibleName(QStringLiteral("Files"));
    drvDrive->setAccessibleName(QStringLiteral("Drive"));

    // Form_Load: "*.txt" files of the current directory.
    filFile->setPattern(QStringLiteral("*.txt"));
    dirDirectory->setPath(QDir::currentPath());
    filFile->setPath(dirDirectory->path());
    drvDrive->showDriveOf(dirDirectory->path());

    connect(drvDrive, qOverload<int>(&QComboBox::activated), this, &OutputFileDialog::drvDrive_Change);
    connect(dirDirectory, &DirectoryList::pathChanged, this, &OutputFileDialog::dirDirectory_Change);
    connect(filFile, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { filFile_Click(item->text()); });
    connect(filFile, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) { filFile_Click(item->text()); });
}

void OutputFileDialog::drvDrive_Change(int index)
{
    trap([&] { drvDrive->openDrive(index, dirDirectory); });
}

QLabel* OutputFileDialog::makeFileNameLabel(const char* name)
{
    auto* label = makeControl<QLabel>(this, name, twips(2040, 2400, 735, 255), QStringLiteral("File name:"));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    fitCaption(label, true);
    return label;
}

void OutputFileDialog::allowListsToGrow(QWidget* nameLabel, QWidget* nameBox, QWidget* firstButton,
                                        QWidget* secondButton)
{
    allowGrowth(this, {{drvDrive, 0, 0, 0.5, 0},
                       {dirDirectory, 0, 0, 0.5, 1},
                       {filFile, 0.5, 0, 0.5, 1},
                       {nameBox, 0.5, 1, 0.5, 0},
                       {nameLabel, 0.5, 1, 0, 0},
                       {firstButton, 0.5, 1, 0, 0},
                       {secondButton, 0.5, 1, 0, 0}});
}

void OutputFileDialog::dirDirectory_Change(const QString& path)
{
    trap([&] { filFile->setPath(path); });
}

void OutputFileDialog::cmdCancel_Click()
{
    hide();
}

} // namespace orvalis
