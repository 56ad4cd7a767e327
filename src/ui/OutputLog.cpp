// OutputLog on a QPlainTextEdit.
#include "ui/OutputLog.h"

#include "platform/Platform.h"
#include "ui/OutputFiles.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QThread>

namespace orvalis {

OutputLog::OutputLog(QPlainTextEdit* textBox) : m_textBox(textBox)
{
}

QPlainTextEdit* OutputLog::createTextBox(QWidget* parent)
{
    auto* box = new QPlainTextEdit(parent);
    box->setObjectName("txtOutput");
    // The reports line their columns up with blanks, so the font must be
    // fixed-pitch even where the platform theme names no fixed font.
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const QFontMetrics metrics(font);
    if (metrics.horizontalAdvance(QLatin1Char('i')) != metrics.horizontalAdvance(QLatin1Char('W'))) {
        font.setFamily(QStringLiteral("monospace"));
        font.setStyleHint(QFont::Monospace);
        font.setFixedPitch(true);
    }
    // Regular weight, set explicitly so the bold frame around the box does not pass on its weight.
    font.setBold(false);
    box->setFont(font);
    box->setLineWrapMode(QPlainTextEdit::NoWrap);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setReadOnly(false);
    // Undoing would take back whole reports; the log has no undo.
    box->setUndoRedoEnabled(false);
    return box;
}

void OutputLog::append(const QString& block)
{
    QTextCursor end(m_textBox->document());
    end.movePosition(QTextCursor::End);
    end.insertText(toBoxLineBreaks(block));
    showFromTheStart();
}

void OutputLog::appendAndShow(const QString& block)
{
    QTextCursor end(m_textBox->document());
    end.movePosition(QTextCursor::End);
    const int start = end.position();
    end.insertText(toBoxLineBreaks(block));
    QTextCursor first(m_textBox->document());
    first.setPosition(start);
    m_textBox->setTextCursor(first);
    // The scroll bar of a plain text box counts lines (blocks).
    m_textBox->verticalScrollBar()->setValue(first.blockNumber());
    m_textBox->horizontalScrollBar()->setValue(0);
}

void OutputLog::showFromTheStart()
{
    m_textBox->setTextCursor(QTextCursor(m_textBox->document()));
    m_textBox->verticalScrollBar()->setValue(0);
    m_textBox->horizontalScrollBar()->setValue(0);
}

QString OutputLog::readAll() const
{
    return toLogLineBreaks(m_textBox->toPlainText());
}

void OutputLog::replaceAll(QString text)
{
    m_textBox->setPlainText(toBoxLineBreaks(std::move(text)));
    m_textBox->document()->setModified(false);
}

OutputLog::DocumentStyle OutputLog::documentStyle() const
{
    const QTextDocument* document = m_textBox->document();
    return {document->defaultFont(), document->defaultTextOption()};
}

std::unique_ptr<QTextDocument> OutputLog::buildDocument(QString text, const DocumentStyle& style, QThread* owner)
{
    auto document = std::make_unique<QTextDocument>();
    document->setUndoRedoEnabled(false);
    document->setDefaultFont(style.font);
    document->setDefaultTextOption(style.option);
    document->setDocumentLayout(new QPlainTextDocumentLayout(document.get()));
    document->setPlainText(toBoxLineBreaks(std::move(text)));
    document->moveToThread(owner);
    return document;
}

void OutputLog::adoptDocument(std::unique_ptr<QTextDocument> document)
{
    // The box deletes its previous document, a child of its own, and this one
    // with itself.
    QTextDocument* adopted = document.release();
    adopted->setParent(m_textBox);
    m_textBox->setDocument(adopted);
    adopted->setModified(false);
    showFromTheStart();
}

QString OutputLog::selectedText() const
{
    // QTextCursor marks line breaks in a selection with U+2029.
    QString text = m_textBox->textCursor().selectedText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

void OutputLog::cut(Platform& platform, bool focusOnLog)
{
    platform.clearClipboard();
    if (!focusOnLog) {
        return;
    }
    platform.setClipboardText(selectedText());
    QTextCursor cursor = m_textBox->textCursor();
    cursor.removeSelectedText();
    m_textBox->setTextCursor(cursor);
}

void OutputLog::copy(Platform& platform, bool focusOnLog)
{
    platform.clearClipboard();
    if (focusOnLog) {
        platform.setClipboardText(selectedText());
    }
}

void OutputLog::paste(Platform& platform, bool focusOnLog)
{
    if (!focusOnLog) {
        return;
    }
    const QString text = toBoxLineBreaks(platform.clipboardText());
    QTextCursor cursor = m_textBox->textCursor();
    cursor.insertText(text);
    m_textBox->setTextCursor(cursor);
}

void OutputLog::clear()
{
    m_textBox->clear();
}

bool OutputLog::hasUnsavedResults() const
{
    const QTextDocument* document = m_textBox->document();
    return document->isModified() && !document->isEmpty();
}

void OutputLog::markSaved()
{
    m_textBox->document()->setModified(false);
}

} // namespace orvalis
