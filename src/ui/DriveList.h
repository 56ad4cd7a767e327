// A drive list: the root paths of the mounted file systems.
#pragma once

#include <QComboBox>

namespace orvalis {

class DirectoryList;

class DriveList : public QComboBox {
    Q_OBJECT
public:
    explicit DriveList(QWidget* parent = nullptr);

    // Lists the mounted file systems' root paths again, sorted.
    void refresh();
    // The root path of the file system that holds path.
    static QString driveOf(const QString& path);
    // Selects the drive that holds path (adding it if the list lacks it).
    void showDriveOf(const QString& path);
    // Moves directories to the root of the drive at index; a drive that fails
    // puts this list back on the drive of the directory list's path.
    void openDrive(int index, DirectoryList* directories);
};

} // namespace orvalis
