#pragma once

#include "platform/ArchiveValue.h"
#include "platform/KeyedArchive.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace quorly::fuzz {

// Whether the value can be written back exactly: libplist strings end at a NUL
// character, and a NaN never equals itself.
inline bool writable(const ArchiveValue& v)
{
    switch (v.type()) {
    case ArchiveValue::Type::String:
        return !v.string().contains(QChar(0));
    case ArchiveValue::Type::Real:
        return !std::isnan(v.real());
    case ArchiveValue::Type::Array:
        for (const auto& item : v.array())
            if (!writable(item))
                return false;
        return true;
    case ArchiveValue::Type::Dictionary:
        for (const auto& [key, value] : v.dictionary())
            if (key.contains(QChar(0)) || !writable(value))
                return false;
        return true;
    default:
        return true;
    }
}

// Whatever a reader accepts, the keyed writer must store so that it reads back equal:
// that is what happens to every pre-2.0 file at its migration and to every file at
// its next save.
inline void checkRoundTrip(const ArchiveReadResult& read)
{
    if (!read) {
        if (read.error.isEmpty()) {
            std::fputs("refused without a message\n", stderr);
            std::abort();
        }
        return;
    }
    if (!writable(*read.root))
        return;
    const ArchiveReadResult again = KeyedArchive::decode(KeyedArchive::encode(*read.root));
    if (!again || !(*again.root == *read.root)) {
        std::fprintf(stderr, "round trip changed the archive: %s\n", qPrintable(again.error));
        std::abort();
    }
}

}  // namespace quorly::fuzz
