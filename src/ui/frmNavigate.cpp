// frmNavigate: labels, the cross of four buttons, moves that stop at the edges.
#include "ui/frmNavigate.h"

#include "common/NumberText.h"
#include "data/DataSet.h"
#include "ui/Trap.h"
#include "ui/Design.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace orvalis {

frmNavigate::frmNavigate(const DataSet& dataSet, QWidget* parent) : QDialog(parent), m_dataSet(dataSet)
{
    setObjectName("frmNavigate");
    setWindowTitle(QStringLiteral("Navigate Data File"));
    setFont(designFont());
    setFixedSize(twips(4785), twips(3360));

    lblRow = new QLabel(QStringLiteral("Row:"), this);
    lblRow->setObjectName("lblRow");
    lblRow->setGeometry(twips(3360, 120, 1095, 255));
    lblColumn = new QLabel(QStringLiteral("Column:"), this);
    lblColumn->setObjectName("lblColumn");
    lblColumn->setGeometry(twips(3360, 360, 1095, 255));
    fraNavigate = new QGroupBox(QStringLiteral("Navigate"), this);
    fraNavigate->setObjectName("fraNavigate");
    fraNavigate->setGeometry(twips(240, 840, 4335, 2295));
    lblCell = new QLabel(fraNavigate);
    lblCell->setObjectName("lblCell");
    lblCell->setGeometry(twips(1680, 1080, 975, 255));
    lblCell->setAlignment(Qt::AlignCenter);
    styleBoxLabel(lblCell, QPalette::HighlightedText);
    cmdUp = makeButton(fraNavigate, "cmdUp", QStringLiteral("Up"), twips(1560, 360, 1215, 495));
    cmdDown = makeButton(fraNavigate, "cmdDown", QStringLiteral("Down"), twips(1560, 1560, 1215, 495));
    cmdRight = makeButton(fraNavigate, "cmdRight", QStringLiteral("Right"), twips(2880, 960, 1215, 495));
    cmdLeft = makeButton(fraNavigate, "cmdLeft", QStringLiteral("Left"), twips(240, 960, 1215, 495));
    lblNumberOfRows = new QLabel(QStringLiteral("Number of rows: "), this);
    lblNumberOfRows->setObjectName("lblNumberOfRows");
    lblNumberOfRows->setGeometry(twips(360, 120, 2055, 255));
    lblNumberOfColumns = new QLabel(QStringLiteral("Number of columns:"), this);
    lblNumberOfColumns->setObjectName("lblNumberOfColumns");
    lblNumberOfColumns->setGeometry(twips(360, 360, 2055, 255));

    setTabOrder(cmdUp, cmdDown);
    setTabOrder(cmdDown, cmdRight);
    setTabOrder(cmdRight, cmdLeft);

    connect(cmdUp, &QPushButton::clicked, this, &frmNavigate::cmdUp_Click);
    connect(cmdDown, &QPushButton::clicked, this, &frmNavigate::cmdDown_Click);
    connect(cmdLeft, &QPushButton::clicked, this, &frmNavigate::cmdLeft_Click);
    connect(cmdRight, &QPushButton::clicked, this, &frmNavigate::cmdRight_Click);
    Form_Load();
}

QString frmNavigate::cellText(float value)
{
    return isMissing(value) ? QStringLiteral(".") : QString::fromStdString(formatFloat(value));
}

void frmNavigate::Form_Load()
{
    m_lngCurrentRow = 1;
    m_lngCurrentColumn = 1;
    lblNumberOfRows->setText(QStringLiteral("Number of rows: %1").arg(m_dataSet.NumCases()));
    lblNumberOfColumns->setText(QStringLiteral("Number of columns: %1").arg(m_dataSet.NumVariables()));
    lblRow->setText(QStringLiteral("Row: 1"));
    lblColumn->setText(QStringLiteral("Column: 1"));
    showCell();
}

void frmNavigate::showCell()
{
    lblCell->setText(cellText(m_dataSet.DataTable(m_lngCurrentRow, m_lngCurrentColumn)));
}

void frmNavigate::refresh()
{
    lblRow->setText(QStringLiteral("Row: %1").arg(m_lngCurrentRow));
    lblColumn->setText(QStringLiteral("Column: %1").arg(m_lngCurrentColumn));
    showCell();
}

void frmNavigate::cmdUp_Click()
{
    trap([&] {
        if (m_lngCurrentRow > 1) {
            --m_lngCurrentRow;
        }
        refresh();
    });
}

void frmNavigate::cmdDown_Click()
{
    trap([&] {
        if (m_lngCurrentRow < m_dataSet.NumCases()) {
            ++m_lngCurrentRow;
        }
        refresh();
    });
}

void frmNavigate::cmdLeft_Click()
{
    trap([&] {
        if (m_lngCurrentColumn > 1) {
            --m_lngCurrentColumn;
        }
        refresh();
    });
}

void frmNavigate::cmdRight_Click()
{
    trap([&] {
        if (m_lngCurrentColumn < m_dataSet.NumVariables()) {
            ++m_lngCurrentColumn;
        }
        refresh();
    });
}

} // namespace orvalis
