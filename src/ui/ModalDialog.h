// The behaviour every modal dialog of the program shares.
#pragma once

#include <QDialog>

namespace orvalis {

class BackgroundRun;

// Hidden (not destroyed) by its own buttons so that it keeps its state; a
// close through the window's close box marks it discarded, and its owner then
// destroys it, so the next opening builds it afresh. No button is the
// dialog's escape button (their Cancel buttons are ordinary buttons), so
// Escape does nothing unless the dialog says otherwise (escapeWhenIdle).
// While busy() is true the dialog cannot be closed: the close box and Escape
// ask its work to stop (stopWork) instead. A dialog whose work is a
// BackgroundRun names it (runsInBackground): it is then busy while the run
// goes on, and its work stops with the run.
class ModalDialog : public QDialog {
    Q_OBJECT
public:
    explicit ModalDialog(QWidget* parent);

    bool discarded() const { return m_discarded; }

protected:
    // Whether the dialog's work is under way: by default, its BackgroundRun's.
    virtual bool busy() const;
    // Asks the work that keeps the dialog busy to stop: the close box and
    // Escape do this while busy() is true, and the dialog stays open. By
    // default the BackgroundRun is asked to stop.
    virtual void stopWork();
    // The dialog's long work; run must outlive every use of the dialog's
    // events (a member of the dialog, destroyed with it).
    void runsInBackground(BackgroundRun& run) { m_run = &run; }
    // What the dialog's Cancel or Close button does: stops the work under
    // way, or, while the dialog is idle, hides it.
    void stopOrHide();
    // What Escape does while the dialog is idle: nothing, unless a dialog
    // makes it its Cancel.
    virtual void escapeWhenIdle() {}
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool m_discarded = false;
    BackgroundRun* m_run = nullptr;
};

} // namespace orvalis
