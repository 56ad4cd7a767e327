// ModalDialog: close box discards, Escape is ignored, no close while busy.
#include "ui/ModalDialog.h"

#include <QCloseEvent>
#include <QKeyEvent>

namespace orvalis {

ModalDialog::ModalDialog(QWidget* parent) : QDialog(parent)
{
    setModal(true);
}

void ModalDialog::closeEvent(QCloseEvent* event)
{
    if (busy()) {
        stopWork();
        event->ignore();
        return;
    }
    m_discarded = true;
    QDialog::closeEvent(event);
}

void ModalDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        if (busy()) {
            stopWork();
        } else {
            escapeWhenIdle();
        }
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace orvalis
