// Saves pictures of the program's windows for the README: the main window after an import.
//
// Usage: orvalis_screenshots OUTPUT_DIR EXAMPLES_DIR
// Run it under a real X server (scripts/screenshots.sh starts Xvfb) so the
// pictures show the desktop's own fonts and style.
#include "platform/QtPlatform.h"
#include "ui/DirectoryList.h"
#include "ui/FileList.h"
#include "ui/frmMain.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: orvalis_screenshots OUTPUT_DIR EXAMPLES_DIR\n");
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    const QString examples = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
    QDir::setCurrent(examples);

    orvalis::QtPlatform platform;
    orvalis::frmMain window(platform);
    window.show();
    window.dirDirectory->setPath(examples);
    const auto found = window.filFile->findItems(QStringLiteral("study.txt"), Qt::MatchExactly);
    if (found.isEmpty()) {
        std::fprintf(stderr, "examples/study.txt not found\n");
        return 1;
    }
    window.filFile->setCurrentItem(found.front());
    emit window.filFile->itemClicked(found.front());
    window.cmdImportData->click();
    QApplication::processEvents();

    const QString file = output + QStringLiteral("/main-window.png");
    if (!window.grab().save(file)) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(file));
        return 1;
    }
    std::printf("%s\n", qPrintable(file));
    return 0;
}
