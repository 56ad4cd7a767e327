// FileList: filled synchronously from QDir with a case-sensitive name filter.
#include "ui/FileList.h"

#include <QDir>
#include <QFileInfo>

namespace orvalis {

FileList::FileList(QWidget* parent) : QListWidget(parent)
{
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
    m_path = dir.absolutePath();
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
    clear();
    if (m_path.isEmpty()) {
        return;
    }
    QDir dir(m_path);
    dir.setNameFilters(m_pattern.split(QLatin1Char(' '), Qt::SkipEmptyParts));
    dir.setFilter(QDir::Files | QDir::CaseSensitive);
    dir.setSorting(QDir::Name);
    addItems(dir.entryList());
}

} // namespace orvalis
