// frmUserGuide: Help > User Guide (F1), the guide shown in a window of the program's own.
#pragma once

#include <QDialog>

class QPushButton;
class QTextBrowser;

namespace orvalis {

// Shows the guide's HTML file (made at build time from docs/guide.md) beside
// the main window, without a web browser: the keys move through the text and
// its links (Tab, Enter, Alt+Left goes back), a link inside the guide goes to
// its section, a link to a web page opens in the desktop's browser, and
// Escape or Close closes the window.
class frmUserGuide : public QDialog {
    Q_OBJECT
public:
    frmUserGuide(const QString& guidePath, QWidget* parent);

    QTextBrowser* txtGuide = nullptr;
    QPushButton* cmdClose = nullptr;
};

} // namespace orvalis
