// The output log: the text of txtOutput, its append rule and the Edit commands.
#pragma once

#include <QFont>
#include <QString>
#include <QTextOption>

#include <memory>

class QPlainTextEdit;
class QTextDocument;
class QThread;
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
    // Appends block as append does, then shows it: the caret at its first
    // line, and that line at the top of the view (or as near as the scroll
    // bar goes), so that a result asked for from another window is in sight.
    void appendAndShow(const QString& block);
    // The whole log, lines separated by CR LF.
    QString readAll() const;
    // Replaces the whole log (the empty text clears it).
    void replaceAll(QString text);

    // Replacing a large log in steps, so that the text box's document (one
    // block per line, the slow part) is built away from the window's thread:
    // take the style here, build the document on any thread, adopt it here.
    struct DocumentStyle {
        QFont font;
        QTextOption option;
    };
    DocumentStyle documentStyle() const;
    // A document of the log text (lines broken by CR LF, CR or a lone LF) laid
    // out like the log's own, handed to the thread owner. Throws std::bad_alloc.
    static std::unique_ptr<QTextDocument> buildDocument(QString text, const DocumentStyle& style, QThread* owner);
    // Makes document the log's text; the log owns it from now on.
    void adoptDocument(std::unique_ptr<QTextDocument> document);

    // The Edit commands. focusOnLog says whether the log is the focused
    // control of the active window (the focus condition).
    void cut(Platform& platform, bool focusOnLog);
    void copy(Platform& platform, bool focusOnLog);
    void paste(Platform& platform, bool focusOnLog);
    void clear();

    // Whether the log holds text that changed (an appended result, an edit)
    // since it was last saved or opened. An empty log has nothing to lose.
    bool hasUnsavedResults() const;
    // The log's text is now in a file.
    void markSaved();

private:
    QString selectedText() const;
    // Caret at the start, both scroll bars at their beginning.
    void showFromTheStart();

    QPlainTextEdit* m_textBox;
};

} // namespace orvalis
