#pragma once

#include <QString>

#include <memory>

namespace quorly {

// The MIME type that tells clipboard managers and history tools to skip an entry, and
// the value that marks a secret.
inline constexpr char kPasswordManagerHintType[] = "x-kde-passwordManagerHint";
inline constexpr char kPasswordManagerHintSecret[] = "secret";

// The system clipboard as the program uses it for secrets: the login sequences paste
// user IDs and passwords through it, and copying a password puts one there. What the
// program put there is taken away again only while it is still there: a newer copy of
// the user's is never wiped.
class Clipboard {
public:
    virtual ~Clipboard() = default;

    // Replaces the clipboard's contents with `text`, marked as a secret.
    virtual void putSecret(const QString& text) = 0;
    // Replaces the clipboard's contents with text the user keeps (a user ID, a website's
    // address): not marked, and never taken away by the program.
    virtual void putText(const QString& text) = 0;
    // Whether the clipboard still holds what the last putSecret put there.
    virtual bool holdsOurSecret() const = 0;
    // Empties the clipboard if it still holds our secret; otherwise leaves it alone.
    virtual void clearIfStillOurs() = 0;

    // Counts the putSecret calls, so a caller can tell whether it put something there
    // itself since it last looked.
    quint64 secretsPut() const { return secretsPut_; }

protected:
    void countSecret() { ++secretsPut_; }

private:
    quint64 secretsPut_ = 0;
};

// The clipboard the program uses. Until one is installed, a clipboard held in memory
// stands in (the command-line tools and the unit tests need no display). Main thread
// only.
Clipboard& clipboard();
// Installs `c` (nullptr restores the in-memory stand-in).
void setClipboard(std::shared_ptr<Clipboard> c);

// A clipboard held in memory: the stand-in, and what tests use.
class MemoryClipboard : public Clipboard {
public:
    void putSecret(const QString& text) override;
    void putText(const QString& text) override { copyFromElsewhere(text); }
    bool holdsOurSecret() const override { return ours_; }
    void clearIfStillOurs() override;

    // Another program copies something.
    void copyFromElsewhere(const QString& text);
    const QString& text() const { return text_; }

private:
    QString text_;
    bool ours_ = false;
};

}  // namespace quorly
