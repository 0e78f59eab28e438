#pragma once

// For test programs that need Qt's event loop but no screen.
#include <QCoreApplication>
#include <QElapsedTimer>

#include <functional>

namespace quorly::test {

// The program's one QCoreApplication, made on first use.
inline QCoreApplication& coreApplication()
{
    static int argc = 1;
    static char name[] = "quorly_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// Processes events until `done` holds or `msec` have passed; answers `done`.
inline bool spinUntil(const std::function<bool()>& done, int msec = 10000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < msec)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

}  // namespace quorly::test
