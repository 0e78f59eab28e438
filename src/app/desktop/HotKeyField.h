#pragma once

#include <QLineEdit>

class QKeyEvent;

namespace quorly {

// The one-character field of a hot key. Whatever key the user presses, with whatever
// modifiers held, the field shows the character of that key alone: the modifiers are
// chosen with their check boxes. Backspace and Delete empty it (no hot key); Tab, Return
// and Escape keep their meaning in the panel.
class HotKeyField : public QLineEdit {
    Q_OBJECT
public:
    explicit HotKeyField(QWidget* parent = nullptr);

    // The characters of a key event with its modifiers taken away: on X11 the key's
    // character at the keyboard layout's first level, elsewhere as far as the event
    // tells (letters lose Shift and Caps Lock, Control and Alt are ignored). Empty for a
    // key that produces no character (a dead key, a modifier alone, a function key).
    static QString charactersIgnoringModifiers(const QKeyEvent* event);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace quorly
