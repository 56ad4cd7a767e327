// A file list: the files of one directory that match a wildcard pattern.
#pragma once

#include <QFileSystemWatcher>
#include <QListWidget>

namespace orvalis {

// Lists the regular files of path() whose names match pattern() (one wildcard
// or several separated by blanks, "*.sav *.por"; case as the
// file system has it, so "*.txt" does not list "A.TXT"), sorted by name. A
// key that moves the current item (arrows, Home/End, type-ahead) counts as a
// click on the item it moves to: itemClicked is emitted for it.
class FileList : public QListWidget {
    Q_OBJECT
public:
    explicit FileList(QWidget* parent = nullptr);

    QString path() const { return m_path; }
    QString pattern() const { return m_pattern; }
    // Returns false, changing nothing, when directory cannot be read.
    bool setPath(const QString& directory);
    void setPattern(const QString& pattern);
    // Lists the directory again, keeping the highlighted file where it still is.
    // A file created or removed while the directory is shown does this by itself.
    void refresh();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString m_path;
    QString m_pattern = QStringLiteral("*.*");
    QFileSystemWatcher m_watcher;
};

} // namespace orvalis
