#include "support/KeyScript.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QTimer>

#include <memory>

namespace kel::test {

bool runKeyScript(std::vector<std::function<void()>> steps, const std::function<void()>& closeAll, int timeoutMs)
{
    using Step = std::function<void()>;
    auto remaining = std::make_shared<std::vector<Step>>(std::move(steps));
    auto index = std::make_shared<size_t>(0);
    auto done = std::make_shared<bool>(false);
    auto next = std::make_shared<std::function<void()>>();
    *next = [remaining, index, done, next]() {
        if (*index >= remaining->size()) {
            *done = true;
            return;
        }
        Step step = (*remaining)[(*index)++];
        // The next step is queued first: this one may enter a modal loop.
        QTimer::singleShot(0, *next);
        step();
    };
    bool timedOut = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&]() {
        timedOut = true;
        closeAll();
    });
    watchdog.start(timeoutMs);
    QTimer::singleShot(0, *next);
    while (!*done && !timedOut)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    *next = nullptr; // breaks the self-reference
    return !timedOut;
}

void sendPanelKey(QObject* target, int code)
{
    QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier);
    QCoreApplication::instance()->notify(target, &press);
    QKeyEvent release(QEvent::KeyRelease, code, Qt::NoModifier);
    QCoreApplication::instance()->notify(target, &release);
}

} // namespace kel::test
