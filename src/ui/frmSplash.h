// frmSplash: the start-up window with the product name, shown for two seconds.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;

namespace orvalis {

// No caption, a fixed border. A key, or a click on its frame, closes it; a
// click on one of its labels does nothing.
class frmSplash : public QDialog {
    Q_OBJECT
public:
    explicit frmSplash(QWidget* parent = nullptr);

    QFrame* Frame1 = nullptr;
    QLabel* lblProductName = nullptr;
    QLabel* lblCopyright = nullptr;
    QLabel* lblCompany = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
};

} // namespace orvalis
