// Waiting in tests for work that a click starts away from the window's thread.
#pragma once

#include <QAbstractButton>
#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <functional>

namespace orvalis::test {

// Runs press (a click on button) and, when it started work (the button is
// then disabled until the work ends), waits for sender's finished signal, at
// most a minute. Returns false only when the work did not end in time.
template <typename Sender, typename Signal>
bool pressAndWait(QAbstractButton* button, Sender* sender, Signal finished, const std::function<void()>& press)
{
    QEventLoop loop;
    bool ended = false;
    const QMetaObject::Connection connection = QObject::connect(sender, finished, &loop, [&] {
        ended = true;
        loop.quit();
    });
    press();
    if (!ended && !button->isEnabled()) {
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    QObject::disconnect(connection);
    return ended || button->isEnabled();
}

} // namespace orvalis::test
