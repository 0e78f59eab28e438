#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <optional>

namespace quorly {

// The seconds a copied secret stays on the clipboard unless the user chose otherwise.
inline constexpr qint64 kClipboardClearSecondsDefault = 30;

// How long a secret copied to the clipboard stays there, for a setting in whole seconds
// ("clipboardClearSeconds", `quorly-cli clip --seconds`): 0 keeps it until something
// replaces it (nullopt), a negative number means the default of 30, and a wait longer
// than a timer can count is cut to the longest it can (24 days).
std::optional<std::chrono::milliseconds> clipboardClearDelay(qint64 seconds);

// A secret on the clipboard for a while: put there, then taken off after a delay when
// the clipboard still holds it. Something newer (another program's copy, or another
// secret of the program's own, whose clearing is its putter's business) ends the wait
// without touching the clipboard; it is noticed within a quarter of a second.
class ClipboardSecretTimer : public QObject {
    Q_OBJECT
public:
    enum class Outcome { Cleared, Replaced };

    explicit ClipboardSecretTimer(QObject* parent = nullptr);

    // Puts `secret` on the clipboard, ending the wait of an earlier one.
    void copy(const QString& secret, std::optional<std::chrono::milliseconds> clearAfter);
    // Whether a copied secret is still on the clipboard and waited on.
    bool waiting() const { return waiting_; }
    // Ends the wait now: the secret is taken off when it is still there.
    void clearNow();

signals:
    void ended(ClipboardSecretTimer::Outcome outcome);

private:
    bool stillOurs() const;
    void finish(Outcome outcome);

    QTimer clearTimer_;
    QTimer watchTimer_;
    quint64 ourPut_ = 0;
    bool waiting_ = false;
};

}  // namespace quorly
