#pragma once

#include "login/HotKeyTable.h"

#include <memory>

typedef struct _XkbDesc* XkbDescPtr;

namespace quorly {

class X11Connection;

// What a keyboard layout is on X11: the server's keymap (counted by its changes) and
// the group in front.
struct KeyboardLayout {
    quint64 keymapGeneration = 0;
    int group = 0;
    friend bool operator==(const KeyboardLayout&, const KeyboardLayout&) = default;
};

// Translates X key codes into the character each produces in a group at shift level
// 0, from the server's XKB keymap as it was when the translator was made.
class PTKeyCodeTranslator : public KeyCodeTranslator {
public:
    PTKeyCodeTranslator(X11Connection& connection, KeyboardLayout layout);
    ~PTKeyCodeTranslator() override;

    // The translator for the current layout: the cached one while the keymap and the
    // group stay the same, else a new one. nullptr without a connection or keymap.
    static PTKeyCodeTranslator* currentTranslator();
    // Set up by the connection's owner: where the layout and its changes come from.
    static void setConnection(X11Connection* connection);
    // The server's keymap changed (the owner counts XKB map and new-keyboard events).
    static void keymapChanged();

    bool isValid() const { return keymap_ != nullptr; }
    const KeyboardLayout& keyboardLayout() const { return layout_; }

    int minKeyCode() const override;
    int maxKeyCode() const override;
    int groupCount() const override;
    int currentGroup() const override { return layout_.group; }
    QString translateKeyCode(int keyCode, int group) const override;
    using KeyCodeTranslator::translateKeyCode;

private:
    XkbDescPtr keymap_ = nullptr;
    KeyboardLayout layout_;
};

}  // namespace quorly
