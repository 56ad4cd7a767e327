// ModalDialog: close box discards, Escape is ignored, no close while busy.
#include "ui/ModalDialog.h"

#include "ui/BackgroundRun.h"

#include <QCloseEvent>
#include <QKeyEvent>

namespace orvalis {

ModalDialog::ModalDialog(QWidget* parent) : QDialog(parent)
{
    setModal(true);
}

bool ModalDialog::busy() const
{
    return m_run != nullptr && m_run->running();
}

void ModalDialog::stopWork()
{
    if (m_run != nullptr) {
        m_run->stop();
    }
}

void ModalDialog::stopOrHide()
{
    if (busy()) {
        stopWork();
        return;
    }
    hide();
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
