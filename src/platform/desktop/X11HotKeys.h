#pragma once

#include "login/HotKeyTable.h"

#include <QList>
#include <QObject>
#include <QSet>

typedef union _XEvent XEvent;

namespace quorly {

class X11Connection;

// The global hot keys on X11: passive grabs of key + modifiers on the root window, one
// for each combination of the lock modifiers (none, CapsLock, NumLock, both) so that
// the key works whatever lock is on. Command is Super, Option is Alt.
class X11HotKeys : public QObject {
    Q_OBJECT
public:
    explicit X11HotKeys(X11Connection& connection);
    ~X11HotKeys() override;

    // Grabs every hot key of the list. A hot key the server refuses (another program
    // holds that combination) keeps none of its grabs; the identifiers of the refused
    // ones are answered.
    QList<int> grab(const QList<HotKeyGrab>& grabs);
    void ungrabAll();
    QList<HotKeyGrab> grabbed() const { return grabbed_; }

signals:
    // A hot key went down (held keys repeat nothing).
    void hotKeyPressed(int identifier);
    // The server's keymap changed: the keys of the hot-key characters may have moved.
    void keymapChanged();

private:
    unsigned xModifiers(int modifierFlags) const;
    QList<unsigned> lockCombinations() const;
    void handle(XEvent& event);

    X11Connection& connection_;
    QList<HotKeyGrab> grabbed_;
    QSet<int> held_;
};

}  // namespace quorly
