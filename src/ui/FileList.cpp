// FileList: filled synchronously from QDir with a case-sensitive name filter.
#include "ui/FileList.h"

#include <QDir>
#include <QFileInfo>

namespace orvalis {

FileList::FileList(QWidget* parent) : QListWidget(parent)
{
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] { refresh(); });
}

void FileList::keyPressEvent(QKeyEvent* event)
{
    QListWidgetItem* const before = currentItem();
    QListWidget::keyPressEvent(event);
    QListWidgetItem* const after = currentItem();
    // The highlighted file is the file the user means: the one an import opens.
    if (after != nullptr && after != before) {
        emit itemClicked(after);
    }
}

bool FileList::setPath(const QString& directory)
{
    const QDir dir(directory);
    if (!QFileInfo(directory).isDir() || !dir.isReadable()) {
        return false;
    }
    if (!m_watcher.directories().isEmpty()) {
        m_watcher.removePaths(m_watcher.directories());
    }
    m_path = dir.absolutePath();
    m_watcher.addPath(m_path);
    refresh();
    return true;
}

void FileList::setPattern(const QString& pattern)
{
    m_pattern = pattern;
    refresh();
}

void FileList::refresh()
{
    const QString highlighted = currentItem() != nullptr ? currentItem()->text() : QString();
    // Quietly: putting the highlight back is no click of the user's.
    const QSignalBlocker quiet(this);
    clear();
    if (m_path.isEmpty()) {
        return;
    }
    QDir dir(m_path);
    dir.setNameFilters(m_pattern.split(QLatin1Char(' '), Qt::SkipEmptyParts));
    dir.setFilter(QDir::Files | QDir::CaseSensitive);
    dir.setSorting(QDir::Name);
    addItems(dir.entryList());
    if (!highlighted.isEmpty()) {
        const QList<QListWidgetItem*> same = findItems(highlighted, Qt::MatchExactly);
        if (!same.isEmpty()) {
            setCurrentItem(same.front());
        }
    }
}

} // namespace orvalis
