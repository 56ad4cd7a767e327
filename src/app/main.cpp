// The desktop program: builds the Qt platform and shows the main window.
#include "platform/QtPlatform.h"
#include "ui/frmMain.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvalis"));
    QApplication::setOrganizationName(QStringLiteral("Orvalis"));
    orvalis::QtPlatform platform;
    orvalis::frmMain window(platform);
    window.Form_Load(); // the splash, then the main window
    return QApplication::exec();
}
