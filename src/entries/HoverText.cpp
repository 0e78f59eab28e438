#include "entries/HoverText.h"

#include "app/Preferences.h"

#include <QStringList>

namespace quorly {

HoverPreferences currentHoverPreferences()
{
    HoverPreferences show;
    show.userID = Preferences::boolean(PrefKey::HoverUserID);
    show.password = Preferences::boolean(PrefKey::HoverPassword);
    show.url = Preferences::boolean(PrefKey::HoverURL);
    show.notes = Preferences::boolean(PrefKey::HoverNotes);
    return show;
}

QString hoverText(const Entry& entry, const HoverPreferences& show)
{
    QStringList parts;
    const QString userID = entry.string(EntryKey::WebsiteUserID);
    if (show.userID && !userID.isEmpty()) {
        QString part = QStringLiteral("User ID: ") + userID;
        // The second user ID rides along only behind a first one; the key's presence,
        // not its value, decides (the editor removes it when emptied).
        if (entry.contains(EntryKey::WebsiteUserID2))
            part += u' ' + entry.string(EntryKey::WebsiteUserID2);
        parts << part;
    }
    const QString password = entry.string(EntryKey::WebsitePassword);
    if (show.password && !password.isEmpty())
        parts << QStringLiteral("Password: ") + password;
    const QString url = entry.string(EntryKey::WebsiteURL);
    if (show.url && !url.isEmpty())
        parts << QStringLiteral("URL: ") + url;
    const QString notes = entry.string(EntryKey::Notes);
    if (show.notes && !notes.isEmpty())
        parts << QStringLiteral("Notes: ") + notes;
    return parts.join(u'\n');
}

}  // namespace quorly
