// frmUserGuide: a text browser over the guide's HTML file, and Close.
#include "ui/frmUserGuide.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace orvalis {

frmUserGuide::frmUserGuide(const QString& guidePath, QWidget* parent) : QDialog(parent)
{
    setObjectName("frmUserGuide");
    // A window of its own beside the main window, which stays usable.
    setModal(false);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setSizeGripEnabled(true);

    txtGuide = new QTextBrowser(this);
    txtGuide->setObjectName("txtGuide");
    txtGuide->setAccessibleName(QStringLiteral("User guide"));
    // Links within the guide go to their section; web pages open outside.
    txtGuide->setOpenLinks(true);
    txtGuide->setOpenExternalLinks(true);
    txtGuide->setSource(QUrl::fromLocalFile(guidePath));
    const QString title = txtGuide->documentTitle();
    setWindowTitle(title.isEmpty() ? QStringLiteral("Orvalis user guide") : title);

    cmdClose = new QPushButton(QStringLiteral("&Close"), this);
    cmdClose->setObjectName("cmdClose");
    cmdClose->setAutoDefault(false);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(txtGuide, 1);
    layout->addLayout(buttons);
    resize(760, 640);
    setTabOrder(txtGuide, cmdClose);
    txtGuide->setFocus();
}

} // namespace orvalis
