#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

namespace quorly {

// When a generated password replaces another, the old one is kept in the entry's notes
// on a line of its own: "<date>: Password was: <old password>\n", the date as
// "%m/%d/%y %I:%M %p" (03/05/24 02:07 PM) in local time.
QString passwordNoteDate(const QDateTime& when);

// What is appended to `notes` when `oldPassword` is replaced at `when`: the line above,
// preceded by a newline when the notes have text that does not end with one. Nothing
// when there was no password to replace.
std::optional<QString> passwordWasNote(const QString& notes, const QString& oldPassword, const QDateTime& when);

}  // namespace quorly
