// FigureWidget: a figure shown on the screen as it will print; the base of the program's plots, whose drawing and
// exports are the Figure's.
#pragma once

#include "figures/Figure.h"

#include <QWidget>

namespace orvalis {

class FigureWidget : public QWidget, public Figure {
    Q_OBJECT
public:
    // The figure's new size and choices, and the screen's picture redrawn.
    void setFigure(const FigureSpec& figure);

protected:
    // title: the SVG and PDF files' title.
    FigureWidget(QString title, QWidget* parent);
    // The figure as it will print, scaled to fit the widget.
    void paintEvent(QPaintEvent* event) override;
};

} // namespace orvalis
