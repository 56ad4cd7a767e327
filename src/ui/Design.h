// Design values in twips, the design font, and controls built from the design tables.
#pragma once

#include <QRect>

namespace orvalis {

// 15 twips make one pixel at 96 dpi; Qt scales device-independent pixels on
// high-DPI screens.
constexpr int TwipsPerPixel = 15;

constexpr int twips(int value)
{
    return value / TwipsPerPixel;
}

// A design rectangle (Left, Top, Width, Height in twips).
inline QRect twips(int left, int top, int width, int height)
{
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

constexpr int toTwips(int pixels)
{
    return pixels * TwipsPerPixel;
}

} // namespace orvalis

#include <QApplication>
#include <QFont>
#include <QWidget>

#include <vector>

class QLabel;
class QPushButton;

namespace orvalis {

// The busy pointer for as long as it lives, however the scope is left.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// The design's 8.25-point dialog font, in the desktop's own family; bold is
// set either way, so that children of a bold frame can be regular.
inline QFont designFont(bool bold = false)
{
    QFont font = QApplication::font();
    font.setPointSizeF(8.25);
    font.setBold(bold);
    return font;
}

// Widens a label whose design width is too narrow for the longest text it can
// show (worst), in its own font: a centred label grows on both sides, any
// other to the right, or to the left where the right would leave its parent.
void fitWorstText(QLabel* label, const QString& worst);

// The design widths were made for a narrower font: a control whose caption
// needs more room grows, to the right or (for a label that sits left of a
// field) to the left, keeping its other edge where the design put it.
inline void fitCaption(QWidget* control, bool growLeft = false)
{
    const int needed = control->sizeHint().width();
    if (needed <= control->width()) {
        return;
    }
    const QRect r = control->geometry();
    if (growLeft) {
        control->setGeometry(r.right() + 1 - needed, r.y(), needed, r.height());
    } else {
        control->resize(needed, r.height());
    }
}

} // namespace orvalis

#include <QPushButton>

#include <initializer_list>
#include <utility>

namespace orvalis {

// A control of type T, named as in the design, at its design rectangle
// (twips). args go to T's constructor ahead of the parent (a caption, say).
template <typename T, typename... Args>
T* makeControl(QWidget* parent, const char* name, const QRect& design, Args&&... args)
{
    auto* control = new T(std::forward<Args>(args)..., parent);
    control->setObjectName(name);
    control->setGeometry(design);
    return control;
}

// The focus order of the design: each widget passes the focus to the next.
inline void setTabChain(std::initializer_list<QWidget*> order)
{
    QWidget* const* w = order.begin();
    for (std::size_t k = 1; k < order.size(); ++k) {
        QWidget::setTabOrder(w[k - 1], w[k]);
    }
}

// A window named as in the design, with its caption, the design font and its
// fixed size (twips).
inline void setUpDialog(QWidget* window, const char* name, const QString& caption, int widthTwips, int heightTwips)
{
    window->setObjectName(name);
    window->setWindowTitle(caption);
    window->setFont(designFont());
    window->setFixedSize(twips(widthTwips), twips(heightTwips));
}

// What a control takes of the room a dialog gains beyond its design size:
// shares (0 to 1) of the extra width and height by which it moves (x, y) and
// grows (width, height).
struct GrowthShare {
    QWidget* control;
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
};

// Lets window be made larger than its design size, which stays its least
// size and at which every control stays exactly where the design puts it;
// beyond it each control listed moves and grows by its shares. Call once
// every control is placed.
void allowGrowth(QWidget* window, std::vector<GrowthShare> shares);

// A button at its design rectangle (twips). No button of the program is a
// default button: Enter does not press it unless it has the focus.
// Makes Enter (and the keypad's Enter) press button while it has the focus,
// as Space does; a button that is not a default button ignores Enter otherwise.
void pressOnEnter(QPushButton* button);

inline QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, const QRect& design)
{
    auto* button = makeControl<QPushButton>(parent, name, design, caption);
    pressOnEnter(button);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

} // namespace orvalis

#include <QLabel>
#include <QListWidget>

namespace orvalis {

// A label drawn as a single-bordered box with the given background role (text
// in the highlighted-text colour on a highlight background).
inline void styleBoxLabel(QLabel* label, QPalette::ColorRole background)
{
    label->setFrameStyle(QFrame::Box | QFrame::Plain);
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, palette.color(background));
    if (background == QPalette::Highlight) {
        palette.setColor(QPalette::WindowText, palette.color(QPalette::HighlightedText));
    }
    label->setPalette(palette);
}

// Appends an unchecked item with a check box to a check list.
inline void addCheckItem(QListWidget* list, const QString& text)
{
    auto* item = new QListWidgetItem(text);
    // A long name the list cuts shows whole in the tooltip.
    item->setToolTip(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
    item->setCheckState(Qt::Unchecked);
    list->addItem(item);
}

} // namespace orvalis
