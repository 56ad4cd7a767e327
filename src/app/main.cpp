// The desktop program: builds the Qt platform and shows the main window.
#include "platform/QtPlatform.h"
#include "ui/frmMain.h"

#include <QApplication>

#include <csignal>

int main(int argc, char** argv)
{
    // Under a file-size limit a write fails with EFBIG, which the saves report,
    // instead of the signal killing the program with the unsaved log.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvalis"));
    QApplication::setOrganizationName(QStringLiteral("Orvalis"));
    orvalis::QtPlatform platform;
    orvalis::frmMain window(platform);
    window.Form_Load(); // the splash, then the main window
    // "orvalis FILE" (as the file manager starts it): FILE selected, ready to import.
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1) {
        window.selectDataFile(arguments.at(1));
    }
    return QApplication::exec();
}
