// A directory list: the current directory's ancestors and subdirectories, one per line.
#pragma once

#include <QElapsedTimer>
#include <QListWidget>

namespace orvalis {

// Shows the path from the root down to the current directory, then the
// current directory's subdirectories, indented by depth. Double-clicking (or
// Enter on) an entry makes it the current directory and emits pathChanged.
class DirectoryList : public QListWidget {
    Q_OBJECT
public:
    explicit DirectoryList(QWidget* parent = nullptr);

    QString path() const { return m_path; }
    // Moves to directory; returns false (and changes nothing) when it is not a
    // readable directory. Emits pathChanged when the path changes.
    bool setPath(const QString& directory);

    // Type-ahead on the names as they read, without their indentation:
    // typed letters (within the keyboard input interval) make the current item
    // the next one whose name starts with them, ignoring case.
    void keyboardSearch(const QString& search) override;

signals:
    void pathChanged(const QString& path);

private:
    void fill();

    QString m_path;
    QString m_typed;
    QElapsedTimer m_sinceTyped;
};

} // namespace orvalis
