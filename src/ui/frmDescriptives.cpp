// frmDescriptives: the check list with its range fill, OK and Cancel.
#include "ui/frmDescriptives.h"

#include "analyses/Descriptives.h"
#include "analyses/RequestCheck.h"
#include "data/DataSet.h"
#include "platform/Platform.h"
#include "ui/OutputLog.h"
#include "ui/Trap.h"
#include "ui/Design.h"

#include <QApplication>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

namespace orvalis {

frmDescriptives::frmDescriptives(Platform& platform, const DataSet& dataSet, OutputLog& log, QWidget* parent)
    : ModalDialog(parent), m_platform(platform), m_dataSet(dataSet), m_log(log)
{
    setUpDialog(this, "frmDescriptives", QStringLiteral("Descriptives"), 3435, 5235);

    fraSelectItems =
        makeControl<QGroupBox>(this, "fraSelectItems", twips(240, 120, 3015, 4215), QStringLiteral("Select Items"));
    lstItems = makeControl<QListWidget>(fraSelectItems, "lstItems", twips(360, 360, 1935, 2760));
    // What a screen reader announces.
    lstItems->setAccessibleName(QStringLiteral("Variables"));
    fraSelectItems->setAccessibleDescription(
        QStringLiteral("The variables to describe, and how a click checks them: one by one or as a range"));
    optRanges = makeControl<QRadioButton>(fraSelectItems, "optRanges", twips(240, 3480, 1815, 255),
                                          QStringLiteral("Range of Items"));
    // The caption's spelling is the program's own, kept on purpose.
    optIndividual = makeControl<QRadioButton>(fraSelectItems, "optIndividual", twips(240, 3840, 2055, 255),
                                              QStringLiteral("Individiual Items"));
    cmdOK = makeButton(this, "cmdOK", QStringLiteral("OK"), twips(360, 4560, 1215, 495));
    cmdCancel = makeButton(this, "cmdCancel", QStringLiteral("Cancel"), twips(1920, 4560, 1215, 495));
    setTabChain({lstItems, optRanges, optIndividual, cmdOK, cmdCancel});
    // Made larger, the list takes the room, so long names can be read.
    allowGrowth(this, {{fraSelectItems, 0, 0, 1, 1},
                       {lstItems, 0, 0, 1, 1},
                       {optRanges, 0, 1, 0, 0},
                       {optIndividual, 0, 1, 0, 0},
                       {cmdOK, 0, 1, 0, 0},
                       {cmdCancel, 0, 1, 0, 0}});

    Form_Load();
    connect(lstItems, &QListWidget::itemChanged, this,
            [this](QListWidgetItem* item) { lstItems_ItemCheck(lstItems->row(item)); });
    connect(cmdOK, &QPushButton::clicked, this, &frmDescriptives::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmDescriptives::cmdCancel_Click);
}

void frmDescriptives::Form_Load()
{
    for (std::int32_t v = 1; v <= m_dataSet.NumVariables(); ++v) {
        addCheckItem(lstItems, QString::fromStdString(m_dataSet.variableCaption(v)));
    }
    optRanges->setChecked(true);
}

void frmDescriptives::lstItems_ItemCheck(int item)
{
    trap([&] {
        if (!optRanges->isChecked() || item <= 0 || lstItems->item(item)->checkState() != Qt::Checked) {
            return;
        }
        int above = item - 1;
        while (above >= 0 && lstItems->item(above)->checkState() != Qt::Checked) {
            --above;
        }
        if (above < 0) {
            return;
        }
        for (int m = item - 1; m >= above; --m) {
            if (lstItems->item(m)->checkState() == Qt::Checked) {
                break;
            }
            lstItems->item(m)->setCheckState(Qt::Checked);
        }
    });
}

std::vector<std::int32_t> frmDescriptives::selection() const
{
    std::vector<std::int32_t> variables;
    for (int k = 0; k < lstItems->count(); ++k) {
        if (lstItems->item(k)->checkState() == Qt::Checked) {
            variables.push_back(k + 1);
        }
    }
    return variables;
}

void frmDescriptives::cmdOK_Click()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    trap(
        [&] {
            const std::vector<std::int32_t> variables = selection();
            if (variables.empty()) {
                QApplication::restoreOverrideCursor();
                m_platform.warn(this, QStringLiteral("At least one item must be selected."),
                                QString::fromLatin1(AnalysisErrorTitle));
                return;
            }
            const Outcome<std::vector<DescriptivesRow>> rows = ComputeDescriptives(m_dataSet, variables);
            if (!rows.ok()) {
                QApplication::restoreOverrideCursor();
                m_platform.warn(this, rows.refusal());
                return;
            }
            m_log.append(QString::fromStdString(FormatDescriptivesReport(*rows)));
            QApplication::restoreOverrideCursor();
            hide();
        },
        [&](const char* reason) {
            QApplication::restoreOverrideCursor();
            m_platform.warn(this, QString::fromUtf8(reason), QString::fromLatin1(AnalysisErrorTitle));
        });
}

void frmDescriptives::cmdCancel_Click()
{
    hide();
}

} // namespace orvalis
