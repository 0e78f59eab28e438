#pragma once

#include <QString>
#include <QList>
#include <QStringList>
#include <QVariant>

#include <utility>

class QSettings;

namespace quorly {

// The per-user preferences store: ~/.config/Quorly/Quorly.conf (INI). There are no
// registered defaults: a missing key reads as 0, false or "". Readers read at the
// moment of use, so a change made elsewhere takes effect at its next use.
namespace PrefKey {
inline const QString HotkeyUserID = QStringLiteral("hotkeyUserID");
inline const QString HotkeyUserIDModifierFlags = QStringLiteral("hotkeyUserIDModifierFlags");
inline const QString HotkeyPassword = QStringLiteral("hotkeyPassword");
inline const QString HotkeyPasswordModifierFlags = QStringLiteral("hotkeyPasswordModifierFlags");
inline const QString BrowserPageLoadDelay = QStringLiteral("browserPageLoadDelay");
inline const QString TypeSpeed = QStringLiteral("typeSpeed");
inline const QString GeneratedPasswordLength = QStringLiteral("generatedPasswordLength");
inline const QString PasswordPrompt = QStringLiteral("passwordPrompt");
inline const QString HoverUserID = QStringLiteral("hoverUserID");
inline const QString HoverPassword = QStringLiteral("hoverPassword");
inline const QString HoverURL = QStringLiteral("hoverURL");
inline const QString HoverNotes = QStringLiteral("hoverNotes");
inline const QString ConfirmDelete = QStringLiteral("confirmDelete");
// Seconds a copied password stays on the clipboard; 0 keeps it there.
inline const QString ClipboardClearSeconds = QStringLiteral("clipboardClearSeconds");
inline const QString Version12Marker = QStringLiteral("1.2");
inline const QString LastPWFile = QStringLiteral("Last PW File");
inline const QString SUEnableAutomaticChecks = QStringLiteral("SUEnableAutomaticChecks");
}  // namespace PrefKey

namespace Preferences {

// The store itself. Its file is found through QStandardPaths (so $XDG_CONFIG_HOME and
// $HOME decide it) at every call; tests point those at scratch folders. When they
// change, the next call hands out another object: keep the reference no longer than
// the statement that uses it.
QSettings& store();

// The readers see the file as it is at the moment of reading, written by whichever
// process wrote it last.
bool contains(const QString& key);
QVariant value(const QString& key);
QString string(const QString& key);
qint64 integer(const QString& key);
bool boolean(const QString& key);
// Every key that has a value, in the store's order.
QStringList allKeys();

void setString(const QString& key, const QString& value);
void setInteger(const QString& key, qint64 value);
void setBool(const QString& key, bool value);
// Several keys written together, in one write of the file.
void setValues(const QList<std::pair<QString, QVariant>>& values);
void remove(const QString& key);

// Writes pending changes and rereads the file (after it was replaced on disk).
void sync();

// The store's file: $XDG_CONFIG_HOME (or ~/.config)/Quorly/Quorly.conf, looked up anew
// at every call.
QString filePath();

}  // namespace Preferences

}  // namespace quorly
