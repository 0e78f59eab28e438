#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

namespace quorly {

// Writes `bytes` to `path` in one atomic step: a new file beside it (created with
// `mode`, so it is never readable by others even for a moment), synced, then renamed
// over the old one and the folder synced. The old file, if any, is replaced only when
// the new one is complete; on failure nothing is left behind and `error` says why.
bool writeFileAtomically(const QString& path, const QByteArray& bytes, mode_t mode, QString* error);

}  // namespace quorly
