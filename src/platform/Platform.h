// The platform services windows rely on: message boxes, clipboard and a random seed.
#pragma once

#include "common/Outcome.h"

#include <QString>

#include <cstdint>

class QImage;
class QWidget;

namespace orvalis {

// What the windows take from the desktop, gathered behind one interface so
// that tests can answer message boxes, own the clipboard and fix the seed.
class Platform {
public:
    // YesNo has No as its default and escape button (a question whose Yes
    // destroys something); YesNoCancel has Yes as its default.
    enum class Buttons { Ok, YesNo, YesNoCancel };
    enum class Answer { Ok, Yes, No, Cancel };

    virtual ~Platform() = default;

    // A modal message box with the warning icon; blocks until answered and
    // returns the button pressed (Cancel when the box is closed otherwise, No
    // for a YesNo box).
    virtual Answer messageBox(QWidget* parent, const QString& text, const QString& title, Buttons buttons) = 0;

    // A modal box that tells (the About box): the information icon and OK.
    virtual void informationBox(QWidget* parent, const QString& text, const QString& title) = 0;

    // The system clipboard, plain text only. clipboardText() is empty when the
    // clipboard holds no text. clearClipboard() leaves the empty text on it.
    virtual void clearClipboard() = 0;
    virtual void setClipboardText(const QString& text) = 0;
    virtual QString clipboardText() = 0;

    // Puts a picture on the clipboard.
    virtual void setClipboardImage(const QImage& image) = 0;

    // Puts formatted text on the clipboard: html for the programs that take
    // it (a word processor pastes a table as a table), text for the others.
    virtual void setClipboardHtml(const QString& html, const QString& text) = 0;

    // Asks where to save a file: a path, or the empty text when the user
    // cancels. filter is a file-dialog filter such as "PNG image (*.png)".
    virtual QString saveFileName(QWidget* parent, const QString& caption, const QString& filter,
                                 const QString& suggestedName) = 0;

    // Asks the user to pick one of items (a workbook's sheets): the item, or
    // the empty text when the user cancels.
    virtual QString chooseItem(QWidget* parent, const QString& title, const QString& label,
                               const QStringList& items) = 0;

    // Opens a local file (the user guide) in the desktop's viewer; false when
    // none could.
    virtual bool openFile(const QString& path) = 0;

    // A fresh seed for the random generator (taken from the clock).
    virtual std::uint64_t randomSeed() = 0;

    // Shorthand for the one-button warning.
    void warn(QWidget* parent, const QString& text, const QString& title)
    {
        messageBox(parent, text, title, Buttons::Ok);
    }
    // A refusal's message under its title.
    void warn(QWidget* parent, const Refusal& refusal)
    {
        warn(parent, QString::fromStdString(refusal.message), QString::fromStdString(refusal.title));
    }
};

} // namespace orvalis
