// DirectoryList: a directory list box filled synchronously from QDir.
#include "ui/DirectoryList.h"

#include <QDir>
#include <QFileInfo>

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
