// The behaviour every modal dialog of the program shares.
#pragma once

#include <QDialog>

namespace orvalis {

// Hidden (not destroyed) by its own buttons so that it keeps its state; a
// close through the window's close box marks it discarded, and its owner then
// destroys it, so the next opening builds it afresh. No button is the
// dialog's escape button (their Cancel buttons are ordinary buttons), so
// Escape does nothing unless the dialog says otherwise (escapeWhenIdle).
// While busy() is true the dialog cannot be closed: the close box and Escape
// ask its work to stop (stopWork) instead.
class ModalDialog : public QDialog {
    Q_OBJECT
public:
    explicit ModalDialog(QWidget* parent);

    bool discarded() const { return m_discarded; }

protected:
    virtual bool busy() const { return false; }
    // Asks the work that keeps the dialog busy to stop: the close box and
    // Escape do this while busy() is true, and the dialog stays open.
    virtual void stopWork() {}
    // What Escape does while the dialog is idle: nothing, unless a dialog
    // makes it its Cancel.
    virtual void escapeWhenIdle() {}
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool m_discarded = false;
};

} // namespace orvalis
