// frmDescriptives: chooses variables and appends their descriptive statistics to the log.
#pragma once

#include "ui/ModalDialog.h"

#include <cstdint>
#include <vector>

class QGroupBox;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QRadioButton;

namespace orvalis {

class DataSet;
class OutputLog;
class Platform;

class frmDescriptives : public ModalDialog {
    Q_OBJECT
public:
    frmDescriptives(Platform& platform, const DataSet& dataSet, OutputLog& log, QWidget* parent);

    QGroupBox* fraSelectItems = nullptr;
    QListWidget* lstItems = nullptr;
    QRadioButton* optRanges = nullptr;
    QRadioButton* optIndividual = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

    void lstItems_ItemCheck(int item);
    void cmdOK_Click();
    void cmdCancel_Click();

    // The variables of the checked items, in list order.
    std::vector<std::int32_t> selection() const;

private:
    void Form_Load();

    Platform& m_platform;
    const DataSet& m_dataSet;
    OutputLog& m_log;
};

} // namespace orvalis
