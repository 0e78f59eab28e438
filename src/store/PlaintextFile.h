#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace quorly {

// Plaintext archives live in a document's private temporary folder only for the moment
// between a decryption and its reading, or between archiving and encryption.

// Writes `bytes` to a new file at `path` (mode 0600, an existing file replaced, a
// symbolic link refused), then overwrites `bytes` in memory. On failure nothing is left
// at `path`.
bool writePlaintextFile(const QString& path, QByteArray& bytes);

// Reads the whole file and securely deletes it, whether the read worked or not.
// The caller overwrites the returned bytes once it has decoded them.
std::optional<QByteArray> takePlaintextFile(const QString& path);

// Overwrites a byte buffer in place (no copy is made) and empties it.
void cleanseBytes(QByteArray& bytes);

}  // namespace quorly
