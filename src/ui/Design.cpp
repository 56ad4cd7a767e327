// The design helpers that are more than a few lines: Enter on buttons and labels sized for their longest text.
#include "ui/Design.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace orvalis {
namespace {

// Clicks the button that receives an unmodified Enter or Return.
class EnterPresses : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
            if (enter && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
                static_cast<QPushButton*>(watched)->click();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void pressOnEnter(QPushButton* button)
{
    // One filter serves every button; it lives as long as the program.
    static EnterPresses* const filter = new EnterPresses;
    button->installEventFilter(filter);
}

namespace {

// Places the listed controls for the window's size: their design rectangles
// plus their shares of the room beyond the design size.
class Growth : public QObject {
public:
    Growth(QWidget* window, std::vector<GrowthShare> shares) : QObject(window), m_design(window->size())
    {
        for (const GrowthShare& share : shares) {
            m_rules.emplace_back(share, share.control->geometry());
        }
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize) {
            const QSize now = static_cast<QWidget*>(watched)->size();
            const int extraWidth = std::max(0, now.width() - m_design.width());
            const int extraHeight = std::max(0, now.height() - m_design.height());
            for (const auto& [share, design] : m_rules) {
                share.control->setGeometry(design.x() + static_cast<int>(share.x * extraWidth),
                                           design.y() + static_cast<int>(share.y * extraHeight),
                                           design.width() + static_cast<int>(share.width * extraWidth),
                                           design.height() + static_cast<int>(share.height * extraHeight));
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QSize m_design;
    std::vector<std::pair<GrowthShare, QRect>> m_rules;
};

} // namespace

void allowGrowth(QWidget* window, std::vector<GrowthShare> shares)
{
    window->setMinimumSize(window->size());
    window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    window->installEventFilter(new Growth(window, std::move(shares)));
}

void fitWorstText(QLabel* label, const QString& worst)
{
    const int chrome = label->width() - label->contentsRect().width() + 2 * label->margin() + 2;
    const int needed = label->fontMetrics().horizontalAdvance(worst) + chrome;
    const QRect r = label->geometry();
    if (needed <= r.width()) {
        return;
    }
    const int extra = needed - r.width();
    int left = r.x();
    if (label->alignment() & Qt::AlignHCenter) {
        left -= extra / 2;
    } else if (const QWidget* parent = label->parentWidget(); parent != nullptr && r.x() + needed > parent->width()) {
        left = std::max(0, parent->width() - needed);
    }
    label->setGeometry(std::max(0, left), r.y(), needed, r.height());
}

} // namespace orvalis
