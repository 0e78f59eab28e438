#include "app/StartUp.h"

#include "app/Preferences.h"
#include "generator/GeneratePassword.h"
#include "platform/ClipboardSecretTimer.h"
#include "store/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace quorly {

namespace StartUp {

namespace {

constexpr qint64 kCommandControl = 0x1100;  // Command 0x100 + Control 0x1000

}  // namespace

QString preferencesFilePath()
{
    return Preferences::filePath();
}

QString earlierPreferencesFilePath()
{
    // The earlier product kept its file beside ours: <config>/Marrowdenkeeper/Marrowdenkeeper.conf.
    const QDir ourFolder = QFileInfo(Preferences::filePath()).dir();
    return QDir::cleanPath(ourFolder.absoluteFilePath(QStringLiteral("../Marrowdenkeeper/Marrowdenkeeper.conf")));
}

bool migrateEarlierPreferences()
{
    const QString current = preferencesFilePath();
    const QString earlier = earlierPreferencesFilePath();
    // A dangling symbolic link counts as present: renaming over it would replace
    // whatever the user pointed it at.
    if (QFileInfo(current).exists() || QFileInfo(current).isSymLink() || !QFileInfo::exists(earlier))
        return false;
    QDir().mkpath(QFileInfo(current).absolutePath());
    const bool moved = std::rename(QFile::encodeName(earlier).constData(),
                                   QFile::encodeName(current).constData()) == 0;
    Preferences::sync();
    return moved;
}

void writeFirstRunDefaults()
{
    // A missing user-ID hot key means the hot-key settings were never written: all five
    // are written together, overwriting any of the others that happen to exist. An
    // empty string is a hot key the user cleared, and counts as present.
    if (!Preferences::contains(PrefKey::HotkeyUserID)) {
        Preferences::setString(PrefKey::HotkeyUserID, QStringLiteral("u"));
        Preferences::setInteger(PrefKey::HotkeyUserIDModifierFlags, kCommandControl);
        Preferences::setString(PrefKey::HotkeyPassword, QStringLiteral("p"));
        Preferences::setInteger(PrefKey::HotkeyPasswordModifierFlags, kCommandControl);
        Preferences::setInteger(PrefKey::BrowserPageLoadDelay, 10);
    }
    // The user-ID tooltip default is applied once; "1.2" remembers that it was, so a
    // user who switched it off keeps it off.
    if (!Preferences::contains(PrefKey::Version12Marker)) {
        Preferences::setBool(PrefKey::Version12Marker, true);
        Preferences::setBool(PrefKey::HoverUserID, true);
    }
    if (!Preferences::contains(PrefKey::ConfirmDelete))
        Preferences::setBool(PrefKey::ConfirmDelete, true);
    if (!Preferences::contains(PrefKey::ClipboardClearSeconds))
        Preferences::setInteger(PrefKey::ClipboardClearSeconds, kClipboardClearSecondsDefault);
}

qint64 normalisedPasswordLength(qint64 stored)
{
    // The panel offers 8, 12, 16, 20 and 24 and up. A value between two steps (from an
    // older version, or edited by hand) moves up to the next step, anything shorter to 8.
    // A value already on a step stays: the mapping runs at every start, and moving 8 to
    // 12, 12 to 16 and so on would lengthen the user's choice by four at each start
    // until it reached 24.
    if (stored < 8)
        return 8;
    if (stored >= 24)
        return stored;
    return (stored + 3) / 4 * 4;
}

void normaliseGeneratedPasswordLength()
{
    Preferences::setInteger(PrefKey::GeneratedPasswordLength,
                            normalisedPasswordLength(Preferences::integer(PrefKey::GeneratedPasswordLength)));
}

QList<int> offeredPasswordLengths()
{
    // Decided here: past 24 the steps widen, up to the longest password the generator
    // serves.
    return {8, 12, 16, 20, 24, 32, 48, 64, int(PasswordLength::Maximum)};
}

void applyPreferenceStartUp()
{
    migrateEarlierPreferences();
    writeFirstRunDefaults();
    normaliseGeneratedPasswordLength();
}

void removeStaleTemporaryFolders()
{
    TempFolder::removeStale();
}

std::optional<QString> passwordFilePath(const QString& argument)
{
    QString path = argument;
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    if (path.isEmpty() || QFileInfo(path).suffix() != QLatin1String("qly") ||
        QFileInfo(path).completeBaseName().isEmpty())
        return std::nullopt;
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

std::optional<QString> lastFileToReopen()
{
    const QString last = Preferences::string(PrefKey::LastPWFile);
    if (last.isEmpty() || !QFileInfo::exists(last))
        return std::nullopt;
    return last;
}

}  // namespace StartUp

}  // namespace quorly
