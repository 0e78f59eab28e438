#pragma once

#include <QList>
#include <QString>

namespace quorly {

// The modifier bits stored with a hot key (the preferences keep the Mac's numbers).
namespace HotKeyModifier {
inline constexpr int Command = 0x100;  // Super on Linux
inline constexpr int Shift = 0x200;
inline constexpr int Option = 0x800;   // Alt
inline constexpr int Control = 0x1000;
}  // namespace HotKeyModifier

// The characters the keys of the keyboard's layout produce without modifiers.
class KeyCodeTranslator {
public:
    virtual ~KeyCodeTranslator() = default;
    virtual int minKeyCode() const = 0;
    virtual int maxKeyCode() const = 0;
    // The layout's groups (a keyboard may carry several layouts, one of them current).
    virtual int groupCount() const = 0;
    virtual int currentGroup() const = 0;
    // The character `keyCode` produces in `group` with no modifiers; empty for none.
    virtual QString translateKeyCode(int keyCode, int group) const = 0;
    QString translateKeyCode(int keyCode) const { return translateKeyCode(keyCode, currentGroup()); }
};

// One grab of a hot key: "htk1"..."htk4" are identifiers 1...4.
struct HotKeyGrab {
    int identifier = 0;
    int keyCode = 0;
    int modifierFlags = 0;
    friend bool operator==(const HotKeyGrab&, const HotKeyGrab&) = default;
};

// What registering the hot keys finds on the current layout.
struct HotKeyTable {
    static constexpr int MaxCodesPerKey = 2;

    int pasteCode = -1;
    QList<int> userIDHotKeyCode;    // at most two
    QList<int> passwordHotKeyCode;  // at most two
    int userIDHotKeyModifierFlags = 0;
    int passwordHotKeyModifierFlags = 0;

    // htk1/htk2 for the user-ID key codes, htk3/htk4 for the password ones.
    QList<HotKeyGrab> grabs() const;
};

// Scans every key code of the layout in ascending order. The hot-key characters are
// compared exactly (so "U" or a string of two characters matches no key), in the
// current group. Left to us: on a layout where more than two keys produce a
// character, the two lowest key codes are kept; further matches are ignored. The paste
// key is the lowest key that yields "v" in the current group; when the current group
// has none (a Cyrillic or Greek layout in front), the "v" of another group is used,
// which is where programs look for the shortcut Control+V on such layouts.
HotKeyTable findHotKeyCodes(const KeyCodeTranslator* translator, const QString& userIDKey, int userIDFlags,
                            const QString& passwordKey, int passwordFlags);

// How a hot key is written for the user, e.g. "Super+Ctrl+U".
QString describeHotKey(const QString& key, int modifierFlags);

}  // namespace quorly
