#include "generator/PasswordNote.h"

#include <QLocale>

namespace quorly {

QString passwordNoteDate(const QDateTime& when)
{
    // The C locale: AM and PM are written out whatever the user's language, as the lines
    // written on other machines and by earlier versions have them.
    return QLocale::c().toString(when.toLocalTime(), QStringLiteral("MM/dd/yy hh:mm AP"));
}

std::optional<QString> passwordWasNote(const QString& notes, const QString& oldPassword, const QDateTime& when)
{
    if (oldPassword.isEmpty())
        return std::nullopt;
    const QString prefix = !notes.isEmpty() && !notes.endsWith(QLatin1Char('\n')) ? QStringLiteral("\n") : QString();
    return QStringLiteral("%1%2: Password was: %3\n").arg(prefix, passwordNoteDate(when), oldPassword);
}

}  // namespace quorly
