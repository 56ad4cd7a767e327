// The output log: the append rule, read all with CR LF, replace all, and the four Edit commands.
#include "FakePlatform.h"
#include "ui/OutputLog.h"

#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>

#include <gtest/gtest.h>

#include <memory>

namespace orvalis {
namespace {

class OutputLogTest : public ::testing::Test {
protected:
    void select(int start, int length)
    {
        QTextCursor cursor = box->textCursor();
        cursor.setPosition(start);
        cursor.setPosition(start + length, QTextCursor::KeepAnchor);
        box->setTextCursor(cursor);
    }

    std::unique_ptr<QPlainTextEdit> box{OutputLog::createTextBox(nullptr)};
    OutputLog log{box.get()};
    test::FakePlatform platform;
};

TEST_F(OutputLogTest, TextBoxProperties)
{
    EXPECT_EQ(box->objectName(), "txtOutput");
    EXPECT_FALSE(box->isReadOnly());
    EXPECT_EQ(box->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(box->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    // The reports line columns up with blanks: every character as wide as a blank.
    const QFontMetrics metrics(box->font());
    for (const char c : {'i', 'W', '.', '1', '-'}) {
        EXPECT_EQ(metrics.horizontalAdvance(QLatin1Char(c)), metrics.horizontalAdvance(QLatin1Char(' '))) << c;
    }
    EXPECT_EQ(log.readAll(), "");

    // Inside a bold frame the log stays regular.
    QWidget frame;
    QFont bold = frame.font();
    bold.setBold(true);
    frame.setFont(bold);
    std::unique_ptr<QPlainTextEdit> inner{OutputLog::createTextBox(&frame)};
    EXPECT_FALSE(inner->font().bold());
    inner.release(); // owned by frame
}

TEST_F(OutputLogTest, AppendAddsNothingBetweenBlocks)
{
    log.append("First\r\nblock\r\n\r\n");
    log.append("Second\r\n");
    EXPECT_EQ(log.readAll(), "First\r\nblock\r\n\r\nSecond\r\n");

    // Typed text is followed directly by the next block.
    QTextCursor end = box->textCursor();
    end.movePosition(QTextCursor::End);
    end.insertText("typed");
    log.append("Third\r\n");
    EXPECT_EQ(log.readAll(), "First\r\nblock\r\n\r\nSecond\r\ntypedThird\r\n");
}

TEST_F(OutputLogTest, AppendShowsTheTextFromTheBeginning)
{
    for (int i = 0; i < 200; ++i) {
        log.append(QString("line %1\r\n").arg(i));
    }
    EXPECT_EQ(box->textCursor().position(), 0);
    EXPECT_EQ(box->verticalScrollBar()->value(), 0);
}

TEST_F(OutputLogTest, ReplaceAllAcceptsAnyLineBreakAndReadsBackCrLf)
{
    log.replaceAll("a\r\nb\nc\rd");
    EXPECT_EQ(log.readAll(), "a\r\nb\r\nc\r\nd");
    log.replaceAll("");
    EXPECT_EQ(log.readAll(), "");
}

TEST_F(OutputLogTest, CopyPutsTheSelectionOnTheClipboardOnlyWithFocus)
{
    log.replaceAll("Hello\r\nWorld");
    select(3, 5); // "lo", the line break, "Wo"
    platform.clipboard = "old";
    log.copy(platform, true);
    EXPECT_EQ(platform.clipboard, QString("lo\nWo"));
    EXPECT_EQ(log.readAll(), "Hello\r\nWorld");

    platform.clipboard = "old";
    log.copy(platform, false);
    EXPECT_EQ(platform.clipboard, QString("")); // emptied, nothing copied

    select(2, 0);
    platform.clipboard = "old";
    log.copy(platform, true);
    EXPECT_EQ(platform.clipboard, QString(""));
}

TEST_F(OutputLogTest, CutDeletesTheSelectionOnlyWithFocus)
{
    log.replaceAll("Hello\r\nWorld");
    select(3, 5);
    log.cut(platform, false);
    EXPECT_EQ(platform.clipboard, QString(""));
    EXPECT_EQ(log.readAll(), "Hello\r\nWorld");

    log.cut(platform, true);
    EXPECT_EQ(platform.clipboard, QString("lo\nWo"));
    EXPECT_EQ(log.readAll(), "Helrld");
    EXPECT_EQ(box->textCursor().position(), 3);

    select(1, 0);
    log.cut(platform, true);
    EXPECT_EQ(platform.clipboard, QString(""));
    EXPECT_EQ(log.readAll(), "Helrld");
}

TEST_F(OutputLogTest, PasteReplacesTheSelection)
{
    log.replaceAll("Hello World");
    select(6, 5);
    platform.clipboard = "there\r\nfriend";
    log.paste(platform, false);
    EXPECT_EQ(log.readAll(), "Hello World");

    log.paste(platform, true);
    EXPECT_EQ(log.readAll(), "Hello there\r\nfriend");
    EXPECT_FALSE(box->textCursor().hasSelection());
    EXPECT_EQ(box->textCursor().position(), 6 + 12);
    EXPECT_EQ(platform.clipboard, QString("there\r\nfriend")); // not touched

    // A clipboard without text deletes the selection.
    select(0, 6);
    platform.clipboard.reset();
    log.paste(platform, true);
    EXPECT_EQ(log.readAll(), "there\r\nfriend");
}

TEST_F(OutputLogTest, ClearEmptiesTheLog)
{
    log.clear();
    EXPECT_EQ(log.readAll(), "");
    log.append("Report\r\n");
    log.clear();
    EXPECT_EQ(log.readAll(), "");
}

} // namespace
} // namespace orvalis
