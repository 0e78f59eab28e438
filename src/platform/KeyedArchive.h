#pragma once

#include "platform/ArchiveValue.h"

#include <QByteArray>

namespace quorly::KeyedArchive {

// An object graph as a keyed archive of the platform's keyed archiver (a binary
// property list), and back. Writer and reader of their own (KeyedArchiveWriter.h,
// KeyedArchiveReader.h) serve those who want no graph in between.
QByteArray encode(const ArchiveValue& root);

// Reads a keyed archive from a binary or XML property list. Hostile input gives an
// error message, never a crash.
ArchiveReadResult decode(const QByteArray& bytes);

}  // namespace quorly::KeyedArchive
