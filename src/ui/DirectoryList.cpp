// DirectoryList: a directory list box filled synchronously from QDir.
#include "ui/DirectoryList.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace orvalis {

DirectoryList::DirectoryList(QWidget* parent) : QListWidget(parent)
{
    connect(this, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { setPath(item->data(Qt::UserRole).toString()); });
}

bool DirectoryList::setPath(const QString& directory)
{
    const QFileInfo info(directory);
    if (!info.isDir() || !info.isExecutable() || !QDir(directory).isReadable()) {
        return false;
    }
    const QString canonical = info.canonicalFilePath();
    if (canonical == m_path) {
        return true;
    }
    m_path = canonical;
    fill();
    emit pathChanged(m_path);
    return true;
}

void DirectoryList::keyboardSearch(const QString& search)
{
    if (search.isEmpty()) {
        return;
    }
    const bool fresh = !m_sinceTyped.isValid() || m_sinceTyped.elapsed() > QApplication::keyboardInputInterval();
    m_sinceTyped.start();
    m_typed = fresh ? search : m_typed + search;
    // A new search starts after the current item, a longer one at it.
    const int start = std::max(0, currentRow()) + (m_typed.size() == search.size() ? 1 : 0);
    for (int k = 0; k < count(); ++k) {
        QListWidgetItem* candidate = item((start + k) % count());
        if (candidate->text().trimmed().startsWith(m_typed, Qt::CaseInsensitive)) {
            setCurrentItem(candidate);
            scrollToItem(candidate);
            return;
        }
    }
}

void DirectoryList::fill()
{
    clear();
    QStringList chain;
    QDir walk(m_path);
    chain.prepend(walk.absolutePath());
    while (walk.cdUp()) {
        chain.prepend(walk.absolutePath());
    }
    int depth = 0;
    QListWidgetItem* current = nullptr;
    for (const QString& ancestor : chain) {
        const QString name = depth == 0 ? ancestor : QFileInfo(ancestor).fileName();
        auto* item = new QListWidgetItem(QString(depth * 2, QLatin1Char(' ')) + name, this);
        item->setData(Qt::UserRole, ancestor);
        item->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
        current = item;
        ++depth;
    }
    const QStringList children =
        QDir(m_path).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::LocaleAware);
    for (const QString& child : children) {
        auto* item = new QListWidgetItem(QString(depth * 2, QLatin1Char(' ')) + child, this);
        item->setData(Qt::UserRole, QDir(m_path).absoluteFilePath(child));
        item->setIcon(style()->standardIcon(QStyle::SP_DirClosedIcon));
    }
    setCurrentItem(current);
    scrollToItem(current);
}

} // namespace orvalis
