#pragma once

#include "entries/EntryList.h"
#include "platform/ArchiveValue.h"

#include <QByteArray>

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace quorly {

// The object graphs a password file's archives hold: the data file an array of entry
// dictionaries, the recent-websites file an array of title strings. Every key and value
// of an entry survives a round trip with its type, including keys this program does
// not know, so a file written by a newer version loses nothing here.

// Fails with a message for any other shape: a root that is not an array, an element
// that is not a dictionary, or a value that is not a string, boolean or number.
std::optional<QList<EntryRef>> entriesFromArchive(const ArchiveValue& root, QString* error);
ArchiveValue archiveFromEntries(const EntryList& entries);

std::optional<QStringList> titlesFromArchive(const ArchiveValue& root, QString* error);
ArchiveValue archiveFromTitles(const QStringList& titles);

// The current format's files: keyed archives of the two graphs above, in bytes.
QByteArray keyedArchiveFromEntries(const EntryList& entries);
std::optional<QList<EntryRef>> entriesFromKeyedArchive(const QByteArray& bytes, QString* error);
QByteArray keyedArchiveFromTitles(const QStringList& titles);
std::optional<QStringList> titlesFromKeyedArchive(const QByteArray& bytes, QString* error);
// The same bytes written to an open file as they are made, never held whole (false, and
// errno set, when the file could not take them).
bool writeKeyedArchiveOfEntries(const EntryList& entries, int fd);
bool writeKeyedArchiveOfTitles(const QStringList& titles, int fd);

// Decrypted files of either format: a sequential archive (pre-2.0) or a keyed one.
std::optional<QList<EntryRef>> entriesFromPlaintext(const QByteArray& bytes, bool sequential, QString* error);
std::optional<QStringList> titlesFromPlaintext(const QByteArray& bytes, bool sequential, QString* error);

}  // namespace quorly
