#pragma once

#include <QByteArray>

#include <plist/plist.h>

namespace quorly::BinaryPlist {

// Writes a property list tree as a binary plist ("bplist00"), in time linear in its
// size: libplist's own writer slows down with the square of the number of objects,
// which a keyed archive of many entries has by the hundred thousand. Equal strings,
// numbers and references are written once and shared, as the platform's writer does.
// An empty result when the tree holds a kind of node this writer does not handle
// (dates, data): the caller then uses libplist's writer.
QByteArray write(plist_t root);

}  // namespace quorly::BinaryPlist
