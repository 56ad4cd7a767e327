// ElidedLabel: the frame and background of a QLabel, the text elided to its contents rectangle.
#include "ui/ElidedLabel.h"

#include <QPainter>
#include <QStyle>

#include <algorithm>

namespace orvalis {

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent)
{
}

void ElidedLabel::setText(const QString& text)
{
    QLabel::setText(text);
    updateToolTip();
}

void ElidedLabel::setPlainToolTip(const QString& toolTip)
{
    m_plainToolTip = toolTip;
    updateToolTip();
}

void ElidedLabel::setElideMode(Qt::TextElideMode mode)
{
    m_mode = mode;
    update();
    updateToolTip();
}

QString ElidedLabel::shownText() const
{
    const int room = contentsRect().width() - 2 * margin() - std::max(indent(), 0);
    return fontMetrics().elidedText(text(), m_mode, room);
}

void ElidedLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    drawFrame(&painter);
    const QRect room = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    style()->drawItemText(&painter, room, static_cast<int>(alignment()), palette(), isEnabled(), shownText(),
                          foregroundRole());
}

void ElidedLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    updateToolTip();
}

void ElidedLabel::updateToolTip()
{
    setToolTip(elided() ? text() : m_plainToolTip);
}

} // namespace orvalis
