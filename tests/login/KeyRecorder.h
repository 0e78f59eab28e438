#pragma once

// The recording window of key_recorder_main.cpp, run as a program of its own under the
// test X server, and xdotool to move the focus and press keys as a user would.
#include "support/EventLoop.h"

#include <QProcess>
#include <QStringList>

#include <chrono>
#include <functional>

namespace quorly::test {

inline QString xdotool(const QStringList& arguments)
{
    QProcess tool;
    tool.start(QStringLiteral("xdotool"), arguments);
    tool.waitForFinished(10000);
    return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
}

class KeyRecorder {
public:
    explicit KeyRecorder(const QString& title = QStringLiteral("Quorly Key Recorder"), int x = 40)
    {
        QObject::connect(&process_, &QProcess::readyReadStandardOutput, [this] { read(); });
        process_.setProcessChannelMode(QProcess::SeparateChannels);
        process_.start(QStringLiteral(QUORLY_BINARY_DIR "/bin/quorly_key_recorder"), {title, QString::number(x)});
        spinUntil([this] { return window_ != 0; }, 20000);
    }
    ~KeyRecorder()
    {
        process_.kill();
        process_.waitForFinished();
    }
    KeyRecorder(const KeyRecorder&) = delete;
    KeyRecorder& operator=(const KeyRecorder&) = delete;

    unsigned long window() const { return window_; }
    const QString& text() const { return text_; }
    int changes() const { return changes_; }
    // When the last change was read from the window's program.
    std::chrono::steady_clock::time_point changedAt() const { return changedAt_; }

    // Gives the window the keyboard focus and waits until the server says it has it.
    void focus() const { xdotool({"windowfocus", "--sync", QString::number(window_)}); }

    bool waitForText(const QString& expected, int msec = 10000)
    {
        return spinUntil([&] { return text_ == expected; }, msec);
    }
    // Puts `text` on the clipboard from this other program.
    bool copy(const QString& text) { return command("copy " + text.toUtf8()); }

private:
    bool command(const QByteArray& line)
    {
        done_ = false;
        process_.write(line + "\n");
        return spinUntil([this] { return done_; });
    }

    void read()
    {
        while (process_.canReadLine()) {
            const QByteArray line = process_.readLine().trimmed();
            if (line.startsWith("window "))
                window_ = line.mid(7).toULong();
            else if (line.startsWith("text ")) {
                text_ = QString::fromUtf8(QByteArray::fromBase64(line.mid(5)));
                ++changes_;
                changedAt_ = std::chrono::steady_clock::now();
            } else if (line == "done")
                done_ = true;
        }
    }

    QProcess process_;
    unsigned long window_ = 0;
    QString text_;
    int changes_ = 0;
    std::chrono::steady_clock::time_point changedAt_;
    bool done_ = false;
};

}  // namespace quorly::test
