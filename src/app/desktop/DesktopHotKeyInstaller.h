#pragma once

#include "app/HotKeyInstaller.h"
#include "login/HotKeyTable.h"

#include <QObject>
#include <QSet>
#include <QTimer>

#include <functional>
#include <memory>

namespace quorly {

class X11Connection;
class X11HotKeys;
class X11KeySink;

// The controller's hot keys on the desktop: the X11 grabs of the user-ID and password
// keys from the preferences, re-made when the keyboard's keymap changes, and their
// presses handed to the login sequences. Messages about keys that cannot work (taken
// by another program, a Wayland session, no X server) are shown once each.
class DesktopHotKeyInstaller : public QObject, public HotKeyInstaller {
    Q_OBJECT
public:
    // `connection` may be null (no X server): then nothing is registered.
    explicit DesktopHotKeyInstaller(std::unique_ptr<X11Connection> connection);
    ~DesktopHotKeyInstaller() override;

    void installHandler() override;
    void registerHotKeys() override;
    void unRegisterHotKeys() override;

    // How a message reaches the user; by default a window that waits for no answer.
    void setMessageHandler(std::function<void(const QString&)> handler) { message_ = std::move(handler); }

    // What the last registration found (key codes, paste key) and what it holds.
    const HotKeyTable& table() const { return table_; }
    QList<HotKeyGrab> grabbed() const;
    X11Connection* connection() const { return connection_.get(); }
    X11KeySink* keySink() const { return sink_.get(); }

private:
    void tell(const QString& text);
    void keymapChanged();

    std::unique_ptr<X11Connection> connection_;
    std::unique_ptr<X11HotKeys> hotKeys_;
    std::shared_ptr<X11KeySink> sink_;
    std::function<void(const QString&)> message_;
    HotKeyTable table_;
    QSet<QString> told_;
    QTimer regrab_;
    bool handlerInstalled_ = false;
};

}  // namespace quorly
