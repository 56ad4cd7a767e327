// frmNavigate: labels, the cross of four buttons, moves that stop at the edges.
#include "ui/frmNavigate.h"

#include "common/NumberText.h"
#include "common/TextEscape.h"
#include "data/DataSet.h"
#include "ui/Trap.h"
#include "ui/Design.h"
#include "ui/ElidedLabel.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace orvalis {

frmNavigate::frmNavigate(const DataSet& dataSet, QWidget* parent) : QDialog(parent), m_dataSet(dataSet)
{
    setUpDialog(this, "frmNavigate", QStringLiteral("Navigate Data File"), 4785, 3360);

    // A case label or a category's label may be longer than the label: cut, and whole in the tooltip.
    lblRow = makeControl<ElidedLabel>(this, "lblRow", twips(3360, 120, 1095, 255));
    lblRow->setText(QStringLiteral("Row:"));
    lblRow->setElideMode(Qt::ElideRight);
    lblColumn = makeControl<ElidedLabel>(this, "lblColumn", twips(3360, 360, 1095, 255));
    lblColumn->setText(QStringLiteral("Column:"));
    lblColumn->setElideMode(Qt::ElideRight);
    fraNavigate = makeControl<QGroupBox>(this, "fraNavigate", twips(240, 840, 4335, 2295), QStringLiteral("Navigate"));
    fraNavigate->setAccessibleDescription(
        QStringLiteral("Four buttons that move one cell, around the current cell's value"));
    lblCell = makeControl<ElidedLabel>(fraNavigate, "lblCell", twips(1680, 1080, 975, 255));
    lblCell->setElideMode(Qt::ElideRight);
    lblCell->setAlignment(Qt::AlignCenter);
    styleBoxLabel(lblCell, QPalette::HighlightedText);
    cmdUp = makeButton(fraNavigate, "cmdUp", QStringLiteral("Up"), twips(1560, 360, 1215, 495));
    cmdDown = makeButton(fraNavigate, "cmdDown", QStringLiteral("Down"), twips(1560, 1560, 1215, 495));
    cmdRight = makeButton(fraNavigate, "cmdRight", QStringLiteral("Right"), twips(2880, 960, 1215, 495));
    cmdLeft = makeButton(fraNavigate, "cmdLeft", QStringLiteral("Left"), twips(240, 960, 1215, 495));
    lblNumberOfRows =
        makeControl<QLabel>(this, "lblNumberOfRows", twips(360, 120, 2055, 255), QStringLiteral("Number of rows: "));
    lblNumberOfColumns = makeControl<QLabel>(this, "lblNumberOfColumns", twips(360, 360, 2055, 255),
                                             QStringLiteral("Number of columns:"));
    // Each label wide enough for the longest text it can show, so that no
    // value is ever cut into another one.
    fitWorstText(lblRow, QStringLiteral("Row: 2147483647"));
    fitWorstText(lblColumn, QStringLiteral("Column: 1000"));
    fitWorstText(lblCell, QStringLiteral("-8.888888E+38"));
    fitWorstText(lblNumberOfRows, QStringLiteral("Number of rows: 2147483647"));
    fitWorstText(lblNumberOfColumns, QStringLiteral("Number of columns: 1000"));

    setTabChain({cmdUp, cmdDown, cmdRight, cmdLeft});
    // Made wider, the row and column labels show more of a label or name; the
    // buttons keep their cross in the middle.
    allowGrowth(this, {{lblRow, 0, 0, 1, 0}, {lblColumn, 0, 0, 1, 0}, {fraNavigate, 0.5, 0.5, 0, 0}});

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
    showRow();
    showColumn();
    showCell();
}

void frmNavigate::showRow()
{
    const std::string& label = m_dataSet.caseLabel(m_lngCurrentRow);
    lblRow->setText(
        QStringLiteral("Row: %1").arg(m_lngCurrentRow)
        + (label.empty() ? QString() : QStringLiteral("  ") + QString::fromStdString(escapeControlCharacters(label))));
}

void frmNavigate::showColumn()
{
    const std::string& name = m_dataSet.VariableName(m_lngCurrentColumn);
    lblColumn->setText(
        QStringLiteral("Column: %1").arg(m_lngCurrentColumn)
        + (name.empty() ? QString() : QStringLiteral("  ") + QString::fromStdString(escapeControlCharacters(name))));
}

void frmNavigate::showCell()
{
    // A text variable's cell shows its category's label.
    const std::string& category = m_dataSet.categoryLabel(m_lngCurrentRow, m_lngCurrentColumn);
    // A labelled value (SPSS, Stata) shows its label after it: "1 (male)".
    const std::string& valueLabel = m_dataSet.valueLabel(m_lngCurrentRow, m_lngCurrentColumn);
    QString text = category.empty() ? cellText(m_dataSet.DataTable(m_lngCurrentRow, m_lngCurrentColumn))
                                    : QString::fromStdString(escapeControlCharacters(category));
    if (!valueLabel.empty()) {
        text += QStringLiteral(" (%1)").arg(QString::fromStdString(escapeControlCharacters(valueLabel)));
    }
    lblCell->setText(text);
}

void frmNavigate::refresh()
{
    showRow();
    showColumn();
    showCell();
}

void frmNavigate::step(std::int32_t& position, std::int32_t delta, std::int32_t last)
{
    trap([&] {
        const std::int32_t next = position + delta;
        if (next >= 1 && next <= last) {
            position = next;
        }
        refresh();
    });
}

void frmNavigate::cmdUp_Click()
{
    step(m_lngCurrentRow, -1, m_dataSet.NumCases());
}

void frmNavigate::cmdDown_Click()
{
    step(m_lngCurrentRow, 1, m_dataSet.NumCases());
}

void frmNavigate::cmdLeft_Click()
{
    step(m_lngCurrentColumn, -1, m_dataSet.NumVariables());
}

void frmNavigate::cmdRight_Click()
{
    step(m_lngCurrentColumn, 1, m_dataSet.NumVariables());
}

} // namespace orvalis
