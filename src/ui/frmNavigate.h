// frmNavigate: steps through the data table one cell at a time.
#pragma once

#include <QDialog>

#include <cstdint>

class QGroupBox;
class QLabel;
class QPushButton;

namespace orvalis {

class ElidedLabel;

class DataSet;

class frmNavigate : public QDialog {
    Q_OBJECT
public:
    // Form_Load runs here and reads cell [1][1]: throws SubscriptError when
    // the table has no row 1, and then the window must not be shown.
    frmNavigate(const DataSet& dataSet, QWidget* parent);

    // The current cell (1-based row and column).
    std::int32_t currentRow() const { return m_lngCurrentRow; }
    std::int32_t currentColumn() const { return m_lngCurrentColumn; }

    ElidedLabel* lblRow = nullptr;
    // "Column: 3", or "Column: 3  Education" (shortened at its end, whole in
    // the tooltip) when the file named the variable.
    ElidedLabel* lblColumn = nullptr;
    QGroupBox* fraNavigate = nullptr;
    ElidedLabel* lblCell = nullptr;
    QPushButton* cmdUp = nullptr;
    QPushButton* cmdDown = nullptr;
    QPushButton* cmdRight = nullptr;
    QPushButton* cmdLeft = nullptr;
    QLabel* lblNumberOfRows = nullptr;
    QLabel* lblNumberOfColumns = nullptr;

    void cmdUp_Click();
    void cmdDown_Click();
    void cmdLeft_Click();
    void cmdRight_Click();

    // The cell text: "." for a missing value, otherwise the float's text form.
    static QString cellText(float value);

private:
    std::int32_t m_lngCurrentRow = 1;
    std::int32_t m_lngCurrentColumn = 1;

    void Form_Load();
    // Moves position by delta when it stays within 1..last, then refreshes.
    void step(std::int32_t& position, std::int32_t delta, std::int32_t last);
    void refresh();
    void showCell();
    void showRow();
    void showColumn();

    const DataSet& m_dataSet;
};

} // namespace orvalis
