// frmSplash: frame and labels at their design positions.
#include "ui/frmSplash.h"

#include "ui/Design.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>

namespace orvalis {

frmSplash::frmSplash(QWidget* parent) : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName("frmSplash");
    setFixedSize(twips(7380), twips(4230));
    // The fixed-dialog border, drawn by the window itself since it has no caption.
    setStyleSheet(QStringLiteral("#frmSplash { border: 2px outset palette(mid); }"));

    Frame1 = new QFrame(this);
    Frame1->setObjectName("Frame1");
    Frame1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Frame1->setGeometry(twips(150, 60, 7080, 4050));
    Frame1->installEventFilter(this);

    lblProductName = makeControl<QLabel>(Frame1, "lblProductName", twips(240, 720, 5625, 660));
    QFont productFont(QStringLiteral("Arial"));
    productFont.setPointSizeF(27.75);
    productFont.setBold(true);
    lblProductName->setFont(productFont);
    QPalette productPalette = lblProductName->palette();
    productPalette.setColor(QPalette::WindowText, productPalette.color(QPalette::Highlight));
    lblProductName->setPalette(productPalette);

    QFont smallFont(QStringLiteral("Arial"));
    smallFont.setPointSizeF(8.25);
    lblCopyright = makeControl<QLabel>(Frame1, "lblCopyright", twips(120, 3240, 3492, 252));
    lblCopyright->setFont(smallFont);
    lblCompany = makeControl<QLabel>(Frame1, "lblCompany", twips(120, 3480, 4812, 252));
    lblCompany->setFont(smallFont);

    // A click on a label stops there instead of reaching the frame.
    for (QLabel* label : {lblProductName, lblCopyright, lblCompany}) {
        label->installEventFilter(this);
    }
    Form_Load();
}

void frmSplash::Form_Load()
{
    lblProductName->setText(QStringLiteral("Orvalis"));
    lblCopyright->setText(QStringLiteral("Copyright 2026 the Orvalis developers"));
    lblCompany->setText(QStringLiteral("Written by the Orvalis project for researchers"));
}

void frmSplash::keyPressEvent(QKeyEvent* event)
{
    event->accept();
    close();
}

bool frmSplash::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        if (watched == Frame1) {
            close();
        }
        return true; // labels swallow their clicks
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace orvalis
