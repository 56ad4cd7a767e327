// The platform services provided by Qt.
#pragma once

#include "platform/Platform.h"

#include <QElapsedTimer>

namespace orvalis {

class QtPlatform final : public Platform {
public:
    QtPlatform();

    Answer messageBox(QWidget* parent, const QString& text, const QString& title, Buttons buttons) override;
    void informationBox(QWidget* parent, const QString& text, const QString& title) override;
    void clearClipboard() override;
    void setClipboardText(const QString& text) override;
    QString clipboardText() override;
    void setClipboardImage(const QImage& image) override;
    void setClipboardHtml(const QString& html, const QString& text) override;
    QString saveFileName(QWidget* parent, const QString& caption, const QString& filter,
                         const QString& suggestedName) override;
    QString chooseItem(QWidget* parent, const QString& title, const QString& label, const QStringList& items) override;
    bool openFile(const QString& path) override;
    std::uint64_t randomSeed() override;

private:
    // Separates the seeds of runs started within the same millisecond.
    QElapsedTimer m_clock;
};

} // namespace orvalis
