// The output log: the text of txtOutput, its append rule and the Edit commands.
#pragma once

#include <QString>

class QPlainTextEdit;
class QWidget;

namespace orvalis {

class Platform;

// Works on the multi-line text box that holds the log. The log's line breaks
// are CR LF: text handed in may break lines with CR, CR LF or a lone LF, and
// readAll() gives every line break back as CR LF.
class OutputLog {
public:
    explicit OutputLog(QPlainTextEdit* textBox);

    // Creates the log's text box: editable, no initial text, the system's
    // fixed-pitch font, both scroll bars, no wrapping.
    static QPlainTextEdit* createTextBox(QWidget* parent);

    // Appends block at the very end in one step, adding nothing in between.
    // The caret then stands at the start and the view shows the beginning, as
    // for any newly set text.
    void append(const QString& block);
    // The whole log, lines separated by CR LF.
    QString readAll() const;
    // Replaces the whole log (the empty text clears it).
    void replaceAll(QString text);

    // The Edit commands. focusOnLog says whether the log is the focused
    // control of the active window (the focus condition).
    void cut(Platform& platform, bool focusOnLog);
    void copy(Platform& platform, bool focusOnLog);
    void paste(Platform& platform, bool focusOnLog);
    void clear();

private:
    QString selectedText() const;

    QPlainTextEdit* m_textBox;
};

} // namespace orvalis
