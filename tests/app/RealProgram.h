#pragma once

// The real desktop program on the test X server, and xdotool to find its windows and
// type into them as a user would. For the tests that run under scripts/with-test-services.
#include "login/KeyRecorder.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QThread>

namespace quorly::test {

// The first visible window whose name matches `pattern`; empty when none came in time.
inline QString waitForWindow(const QString& pattern, int msec = 20000)
{
    QString found;
    spinUntil(
        [&] {
            found = xdotool({"search", "--onlyvisible", "--name", pattern}).section(QLatin1Char('\n'), 0, 0);
            return !found.isEmpty();
        },
        msec);
    return found;
}

// Gives `window` the keyboard focus, then types each step: text, or keys after "key:".
inline void typeInto(const QString& window, const QStringList& steps)
{
    xdotool({"windowfocus", "--sync", window});
    QThread::msleep(200);
    for (const QString& step : steps) {
        if (step.startsWith(QLatin1String("key:")))
            xdotool({"key", "--clearmodifiers", step.mid(4)});
        else
            xdotool({"type", "--delay", "30", step});
        QThread::msleep(100);
    }
}

// The program `quorly` with `arguments`, on X11 whatever the session; killed when the
// test ends with it still running.
class QuorlyProcess {
public:
    // `runtime`: another runtime folder, for a program of its own beside a running one
    // (as in a second session), which would otherwise take this one's files.
    explicit QuorlyProcess(const QStringList& arguments, const QString& runtime = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "xcb");
        if (!runtime.isEmpty())
            env.insert("XDG_RUNTIME_DIR", runtime);
        process_.setProcessEnvironment(env);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral(QUORLY_BINARY_DIR "/bin/quorly"), arguments);
        process_.waitForStarted();
    }
    ~QuorlyProcess()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished();
        }
    }
    QuorlyProcess(const QuorlyProcess&) = delete;
    QuorlyProcess& operator=(const QuorlyProcess&) = delete;

    // Asks it to quit as a logout would (SIGTERM).
    void terminate() { process_.terminate(); }
    bool finished(int msec = 20000) { return process_.waitForFinished(msec); }
    int exitCode() const { return process_.exitCode(); }

private:
    QProcess process_;
};

}  // namespace quorly::test
