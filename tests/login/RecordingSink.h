#pragma once

// Test doubles for the layer under the fill sequences: a key sink, a clipboard and
// floating panels that write what they are asked into one log, in order.
#include "login/KeySink.h"
#include "login/LoginPanels.h"
#include "platform/Clipboard.h"
#include "support/PrintQString.h"

#include <QStringList>

namespace quorly::test {

struct RecordingLog {
    QStringList events;
    // Typed characters in a row are one "type ..." event.
    void typed(char32_t c)
    {
        const QString character = QString::fromUcs4(&c, 1);
        if (!events.isEmpty() && events.last().startsWith(QStringLiteral("type ")) && !lastEnded)
            events.last() += character;
        else
            events << QStringLiteral("type ") + character;
        lastEnded = false;
    }
    void add(const QString& event)
    {
        events << event;
        lastEnded = true;
    }
    bool lastEnded = true;
};

class RecordingSink : public KeySink {
public:
    explicit RecordingSink(RecordingLog& log) : log_(log) {}

    // Stops the sequence (the focus moved away) once this many keys have been sent.
    int stopAfterKeys = -1;
    bool refuseAtBegin = false;
    int begun = 0, ended = 0;

    void beginSequence() override
    {
        ++begun;
        keys_ = 0;
        stopped_ = refuseAtBegin;
    }
    void endSequence() override
    {
        ++ended;
        stopped_ = true;
    }
    bool stopped() const override { return stopped_; }
    void typeCharacter(char32_t c) override
    {
        if (key())
            log_.typed(c);
    }
    void endOfText() override { log_.lastEnded = true; }
    void pressTab() override
    {
        if (key())
            log_.add(QStringLiteral("TAB"));
    }
    void pressReturn() override
    {
        if (key())
            log_.add(QStringLiteral("RETURN"));
    }
    void pressPaste(int code) override
    {
        if (key())
            log_.add(QStringLiteral("paste %1").arg(code));
    }
    void pause(std::chrono::microseconds length) override
    {
        log_.add(QStringLiteral("wait %1").arg(double(length.count()) / 1000.0));
    }

private:
    bool key()
    {
        if (stopped_)
            return false;
        if (stopAfterKeys >= 0 && keys_ >= stopAfterKeys) {
            stopped_ = true;
            return false;
        }
        ++keys_;
        return true;
    }

    RecordingLog& log_;
    bool stopped_ = true;
    int keys_ = 0;
};

class RecordingClipboard : public MemoryClipboard {
public:
    explicit RecordingClipboard(RecordingLog& log) : log_(log) {}
    void putSecret(const QString& text) override
    {
        MemoryClipboard::putSecret(text);
        log_.add(QStringLiteral("clipboard ") + text);
    }
    void clearIfStillOurs() override
    {
        if (holdsOurSecret())
            log_.add(QStringLiteral("clipboard cleared"));
        MemoryClipboard::clearIfStillOurs();
    }

private:
    RecordingLog& log_;
};

class RecordingPanels : public FloatingPanels {
public:
    explicit RecordingPanels(RecordingLog& log) : log_(log) {}
    void showFloatingPassword(const QString& password, const QString&) override
    {
        log_.add(QStringLiteral("show password ") + password);
    }
    void hideFloatingPassword() override { log_.add(QStringLiteral("hide password")); }
    void showFloatingWarning() override { log_.add(QStringLiteral("show warning")); }
    void hideFloatingWarning() override { log_.add(QStringLiteral("hide warning")); }

private:
    RecordingLog& log_;
};

}  // namespace quorly::test
