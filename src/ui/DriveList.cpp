// DriveList: QStorageInfo's mounted volumes.
#include "ui/DriveList.h"

#include "ui/DirectoryList.h"

#include <QStorageInfo>

namespace orvalis {

DriveList::DriveList(QWidget* parent) : QComboBox(parent)
{
    refresh();
}

void DriveList::refresh()
{
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady() && !roots.contains(volume.rootPath())) {
            roots << volume.rootPath();
        }
    }
    roots.sort();
    const QString current = currentText();
    clear();
    addItems(roots);
    setCurrentText(current);
}

QString DriveList::driveOf(const QString& path)
{
    const QStorageInfo volume(path);
    return volume.isValid() ? volume.rootPath() : QStringLiteral("/");
}

void DriveList::showDriveOf(const QString& path)
{
    const QString drive = driveOf(path);
    int index = findText(drive);
    if (index < 0) {
        addItem(drive);
        index = count() - 1;
    }
    setCurrentIndex(index);
}

void DriveList::openDrive(int index, DirectoryList* directories)
{
    // Choosing the drive already shown keeps the directory.
    if (itemText(index) == driveOf(directories->path())) {
        return;
    }
    if (!directories->setPath(itemText(index))) {
        showDriveOf(directories->path());
    }
}

} // namespace orvalis
