#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <functional>

// Panels run in nested event loops, so a test answers them from a timer started before
// the call that blocks: `answer` runs once, as soon as `ready` holds (polled every few
// milliseconds, given up after ten seconds so that a broken panel fails instead of
// hanging). The polling ends with `context` when it goes first.
inline void whenReady(std::function<bool()> ready, std::function<void()> answer, QObject* context = qApp)
{
    auto* poll = new QTimer(context);
    auto* clock = new QElapsedTimer;
    clock->start();
    QObject::connect(poll, &QTimer::timeout, poll, [poll, clock, ready = std::move(ready), answer = std::move(answer)] {
        if (ready()) {
            poll->stop();
            answer();
        } else if (clock->elapsed() > 10000) {
            poll->stop();
        } else {
            return;
        }
        delete clock;
        poll->deleteLater();
    });
    poll->start(5);
}

inline void whenShown(QWidget* widget, std::function<void()> answer)
{
    whenReady([widget] { return widget->isVisible(); }, std::move(answer));
}

// Processes events until `done` holds or ten seconds passed.
inline bool waitFor(const std::function<bool()>& done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}
