// ElidedLabel: a one-line label that shows a text too long for it with "..." and the whole text as its tooltip.
#pragma once

#include <QLabel>

namespace orvalis {

// text() is always the whole text; only the drawing is shortened, by default
// in the middle (a file name keeps its start and its extension). While the text is
// shortened the tooltip shows the whole of it; otherwise the tooltip set with
// setPlainToolTip.
class ElidedLabel : public QLabel {
public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    void setText(const QString& text);
    void setPlainToolTip(const QString& toolTip);
    void setElideMode(Qt::TextElideMode mode);
    // The text as drawn, and whether it is shortened.
    QString shownText() const;
    bool elided() const { return shownText() != text(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateToolTip();

    QString m_plainToolTip;
    Qt::TextElideMode m_mode = Qt::ElideMiddle;
};

} // namespace orvalis
