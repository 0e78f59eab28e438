#include "login/HotKeyTable.h"

#include <QStringList>

namespace quorly {

QList<HotKeyGrab> HotKeyTable::grabs() const
{
    QList<HotKeyGrab> list;
    for (int i = 0; i < userIDHotKeyCode.size() && i < MaxCodesPerKey; ++i)
        list.append({1 + i, userIDHotKeyCode.at(i), userIDHotKeyModifierFlags});
    for (int i = 0; i < passwordHotKeyCode.size() && i < MaxCodesPerKey; ++i)
        list.append({3 + i, passwordHotKeyCode.at(i), passwordHotKeyModifierFlags});
    return list;
}

HotKeyTable findHotKeyCodes(const KeyCodeTranslator* translator, const QString& userIDKey, int userIDFlags,
                            const QString& passwordKey, int passwordFlags)
{
    HotKeyTable table;
    table.userIDHotKeyModifierFlags = userIDFlags;
    table.passwordHotKeyModifierFlags = passwordFlags;
    if (!translator)
        return table;
    const QString v = QStringLiteral("v");
    const int group = translator->currentGroup();
    for (int code = translator->minKeyCode(); code <= translator->maxKeyCode(); ++code) {
        if (table.pasteCode >= 0 && table.userIDHotKeyCode.size() == HotKeyTable::MaxCodesPerKey &&
            table.passwordHotKeyCode.size() == HotKeyTable::MaxCodesPerKey)
            break;
        const QString produced = translator->translateKeyCode(code, group);
        if (produced.isEmpty())
            continue;
        if (produced == v && table.pasteCode < 0)
            table.pasteCode = code;
        if (produced == userIDKey && table.userIDHotKeyCode.size() < HotKeyTable::MaxCodesPerKey)
            table.userIDHotKeyCode.append(code);
        if (produced == passwordKey && table.passwordHotKeyCode.size() < HotKeyTable::MaxCodesPerKey)
            table.passwordHotKeyCode.append(code);
    }
    for (int other = 0; table.pasteCode < 0 && other < translator->groupCount(); ++other) {
        if (other == group)
            continue;
        for (int code = translator->minKeyCode(); code <= translator->maxKeyCode(); ++code) {
            if (translator->translateKeyCode(code, other) == v) {
                table.pasteCode = code;
                break;
            }
        }
    }
    return table;
}

QString describeHotKey(const QString& key, int modifierFlags)
{
    QStringList parts;
    if (modifierFlags & HotKeyModifier::Command)
        parts << QStringLiteral("Super");
    if (modifierFlags & HotKeyModifier::Control)
        parts << QStringLiteral("Ctrl");
    if (modifierFlags & HotKeyModifier::Option)
        parts << QStringLiteral("Alt");
    if (modifierFlags & HotKeyModifier::Shift)
        parts << QStringLiteral("Shift");
    parts << key.toUpper();
    return parts.join(QLatin1Char('+'));
}

}  // namespace quorly
