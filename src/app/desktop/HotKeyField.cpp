#include "app/desktop/HotKeyField.h"

#include "app/PreferencesPanelRules.h"
#include "platform/desktop/PTKeyCodeTranslator.h"

#include <QKeyEvent>

namespace quorly {

namespace {

bool printable(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text) {
        if (c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

}  // namespace

HotKeyField::HotKeyField(QWidget* parent) : QLineEdit(parent)
{
    // Only key presses make the field's text: a compose sequence, a paste from the
    // context menu or a drop would bring characters no key of the hot key produces.
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setContextMenuPolicy(Qt::NoContextMenu);
    setAcceptDrops(false);
    setAlignment(Qt::AlignCenter);
}

QString HotKeyField::charactersIgnoringModifiers(const QKeyEvent* event)
{
    // A key that types nothing (a modifier alone, a dead key, F1) has no character to
    // take, whatever its key code.
    if (event->text().isEmpty())
        return {};
    // On X11 the keyboard layout says what the key gives with no modifier at all (the
    // "1" of Shift+1, the "u" of Control+U), which is how the hot key is found again
    // when it is registered.
    if (PTKeyCodeTranslator* layout = PTKeyCodeTranslator::currentTranslator(); layout && event->nativeScanCode()) {
        const QString plain = layout->translateKeyCode(int(event->nativeScanCode()));
        if (printable(plain))
            return plain;
    }
    // Elsewhere Qt names a character key by the character's upper-case code (Control+U
    // arrives as Key_U with the text "\x15"), so the key says which character was
    // meant when the modifiers have made the text useless; letters lose their case.
    // Keys beyond the characters have codes above Unicode's range.
    const int key = event->key();
    if (key > 0 && key <= 0x10FFFF) {
        const char32_t code = char32_t(key);
        const QString character = QString::fromUcs4(&code, 1);
        if (printable(character))
            return character.toLower();
    }
    return printable(event->text()) ? event->text().toLower() : QString();
}

void HotKeyField::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers held = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        QLineEdit::keyPressEvent(event);
        return;
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        if (held == Qt::NoModifier) {
            clear();
            event->accept();
            return;
        }
        break;
    default:
        break;
    }
    // Decided here: a key without characters leaves the field as it was.
    setText(hotKeyFieldText(text(), charactersIgnoringModifiers(event)));
    event->accept();
}

}  // namespace quorly
