#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace quorly {

// The parts of the program's start-up that need no screen: the preferences file of the
// earlier product, the first-run defaults, the generated-password length, leftover
// temporary folders, and which password files a new run opens.
namespace StartUp {

// ~/.config/Quorly/Quorly.conf and ~/.config/Marrowdenkeeper/Marrowdenkeeper.conf (both
// below $XDG_CONFIG_HOME when it is set).
QString preferencesFilePath();
QString earlierPreferencesFilePath();

// Moves the earlier product's preferences file into place when ours does not exist yet,
// then makes the store reread it. Returns whether a file was moved; a failure leaves the
// earlier file where it is and start-up goes on.
bool migrateEarlierPreferences();

// Writes the defaults whose trigger keys are missing (see the .cpp for the triggers).
void writeFirstRunDefaults();

// The generated-password length brought onto the lengths the preferences panel offers.
qint64 normalisedPasswordLength(qint64 stored);
void normaliseGeneratedPasswordLength();
// The lengths the pop-ups offer for a generated password, shortest first: the preferences
// panel's and the generator callout's. The normalisation keeps each of them.
QList<int> offeredPasswordLengths();

// Migration, defaults and length in their start-up order.
void applyPreferenceStartUp();

// The ".QLY.*" folders that Quorly processes which died left behind; those of live
// processes (this one's included) are locked and stay.
void removeStaleTemporaryFolders();

// A path handed over on the command line or by the desktop, made absolute and without
// trailing slashes (a shell's completion of a package folder adds one); nullopt when it
// is not a password file package by its name extension "qly".
std::optional<QString> passwordFilePath(const QString& argument);

// "Last PW File" when it names something that still exists; nullopt otherwise (a stale
// value is kept in the store until another file is opened).
std::optional<QString> lastFileToReopen();

}  // namespace StartUp

}  // namespace quorly
