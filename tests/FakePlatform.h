// A Platform for tests: records message boxes, answers from a queue, owns a clipboard and a seed.
#pragma once

#include "platform/Platform.h"

#include <QCoreApplication>
#include <QImage>
#include <QStringList>

#include <functional>

#include <deque>
#include <optional>
#include <vector>

namespace orvalis::test {

class FakePlatform : public Platform {
public:
    struct Message {
        QString text;
        QString title;
        Buttons buttons;
        // Shown with the information icon (informationBox) rather than the warning icon.
        bool information = false;
    };

    Answer messageBox(QWidget*, const QString& text, const QString& title, Buttons buttons) override
    {
        messages.push_back({text, title, buttons, false});
        if (onMessage) {
            onMessage(messages.back());
        }
        if (!answers.empty()) {
            const Answer answer = answers.front();
            answers.pop_front();
            return answer;
        }
        return buttons == Buttons::Ok ? Answer::Ok : buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    }

    // Recorded with the message boxes, marked as information.
    void informationBox(QWidget*, const QString& text, const QString& title) override
    {
        messages.push_back({text, title, Buttons::Ok, true});
        if (onMessage) {
            onMessage(messages.back());
        }
    }

    void clearClipboard() override
    {
        clipboard = QString();
        ++clipboardClears;
    }
    void setClipboardText(const QString& text) override { clipboard = text; }
    QString clipboardText() override { return clipboard.value_or(QString()); }

    void setClipboardImage(const QImage& image) override { clipboardImage = image; }
    void setClipboardHtml(const QString& html, const QString& text) override
    {
        clipboardHtml = html;
        clipboard = text;
    }
    // Answers from saveNames (the empty text, a cancel, once it is empty).
    QString saveFileName(QWidget*, const QString&, const QString& filter, const QString& suggestedName) override
    {
        saveFilters.push_back(filter);
        suggestedNames.push_back(suggestedName);
        if (saveNames.empty()) {
            return {};
        }
        const QString name = saveNames.front();
        saveNames.pop_front();
        return name;
    }
    // Answers with chosenItem (the empty text cancels), noting what was offered.
    QString chooseItem(QWidget*, const QString&, const QString&, const QStringList& items) override
    {
        offeredItems = items;
        return chosenItem;
    }
    // Notes the file and answers with openResult.
    bool openFile(const QString& path) override
    {
        openedFiles << path;
        return openResult;
    }
    std::uint64_t randomSeed() override { return seed; }

    std::vector<Message> messages;
    std::deque<Answer> answers;
    // Empty when the clipboard holds no text (an image, say).
    std::optional<QString> clipboard;
    int clipboardClears = 0;
    // Runs when a message box is shown (before it is answered).
    std::function<void(const Message&)> onMessage;
    std::uint64_t seed = 12345;
    QImage clipboardImage;
    QString clipboardHtml;
    std::deque<QString> saveNames;
    QStringList saveFilters;
    QStringList suggestedNames; // the names the save dialogs offered
    QStringList offeredItems;
    QString chosenItem;
    QStringList openedFiles;
    bool openResult = true;
};

} // namespace orvalis::test
