#pragma once

#include "entries/Entry.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace quorly {

// Plaintext archives live in a document's private temporary folder only for the moment
// between a decryption and its reading, or between archiving and encryption.

// Writes `bytes` to a new file at `path` (mode 0600, an existing file replaced, a
// symbolic link refused), then overwrites `bytes` in memory. On failure nothing is left
// at `path` and errno says why.
bool writePlaintextFile(const QString& path, QByteArray& bytes);
// The same with what `write` puts into the open file (false, and errno set, when it could
// not).
bool writePlaintextFile(const QString& path, const std::function<bool(int fd)>& write);

// Securely deletes `path` when something is there.
void secureDeleteIfPresent(const QString& path);

// Overwrites a byte buffer in place (no copy is made) and empties it.
void cleanseBytes(QByteArray& bytes);

// Take a decrypted archive (sequential for a pre-2.0 file, keyed otherwise) and read
// the entry list or the recent-websites titles from it. The plaintext is gone from the
// disk and from memory by the time they return; `error` says what was wrong with it.
std::optional<QList<EntryRef>> takePlaintextEntries(const QString& path, bool sequential, QString* error = nullptr);
std::optional<QStringList> takePlaintextTitles(const QString& path, bool sequential, QString* error = nullptr);

}  // namespace quorly
