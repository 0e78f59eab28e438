#pragma once

#include <QList>
#include <QString>

#include <functional>

namespace quorly {

// The stored hot-key modifier masks keep the earlier product's bits, so a store moved
// over from it means the same keys here. Command is the Super key on Linux, Option Alt.
namespace ModifierBit {
constexpr qint64 Command = 0x100;
constexpr qint64 Shift = 0x200;
constexpr qint64 Option = 0x800;
constexpr qint64 Control = 0x1000;
}  // namespace ModifierBit

struct HotKeyModifiers {
    bool command = false;
    bool shift = false;
    bool option = false;
    bool control = false;
    friend bool operator==(const HotKeyModifiers&, const HotKeyModifiers&) = default;
};

HotKeyModifiers modifiersOfMask(qint64 mask);
qint64 maskOfModifiers(const HotKeyModifiers& modifiers);

// What every control of the preferences panel shows, one member per control.
struct PreferencesPanelValues {
    QString hotkeyUserID;
    HotKeyModifiers hotkeyUserIDModifiers;
    QString hotkeyPassword;
    HotKeyModifiers hotkeyPasswordModifiers;
    QString waitForPageLoadDelay;  // the field's text
    bool typeSwitch = false;
    int typeSpeedSlider = 0;
    qint64 generatedPasswordLength = 0;  // the tag of the selected item
    qint64 passwordPrompt = 0;           // likewise
    qint64 clipboardClearSeconds = 0;    // likewise
    bool hoverUserID = false;
    bool hoverPassword = false;
    bool hoverURL = false;
    bool hoverNotes = false;
    bool confirmDelete = false;
    friend bool operator==(const PreferencesPanelValues&, const PreferencesPanelValues&) = default;
};

// The panel filled from the store as it is now (missing keys read as 0, "" or off).
PreferencesPanelValues preferencesPanelValues();

// OK: every control written to its key. The hot keys are re-registered by
// `reRegisterHotKeys` once the keys they read are written, before the rest; the store
// is flushed last.
void savePreferencesPanelValues(const PreferencesPanelValues& values,
                                const std::function<void()>& reRegisterHotKeys);

// The page-load delay field: a stored 0 shows as 10, so OK on an untouched panel turns
// "no delay" into the default. Typed text is stored as its leading whole number, 0 when
// there is none, whatever follows it and without a range check (within 32 bits): a
// negative number too, which the login's pageLoadDelay() reads as no wait.
QString pageLoadDelayText(qint64 stored);
qint64 leadingWholeNumber(const QString& text);

// The typing-speed slider. 0 in the store means pasting, which the type switch shows;
// the slider itself runs from 1 (slowest typing) to 100 (no pauses at all).
constexpr int kTypeSpeedSlowest = 1;
constexpr int kTypeSpeedFastest = 100;
constexpr int kTypeSpeedWhenSwitchedOn = 50;

struct TypeSpeedSliderState {
    bool enabled = false;
    int value = 0;
};

// `typeSwitchChanged:`: switching typing on by hand starts the slider at 50; filling the
// panel (no sender) keeps the stored speed; switching off leaves the value alone.
TypeSpeedSliderState typeSwitchChanged(bool switchOn, bool fromUser, int sliderValue);

// `controlTextDidChange:` of a hot-key field: the last character the key produced,
// modifiers ignored, is the field's whole text. A key that produced no characters (a
// dead key) leaves the field as it was.
QString hotKeyFieldText(const QString& fieldText, const QString& charactersIgnoringModifiers);

// An item of a pop-up menu: its title and its tag (the value stored).
struct PopUpItem {
    QString title;
    qint64 tag = 0;
    friend bool operator==(const PopUpItem&, const PopUpItem&) = default;
};

// The two pop-up menus for a stored value: the lengths are those the generator callout
// offers too (StartUp::offeredPasswordLengths). A value that matches no item (written by
// hand, by another version or beyond the start-up normalisation) gets an item of its
// own in its place, selected, so that OK on an untouched panel keeps it.
QList<PopUpItem> generatedPasswordLengthItems(qint64 stored);
QList<PopUpItem> passwordPromptItems(qint64 stored);
// When a copied password leaves the clipboard ("clipboardClearSeconds"; 0 never).
QList<PopUpItem> clipboardClearItems(qint64 stored);

}  // namespace quorly
