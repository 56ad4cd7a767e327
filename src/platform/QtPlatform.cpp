// QtPlatform: QMessageBox, QClipboard and a seed from the clock.
#include "platform/QtPlatform.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QDateTime>
#include <QDesktopServices>
#include <QUrl>
#include <QFileDialog>
#include <QImage>
#include <QInputDialog>
#include <QMessageBox>

namespace orvalis {

QtPlatform::QtPlatform()
{
    m_clock.start();
}

Platform::Answer QtPlatform::messageBox(QWidget* parent, const QString& text, const QString& title, Buttons buttons)
{
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::NoButton, parent);
    if (buttons == Buttons::Ok) {
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
    } else if (buttons == Buttons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel);
    }
    switch (box.exec()) {
    case QMessageBox::Ok:
        return Answer::Ok;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return buttons == Buttons::Ok ? Answer::Ok : buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    }
}

void QtPlatform::informationBox(QWidget* parent, const QString& text, const QString& title)
{
    // QMessageBox::about would show the program's icon; this box tells, so it
    // has the information icon.
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, parent);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
}

void QtPlatform::clearClipboard()
{
    // An empty text rather than QClipboard::clear(): in Qt 6.4 a paste into a
    // text box after clear() can crash inside Qt.
    QGuiApplication::clipboard()->setText(QString());
}

void QtPlatform::setClipboardText(const QString& text)
{
    QGuiApplication::clipboard()->setText(text);
}

QString QtPlatform::clipboardText()
{
    return QGuiApplication::clipboard()->text();
}

void QtPlatform::setClipboardImage(const QImage& image)
{
    QGuiApplication::clipboard()->setImage(image);
}

void QtPlatform::setClipboardHtml(const QString& html, const QString& text)
{
    auto* data = new QMimeData;
    data->setHtml(html);
    data->setText(text);
    QGuiApplication::clipboard()->setMimeData(data); // the clipboard owns it
}

QString QtPlatform::saveFileName(QWidget* parent, const QString& caption, const QString& filter,
                                 const QString& suggestedName)
{
    // Qt's own dialog, the same on every desktop; it asks before replacing a file.
    return QFileDialog::getSaveFileName(parent, caption, suggestedName, filter, nullptr,
                                        QFileDialog::DontUseNativeDialog);
}

QString QtPlatform::chooseItem(QWidget* parent, const QString& title, const QString& label, const QStringList& items)
{
    bool ok = false;
    const QString item = QInputDialog::getItem(parent, title, label, items, 0, false, &ok);
    return ok ? item : QString();
}

bool QtPlatform::openFile(const QString& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

std::uint64_t QtPlatform::randomSeed()
{
    return static_cast<std::uint64_t>(QDateTime::currentMSecsSinceEpoch()) * 1000003u
           ^ static_cast<std::uint64_t>(m_clock.nsecsElapsed());
}

} // namespace orvalis
