#pragma once

#include "platform/ArchiveValue.h"

#include <QByteArray>

namespace quorly::KeyedArchive {

// Binary property list in the object-graph layout of the platform's keyed archiver
// ("$archiver", "$version" 100000, "$top" {root}, "$objects" beginning with "$null"),
// so that files stay exchangeable with Quorly for Mac OS X.
QByteArray encode(const ArchiveValue& root);

// Reads a keyed archive from a binary or XML property list. Hostile input gives an
// error message, never a crash.
ArchiveReadResult decode(const QByteArray& bytes);

}  // namespace quorly::KeyedArchive
