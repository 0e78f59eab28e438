#pragma once

#include "platform/ArchiveValue.h"

#include <QByteArray>

namespace quorly::TypedStream {

// Reads the platform's older sequential ("streamtyped") archive, as written by
// pre-2.0 password files: arrays, dictionaries, strings and numbers, mutable or not.
// Read only. Hostile input gives an error message, never a crash.
ArchiveReadResult decode(const QByteArray& bytes);

}  // namespace quorly::TypedStream
