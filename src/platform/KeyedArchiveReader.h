#pragma once

#include "platform/BinaryPlistReader.h"

#include <QByteArrayView>
#include <QString>

#include <cstdint>

namespace quorly::KeyedArchive {

// Receives the objects of a keyed archive depth first, as they are read: the root
// object, then inside each array or dictionary its members in stored order. A
// dictionary's pair whose value is the archiver's null is left out. Nothing is built
// on the way, so a reader that wants entries makes entries and nothing else.
//
// Every call may refuse what it is given: it sets `error` and returns false, and the
// read stops there.
class Visitor {
public:
    virtual ~Visitor() = default;

    // The units stay valid only for the call.
    virtual bool text(const PlistTable::TextView& text) = 0;
    virtual bool boolean(bool value) = 0;
    virtual bool integer(qint64 value) = 0;
    // Reals, and integers above the signed 64-bit range: a password file holds no such
    // values, and a real keeps them closest.
    virtual bool real(double value) = 0;
    virtual bool beginArray(uint64_t count) = 0;
    virtual bool endArray() = 0;
    // `count` pairs are stored; those with a null value are not handed on.
    virtual bool beginDictionary(uint64_t count) = 0;
    // The key of the value that follows. Equal keys have one `id` and share one text
    // throughout an archive; ids count up from 0 as new keys appear.
    virtual bool key(const QString& key, uint32_t id) = 0;
    virtual bool endDictionary() = 0;

    QString error;
};

// Reads a keyed archive from a binary or XML property list into `visitor`. Hostile
// input gives an error message, never a crash.
bool read(QByteArrayView bytes, Visitor& visitor, QString* error);

}  // namespace quorly::KeyedArchive
