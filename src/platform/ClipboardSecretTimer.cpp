#include "platform/ClipboardSecretTimer.h"

#include "platform/Clipboard.h"

#include <algorithm>
#include <limits>

namespace quorly {

namespace {

constexpr qint64 kLongestSeconds = std::numeric_limits<int>::max() / 1000;  // QTimer counts int milliseconds
constexpr int kWatchMsec = 250;

}  // namespace

std::optional<std::chrono::milliseconds> clipboardClearDelay(qint64 seconds)
{
    if (seconds == 0)
        return std::nullopt;
    // A negative number is a mistake (the file edited by hand, say); it must not keep a
    // password on the clipboard for good.
    if (seconds < 0)
        seconds = kClipboardClearSecondsDefault;
    return std::chrono::seconds(std::min(seconds, kLongestSeconds));
}

ClipboardSecretTimer::ClipboardSecretTimer(QObject* parent) : QObject(parent)
{
    clearTimer_.setSingleShot(true);
    watchTimer_.setInterval(kWatchMsec);
    connect(&clearTimer_, &QTimer::timeout, this, [this] { clearNow(); });
    connect(&watchTimer_, &QTimer::timeout, this, [this] {
        if (!stillOurs())
            finish(Outcome::Replaced);
    });
}

void ClipboardSecretTimer::copy(const QString& secret, std::optional<std::chrono::milliseconds> clearAfter)
{
    clipboard().putSecret(secret);
    ourPut_ = clipboard().secretsPut();
    waiting_ = true;
    watchTimer_.start();
    if (clearAfter)
        clearTimer_.start(*clearAfter);
    else
        clearTimer_.stop();
}

void ClipboardSecretTimer::clearNow()
{
    if (!waiting_)
        return;
    if (!stillOurs()) {
        finish(Outcome::Replaced);
        return;
    }
    clipboard().clearIfStillOurs();
    finish(Outcome::Cleared);
}

bool ClipboardSecretTimer::stillOurs() const
{
    return clipboard().holdsOurSecret() && clipboard().secretsPut() == ourPut_;
}

void ClipboardSecretTimer::finish(Outcome outcome)
{
    waiting_ = false;
    clearTimer_.stop();
    watchTimer_.stop();
    emit ended(outcome);
}

}  // namespace quorly
